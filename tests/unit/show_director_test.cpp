#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/recording_gamma.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using namespace testing;

class ShowLogicTest : public ::testing::Test {
 protected:
  // A camera with a path over 0..toTime (a still camera without one).
  CameraEntry Entry(const std::string& name, std::int32_t pathTime, std::uint32_t toTime, float speed) {
    auto camera = std::make_unique<Camera>(name, clock);
    if (toTime) camera->SetKeys({TransformKey{0, Matrix::Identity()}, TransformKey{toTime, Matrix::Translation(1, 0, 0)}});
    CameraEntry e{camera.get(), pathTime, pathTime, 0, toTime, speed};
    cameras.push_back(std::move(camera));
    return e;
  }
  void Make(std::vector<CameraEntry> entries, float ceiling = 1.0f) {
    if (!entries.empty()) scene.SetCurrentCamera(entries.front().camera);
    director = std::make_unique<ShowDirector>(scene, std::move(entries), &gamma, ceiling);
  }
  // Clock readings where the director chose a new camera, and where the scene's camera changed.
  struct Switches { std::vector<std::uint32_t> chosen, shown; };
  Switches Run(std::uint32_t span, std::uint32_t step) {
    Switches s;
    const std::uint32_t end = clock.now() + span;
    auto chosen = director->current();
    Camera* shown = scene.currentCamera();
    while (static_cast<std::int32_t>(end - clock.now()) > 0) {
      FrameContext frame{device, clock.now(), settings, random};
      director->Run(frame);
      if (director->current() != chosen) s.chosen.push_back(clock.now());
      if (scene.currentCamera() != shown) s.shown.push_back(clock.now());
      chosen = director->current();
      shown = scene.currentCamera();
      clock.advance(step);
    }
    return s;
  }

  ManualClock clock{100000};
  ScriptedRandom random{{}};
  Node settings;
  RecordingDevice device;
  RecordingGamma gamma;
  Scene scene{clock};
  std::vector<std::unique_ptr<Camera>> cameras;
  std::unique_ptr<ShowDirector> director;
};

TEST_F(ShowLogicTest, SevenStillCamerasInOrderEveryTwentyOneSecondsThroughBlack) {
  settings.Get(key::SwitchPeriod) = Value(std::int32_t{21});
  std::vector<CameraEntry> entries;
  for (int i = 1; i <= 7; ++i) entries.push_back(Entry("Camera0" + std::to_string(i), 0, 0, 1.0f));
  Make(entries);
  const Switches s = Run(70000, 20);
  // The first frame chooses without a fade, then a switch each time more than 21 s have passed.
  EXPECT_EQ(s.chosen, (std::vector<std::uint32_t>{100000, 121020, 142040, 163060}));
  ASSERT_EQ(s.shown.size(), 3u);
  EXPECT_EQ(std::tuple(s.shown[0] - s.chosen[1], scene.currentCamera()), std::tuple(14u * 20u, entries[3].camera));
  EXPECT_NE(std::find(gamma.calls.begin(), gamma.calls.end(), std::pair{0.0, GammaCurve::Brightness}), gamma.calls.end());
  EXPECT_EQ(gamma.calls.back().first, 1.0);
}

TEST_F(ShowLogicTest, AFlyingCameraIsShownForItsFlightAndRestartsWhenLittleIsLeft) {
  settings.Get(key::SwitchPeriod) = Value(std::int32_t{60});
  const CameraEntry still = Entry("Camera04", 0, 0, 1.0f);
  const CameraEntry flying = Entry("Camera05", 47614, 3333, 0.07f);
  Make({still, flying});
  Run(1, 1);  // the first, fadeless choice: the still camera
  Switches s = Run(60002, 1);
  ASSERT_EQ(s.chosen.size(), 1u) << "to the flying camera after 60 s";
  EXPECT_EQ(director->period(), 46614u) << "its flight time less a second, not 60 s";
  s = Run(46616, 1);
  ASSERT_EQ(s.chosen.size(), 1u);
  // Chosen again with under 10 s of flight left: its path starts over.
  s = Run(60002, 1);
  ASSERT_EQ(s.chosen.size(), 1u);
  const AnimationState& path = flying.camera->animation();
  // Restarted at the switch, parked until the fade reaches black.
  EXPECT_EQ(std::tuple(path.animStart, path.speed, director->cameras()[1].remainingTime), std::tuple(s.chosen[0], kParkedSpeed, 47614));
  Run(1000, 20);
  EXPECT_EQ(scene.currentCamera(), flying.camera);
  EXPECT_FLOAT_EQ(flying.camera->animation().speed, 0.07f) << "flying on from where it was parked";
}

