#include <gtest/gtest.h>

#include <vector>

#include "render/gamma.h"

namespace brisane {
namespace {

TEST(GammaCurvesTest, CurvesBrightenAboveOneAndStayWithinSixteenBits) {
  EXPECT_NEAR(PowerCurve(32768, 1.5), 41300, 50);
  EXPECT_EQ(PowerCurve(65535, 1.5), 65535);
  EXPECT_EQ(PowerCurve(40000, 0.0), 0);
  EXPECT_EQ(BrightnessCurve(40000, 0.5), 20000);
  EXPECT_EQ(BrightnessCurve(60000, 1.5), 65535);  // held at white, not wrapped round to dark
  EXPECT_EQ(BrightnessCurve(60000, -1.0), 0);
}

TEST(GammaCurvesTest, RampsKeepTheirFirstTwoEntriesAndOnlyRisingOnesCount) {
  GammaRamp saved = IdentityRamp();
  saved.red[1] = 7;
  const GammaRamp black = ComputeRamp(saved, 0.0, GammaCurve::Brightness);
  EXPECT_EQ(black.red[1], 7);
  EXPECT_EQ(black.red[2] | black.green[255], 0);
  EXPECT_TRUE(RampRises(IdentityRamp()));
  EXPECT_FALSE(RampRises(GammaRamp{}));
  GammaRamp dip = IdentityRamp();
  dip.green[100] = 0;
  EXPECT_FALSE(RampRises(dip));
}

// A gamma control over a ramp held in memory.
struct FakeDisplay : GammaSource {
  struct Control : GammaControl {
    explicit Control(FakeDisplay& d) : display(d) {}
    bool GetRamp(GammaRamp& ramp) override {
      ++display.gets;
      ramp = display.current;
      return display.getWorks;
    }
    bool SetRamp(const GammaRamp& ramp) override {
      display.sets.push_back(ramp);
      display.current = ramp;
      return true;
    }
    FakeDisplay& display;
  };
  std::unique_ptr<GammaControl> OpenGammaControl() override {
    return supported ? std::make_unique<Control>(*this) : nullptr;
  }
  bool supported = true, getWorks = true;
  int gets = 0;
  GammaRamp current = IdentityRamp();
  std::vector<GammaRamp> sets;
};

TEST(GammaTest, EveryRampIsBuiltFromTheRampReadAtTheFirstCall) {
  FakeDisplay display;
  display.current.red[200] = 51400;  // a calibrated, still rising ramp
  const GammaRamp original = display.current;
  Gamma gamma;
  gamma.Restore(display);  // nothing to restore before a change
  gamma.SetGamma(display, 0.5, GammaCurve::Brightness);
  gamma.SetGamma(display, 0.25, GammaCurve::Brightness);
  EXPECT_EQ(display.gets, 1);
  ASSERT_EQ(display.sets.size(), 2u);
  EXPECT_EQ(display.sets[1], ComputeRamp(original, 0.25, GammaCurve::Brightness));
  gamma.Restore(display);
  EXPECT_EQ(display.current, original);
}

// A zero ramp is what Wine reports on a bare X server: taken as identity,
// so the screen is left visible, not black.
TEST(GammaTest, ADegenerateSavedRampIsTakenAsIdentityAndNoControlMeansNoCalls) {
  for (bool getWorks : {true, false}) {
    FakeDisplay display;
    display.current = GammaRamp{};
    display.getWorks = getWorks;
    Gamma gamma;
    gamma.SetGamma(display, 1.0, GammaCurve::Power);
    gamma.Restore(display);
    EXPECT_EQ(display.sets, std::vector<GammaRamp>(2, IdentityRamp()));
  }
  FakeDisplay display;
  display.supported = false;
  Gamma gamma;
  gamma.SetGamma(display, 0.0, GammaCurve::Brightness);
  gamma.Restore(display);
  EXPECT_EQ(display.gets, 0);
  display.supported = true;
  gamma.SetGamma(display, 0.0, GammaCurve::Brightness);
  EXPECT_EQ(display.sets.size(), 1u);
}

}  // namespace
}  // namespace brisane
