// The whole show over the native device and sound device, on a clock turned
// by hand: a volley seen (flash, then smoke) and heard, the sun's flare, the
// lanterns' glows by night. Each effect is found as the pixels only its pass
// draws: the same moment drawn with and without that pass.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "gl_test_context.h"
#include "native/embedded_resources.h"
#include "native/gl_display.h"
#include "native/openal_audio.h"
#include "settings/settings_keys.h"
#include "show/show.h"
#include "wave_capture.h"

namespace brisane {
namespace {

constexpr std::uint32_t kWidth = 320, kHeight = 240;
using Seconds = std::chrono::duration<double>;

class NativeShowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!context.ok()) GTEST_SKIP() << "no GL display: " << context.error();
    std::string error;
    ASSERT_TRUE(display.Init(kWidth, kHeight, error)) << error;
    for (const SettingSpec& spec : SettingSpecs())
      if (spec.type == ValueType::Int) settings.Get(spec.key) = Value(spec.defaultValue);
    settings.Get(key::FiringPeriod) = Value(5);  // an hour: only the volley fired here
    settings.Get(key::MasterVolume) = Value(-5000);  // the loops at a whisper under the shots
    CaptureConfig();
    audio = OpenAlAudio::Open();
    ASSERT_TRUE(audio);
    opened = std::chrono::steady_clock::now();
    show.emplace(ShowPlatform{clock, random, resources, &display.textures(), settings, &display, nullptr, nullptr,
                              [this](const std::string& message) { fatal = message; }});
    ASSERT_TRUE(show->Start(*display.device(), {kHeight, true, "", kWidth}, {[this] { return audio.get(); }, {}}));
    ASSERT_TRUE(show->guns() && show->lights() && show->lights()->flare());
  }

  std::vector<std::uint32_t> Frame() {
    EXPECT_EQ(show->Frame(*display.device(), [] { return kOk; }), FrameStatus::Presented);
    std::vector<std::uint32_t> pixels;
    display.device()->ReadBackBuffer({0, 0, kWidth, kHeight}, pixels);
    return pixels;
  }
  void Step(std::uint32_t ms) {
    clock.advance(ms);
    Frame();
  }

  // Pixels of this moment that only the step's passes draw.
  int OnlyDrawnBy(FrameStep step) {
    std::vector<FramePass*> passes;
    for (const auto& e : show->passes().entries())
      if (e.step == step) passes.push_back(e.pass);
    const auto with = Frame();
    for (FramePass* pass : passes) show->passes().Remove(*pass);
    const auto without = Frame();
    for (FramePass* pass : passes) show->passes().Add(step, *pass);
    int differing = 0;
    for (std::size_t i = 0; i < with.size() && i < without.size(); ++i)
      for (int shift : {0, 8, 16})
        if (std::abs(int(with[i] >> shift & 0xFF) - int(without[i] >> shift & 0xFF)) > 24) {
          ++differing;
          break;
        }
    return differing;
  }

  // Through the still camera, held there: no tour.
  void Look(const Vector3& eye, const Vector3& target) {
    if (ShowDirector* director = show->director()) show->passes().Remove(*director);
    Camera* still = show->scene().FindNode<Camera>("Camera04");
    ASSERT_TRUE(still);
    still->SetLocal(*CameraLookingAt(eye, target));
    show->scene().SetCurrentCamera(still);
  }

  testing::GlTestContext context{16, 16};
  GlDisplay display;
  std::unique_ptr<OpenAlAudio> audio;
  std::chrono::steady_clock::time_point opened;
  ManualClock clock{1000};
  LcgRandom random;
  Node settings;
  EmbeddedResources resources;
  std::string fatal;
  std::optional<Show> show;  // last: it goes first
};

TEST_F(NativeShowTest, AVolleyIsSeenAndHeard) {
  Look({-65, -430, 120}, {-65, 0, 50});  // abeam of the port guns, 1 to 4
  Guns& guns = *show->guns();
  Guns::OpenPorts(guns.side(0));
  Step(3000);  // the guns run out
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // the loops heard alone first
  Guns::FireVolley(guns.side(0), clock.now(), random);
  // No shot sounds before the frame that passes its time.
  const double shotAt = Seconds(std::chrono::steady_clock::now() - opened).count();
  const std::uint32_t first = guns.gun(1).fireTime();
  while (static_cast<std::int32_t>(clock.now() - first) < 20) Step(10);
  EXPECT_TRUE(guns.gun(1).flashOn());
  EXPECT_GT(OnlyDrawnBy(FrameStep::GunEffects), 200) << "the flash";
  Step(600);
  EXPECT_GT(OnlyDrawnBy(FrameStep::GunEffects), 400) << "the smoke";
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(fatal.empty()) << fatal;

  show.reset();
  audio.reset();  // the capture is complete once the device is closed
  const Capture mix = ReadCapture();
  ASSERT_GT(mix.end, shotAt + 0.5);
  // The loops play from the start, quietly here; the shots are far louder than anything before them.
  const double before = mix.Peak(0.2, shotAt - 0.1), after = mix.Peak(shotAt - 0.1, mix.end);
  EXPECT_GT(before, 1e-5) << "the ship's loops";
  EXPECT_GT(after, 20 * before) << "the shots";
}

TEST_F(NativeShowTest, SunFlareByDayLanternGlowsByNight) {
  const Vector3 eye{420, 520, 70}, sun = show->scene().FindNode(std::string(contract::kSun))->position();
  Look(eye, sun);
  for (int i = 0; i < 100; ++i) Step(40);  // the flare fades in
  EXPECT_GT(OnlyDrawnBy(FrameStep::SunFlare), 300);

  const auto minutes = [&](std::string_view k) { return std::uint32_t(settings.Get(k).AsInt()) * 60000u; };
  const std::uint32_t changing = clock.now() + minutes(key::ChangeDelay) + 1;
  for (std::uint32_t at : {changing, changing + minutes(key::LightDelay) - 1}) {
    FrameContext frame{*display.device(), at, settings, random};
    show->lightCycle().Run(frame);
  }
  Look({640, 180, 190}, {262, 0, 110});  // astern, the lanterns close
  for (int i = 0; i < 75; ++i) Step(40);
  EXPECT_LT(show->lightCycle().daylight(), 0.01f);
  EXPECT_GT(OnlyDrawnBy(FrameStep::Glows), 20);  // two small glows at this size
}

}  // namespace
}  // namespace brisane