TEST_F(ShowLogicTest, ASingleCameraIsRefreshedJustBeforeItsPathEnds) {
  const CameraEntry only = Entry("Camera07", 33329, 3333, 0.1f);
  Make({only});
  Run(1, 1);
  const Switches s = Run(70000, 1);
  EXPECT_EQ(std::tuple(s.chosen.size(), director->period()), std::tuple(0u, 32329u)) << "always the same camera";
  // Each refresh fades out and back in, restarting the path at black.
  EXPECT_EQ(std::count_if(gamma.calls.begin(), gamma.calls.end(), [](const auto& c) { return c.first == 0.0; }), 2);
  EXPECT_FLOAT_EQ(only.camera->animation().speed, 0.1f);
}

TEST_F(ShowLogicTest, FadesRiseToTheCeilingOnTheCurveOfItsLevel) {
  settings.Get(key::SwitchPeriod) = Value(std::int32_t{5});
  for (float ceiling : {1.5f, 0.5f}) {
    Make({Entry("CameraA", 0, 0, 1.0f), Entry("CameraB", 0, 0, 1.0f)}, ceiling);
    Run(8000, 20);
    ASSERT_FALSE(director->fading());
    EXPECT_FLOAT_EQ(static_cast<float>(gamma.calls.back().first), ceiling);
    for (const auto& [value, curve] : gamma.calls)
      EXPECT_EQ(curve, value <= 1.0 ? GammaCurve::Brightness : GammaCurve::Power) << value;
  }
}

// Each phase ends at the first step more than a minute after it began; a
// light delay of 0 counts as one minute.
TEST_F(ShowLogicTest, DayDuskNightDawnAMinuteEachUntilLightingIsTurnedOff) {
  LightCycle cycle;
  int waterAlpha = -1, sunGlow = -1;
  cycle.onWaterAlpha = [&](std::uint8_t a) { waterAlpha = a; };
  cycle.onSunGlowMaximum = [&](std::int32_t m) { sunGlow = m; };
  settings.Get(key::EnableLighting) = Value(std::int32_t{1});
  settings.Get(key::ChangeDelay) = Value(std::int32_t{1});
  settings.Get(key::LightDelay) = Value(std::int32_t{0});
  std::uint32_t second = 0;
  const auto runTo = [&](std::uint32_t seconds) {
    for (; second <= seconds; ++second) {
      FrameContext frame{device, 5000 + second * 1000, settings, random};
      cycle.Run(frame);
    }
  };
  runTo(91);
  EXPECT_EQ(std::tuple(cycle.daylight(), sunGlow), std::tuple(0.5f, 64));
  runTo(150);
  EXPECT_EQ(std::tuple(cycle.holding(), cycle.daylight(), waterAlpha, sunGlow), std::tuple(true, 0.0f, 251, 0));
  EXPECT_EQ(device.State(RenderState::Ambient), 0xFF0C1919u) << "0.05, 0.1, 0.1 of 255";
  runTo(213);
  EXPECT_FLOAT_EQ(cycle.daylight(), 0.5f);
  settings.Get(key::EnableLighting) = Value(std::int32_t{0});
  runTo(240);
  EXPECT_FLOAT_EQ(cycle.daylight(), 0.5f) << "read every step: held where it was";
  settings.Get(key::EnableLighting) = Value(std::int32_t{1});
  runTo(300);
  EXPECT_EQ(std::tuple(cycle.holding(), cycle.daylight(), waterAlpha, sunGlow, device.State(RenderState::Ambient)),
            std::tuple(true, 1.0f, 200, 128, 0xFFDDB2B2u));
}

TEST_F(ShowLogicTest, NoCameraChosenMeansCamera01AndAStillCameraIsNotFlown) {
  SceneArchiveWriter w;
  for (const contract::CameraSpec& spec : contract::kCameras) {
    ArchiveNode path = NodeUnder("Scene Root");
    path.keys = {TransformKey{0, Matrix::Identity()}, TransformKey{3333, Matrix::Translation(5, 0, 0)}};
    w.AddCamera(std::string(spec.node), path, Matrix::Identity());
  }
  SceneHarness harness;
  ASSERT_TRUE(harness.Load(w.Finish()));
  for (const contract::CameraSpec& spec : contract::kCameras) settings.Get(spec.setting) = Value(std::int32_t{0});
  const auto names = [&] {
    std::string out;
    for (const CameraEntry& e : MakeCameraList(*harness.scene, settings)) out += e.camera->name() + " ";
    return out;
  };
  EXPECT_EQ(names(), "Camera01 ");
  settings.Get(key::Camera4) = Value(std::int32_t{1});
  EXPECT_EQ(names(), "Camera04 ");
  EXPECT_FALSE(harness.scene->FindNode("Camera04")->animation().animating);
  // Settings and nodes pair crosswise; flying paths wait parked.
  settings.Get(key::Camera3) = Value(std::int32_t{1});
  const std::vector<CameraEntry> list = MakeCameraList(*harness.scene, settings);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::tuple(list[0].camera->name(), list[0].pathTime, list[0].camera->animation().speed),
            std::tuple("Camera05", 47614, kParkedSpeed));
}

}  // namespace
}  // namespace brisane
