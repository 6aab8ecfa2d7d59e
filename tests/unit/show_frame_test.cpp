#include <gtest/gtest.h>

#include "show/show.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

// Logs "name@now#draw" among the device calls, so its place shows where the frame ran it.
class ProbePass : public FramePass {
 public:
  ProbePass(std::string name, RecordingDevice& device) : name_(std::move(name)), device_(device) {}
  std::string_view Name() const override { return name_; }
  void Run(FrameContext& frame) override {
    device_.log.push_back(name_ + "@" + std::to_string(frame.now) + "#" + std::to_string(frame.random.Next()));
  }

 private:
  std::string name_;
  RecordingDevice& device_;
};

class ShowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.add(147, kSceneResourceType, testing::SampleWriter().finish());
    ASSERT_TRUE(show.Setup(device, {}));
    device.log.clear();
  }
  // One frame's probes, bracket and the scene's first draw.
  std::vector<std::string> Frame() {
    device.log.clear();
    const FrameStatus status = show.Frame(device, [&] {
      device.log.push_back("present");
      return kOk;
    });
    EXPECT_EQ(status, FrameStatus::Presented);
    std::vector<std::string> shape;
    bool sceneSeen = false;
    for (const std::string& call : device.log) {
      const bool draw = call.rfind("Draw", 0) == 0;
      if (draw && !sceneSeen) shape.push_back("scene");
      sceneSeen = sceneSeen || draw;
      if (call.find('@') != std::string::npos || call == "present" || call.rfind("Clear", 0) == 0 ||
          call == "BeginScene" || call == "EndScene")
        shape.push_back(call.substr(0, call.find('(')));
    }
    return shape;
  }

  ManualClock clock{1000};
  testing::ScriptedRandom random{{11, 22, 33}};
  MemoryResourceSource resources;
  testing::FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  Show show{{clock, random, resources, &loader, settings}};
};

TEST_F(ShowFrameTest, TwoFramesRunThePassesInStepOrderOnTheFakeClockAndRandomSource) {
  ProbePass listener("listener", device), water("water", device), director("director", device),
      light("light", device), text("text", device), flare("flare", device), guns("guns", device);
  show.passes().Add(FrameStep::Listener, listener);
  show.passes().Add(FrameStep::Water, water);
  show.passes().Add(FrameStep::Director, director);
  show.passes().Add(FrameStep::FrameRateText, text);
  show.passes().Add(FrameStep::LightCycle, light);
  show.passes().Add(FrameStep::SunFlare, flare);
  show.passes().Add(FrameStep::UpdateGuns, guns);

  std::vector<std::string> listed;
  for (const FramePasses::Entry& e : show.passes().entries()) listed.emplace_back(e.pass->Name());
  EXPECT_EQ(listed, (std::vector<std::string>{"light cycle", "light", "director", "director", "guns", "water",
                                              "scene", "lantern glows", "sun flare", "flare", "frame-rate text", "text",
                                              "listener"}));

  clock.set(2000);
  EXPECT_EQ(Frame(), (std::vector<std::string>{"light@2000#11", "director@2000#22", "guns@2000#33", "Clear",
                                               "BeginScene", "water@2000#11", "scene", "flare@2000#22",
                                               "text@2000#33", "listener@2000#11", "EndScene", "present"}));
  // A pass taken out runs no more; the clock and the draws move on.
  show.passes().Remove(flare);
  clock.advance(17);
  EXPECT_EQ(Frame(), (std::vector<std::string>{"light@2017#22", "director@2017#33", "guns@2017#11", "Clear",
                                               "BeginScene", "water@2017#22", "scene", "text@2017#33",
                                               "listener@2017#11", "EndScene", "present"}));
}

TEST_F(ShowFrameTest, SettingUpAgainReplacesEachFeaturesPassesRatherThanAddingMore) {
  const std::size_t passes = show.passes().entries().size();
  ASSERT_TRUE(show.Setup(device, {}));
  EXPECT_EQ(show.passes().entries().size(), passes);
}

TEST_F(ShowFrameTest, ALostDisplayStopsTheFrameBeforeTheScenePasses) {
  ProbePass light("light", device), water("water", device);
  show.passes().Add(FrameStep::LightCycle, light);
  show.passes().Add(FrameStep::Water, water);
  device.failing["BeginScene"] = kSurfaceLost;
  EXPECT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::DisplayLost);
  EXPECT_EQ(device.Calls("light@").size(), 1u);
  EXPECT_TRUE(device.Calls("water@").empty());
}

}  // namespace
}  // namespace brisane
