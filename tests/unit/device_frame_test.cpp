#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/device_frame.h"
#include "tests/unit/support/recording_device.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

struct Frame {
  RecordingDevice device;
  HResult presentResult = kOk;
  FrameStatus operator()() {
    return DrawFrame(
        device, 0x00123456u, [](Device& d) { d.SetRenderState(RenderState::Lighting, 1); },
        [this] {
          device.log.push_back("Present");
          return presentResult;
        });
  }
};

TEST(DeviceFrameTest, ClearsDrawsInsideTheSceneThenPresents) {
  Frame frame;
  EXPECT_EQ(frame(), FrameStatus::Presented);
  EXPECT_EQ(frame.device.log, (std::vector<std::string>{"Clear(3, 00123456, 1, 0)", "BeginScene",
                                                        "SetRenderState(137, 1)", "EndScene", "Present"}));
}

// A lost display ends the show wherever it shows and never leaves a scene
// open; other failures cost one frame, and a failed Clear not even that.
TEST(DeviceFrameTest, ALostDisplayEndsTheShowOtherFailuresCostOneFrame) {
  for (const char* step : {"Clear", "BeginScene", "EndScene", "Present"}) {
    for (HResult result : {kSurfaceLost, kWrongMode, kNoExclusiveMode, kEFail}) {
      SCOPED_TRACE(std::string(step) + " " + std::to_string(result));
      Frame frame;
      (std::string(step) == "Present" ? frame.presentResult : frame.device.failing[step]) = result;
      const FrameStatus status = frame();
      EXPECT_FALSE(frame.device.inScene);
      if (result != kEFail) {
        EXPECT_EQ(status, FrameStatus::DisplayLost);
      } else {
        EXPECT_EQ(status, std::string(step) == "Clear" ? FrameStatus::Presented : FrameStatus::Failed);
      }
      if (std::string(step) == "BeginScene") {
        EXPECT_EQ(frame.device.log.size(), 2u);  // nothing drawn or presented without a scene
      }
    }
  }
}

}  // namespace
}  // namespace brisane
