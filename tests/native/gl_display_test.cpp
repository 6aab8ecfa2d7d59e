#include "native/gl_display.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "gl_test_context.h"

namespace brisane {
namespace {

// The display presents into the test window's framebuffer, where the test
// reads it back.
class DisplayTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 8, kHeight = 4;

  void SetUp() override {
    if (!context.ok()) GTEST_SKIP() << "no GL context: " << context.error();
    std::string error;
    ASSERT_TRUE(display.Init(kWidth, kHeight, error)) << error;
  }

  // Each row of the back buffer one colour: row r is (r * 60 + 10, 200 - r * 40, 128).
  static std::uint32_t RowColour(int row) {
    return (static_cast<std::uint32_t>(row * 60 + 10) << 16) | (static_cast<std::uint32_t>(200 - row * 40) << 8) | 128u;
  }
  void FillRows() {
    glBindFramebuffer(GL_FRAMEBUFFER, display.backBuffer());
    glEnable(GL_SCISSOR_TEST);
    for (int row = 0; row < kHeight; ++row) {
      const std::uint32_t c = RowColour(row);
      glScissor(0, row, kWidth, 1);
      glClearColor(static_cast<float>(c >> 16) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                   static_cast<float>(c & 0xFF) / 255.0f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  // The window's pixel at (x, row), row 0 the top, as 0xRRGGBB.
  static std::uint32_t Shown(int x, int row) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    std::uint8_t rgba[4] = {};
    glReadPixels(x, kHeight - 1 - row, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return (std::uint32_t{rgba[0]} << 16) | (std::uint32_t{rgba[1]} << 8) | rgba[2];
  }
  static std::uint32_t ThroughRamp(std::uint32_t rgb, const GammaRamp& ramp) {
    return (std::uint32_t{static_cast<std::uint8_t>(ramp.red[(rgb >> 16) & 0xFF] >> 8)} << 16) |
           (std::uint32_t{static_cast<std::uint8_t>(ramp.green[(rgb >> 8) & 0xFF] >> 8)} << 8) |
           static_cast<std::uint8_t>(ramp.blue[rgb & 0xFF] >> 8);
  }

  testing::GlTestContext context{kWidth, kHeight};
  GlDisplay display;  // after the context: its GL objects go while the context lives
};

// Row 0 of the back buffer is the picture's top; every channel goes through
// the ramp's entry for its value (high byte), as a display's hardware would.
TEST_F(DisplayTest, PresentsThePictureUprightThroughTheRamp) {
  ASSERT_NE(display.device(), nullptr);
  FillRows();
  glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);  // as the device leaves it
  ASSERT_EQ(display.Present(kWidth, kHeight), kOk);
  for (int row = 0; row < kHeight; ++row) EXPECT_EQ(Shown(3, row), RowColour(row)) << "row " << row;

  display.SetGamma(0.5, GammaCurve::Power);
  const GammaRamp darker = ComputeRamp(IdentityRamp(), 0.5, GammaCurve::Power);
  EXPECT_EQ(display.ramp(), darker);
  ASSERT_EQ(display.Present(kWidth, kHeight), kOk);
  for (int row = 0; row < kHeight; ++row) EXPECT_EQ(Shown(0, row), ThroughRamp(RowColour(row), darker)) << "row " << row;
  EXPECT_NE(ThroughRamp(RowColour(1), darker), RowColour(1));

  // A fade's end: black, and back from the identity (the ramp never drifts).
  display.SetGamma(0.0, GammaCurve::Brightness);
  display.Present(kWidth, kHeight);
  EXPECT_EQ(Shown(5, 0), 0u);
  display.SetGamma(1.0, GammaCurve::Brightness);
  display.Present(kWidth, kHeight);
  EXPECT_EQ(Shown(0, 2), RowColour(2));
}

}  // namespace
}  // namespace brisane
