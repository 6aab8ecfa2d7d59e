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

// Clear, draw inside the scene, present. A lost display ends the show wherever it shows and never leaves a scene
// open; other failures cost one frame, and a failed Clear not even that.
TEST(DeviceFrameTest, ALostDisplayEndsTheShowOtherFailuresCostOneFrame) {
  Frame good;
  EXPECT_EQ(good(), FrameStatus::Presented);
  EXPECT_EQ(good.device.log, (std::vector<std::string>{"Clear(3, 00123456, 1, 0)", "BeginScene",
                                                       "SetRenderState(137, 1)", "EndScene", "Present"}));
  for (const char* step : {"Clear", "BeginScene", "EndScene", "Present"}) {
    for (HResult result : {kSurfaceLost, kWrongMode, kNoExclusiveMode, kEFail}) {
      SCOPED_TRACE(std::string(step) + " " + std::to_string(result));
      Frame frame;
      (std::string(step) == "Present" ? frame.presentResult : frame.device.failing[step]) = result;
      const FrameStatus status = frame();
      EXPECT_FALSE(frame.device.inScene);
      EXPECT_EQ(status, result != kEFail ? FrameStatus::DisplayLost
                                         : (std::string(step) == "Clear" ? FrameStatus::Presented : FrameStatus::Failed));
      EXPECT_TRUE(std::string(step) != "BeginScene" || frame.device.log.size() == 2u);  // no scene, no drawing
    }
  }
}

}  // namespace
}  // namespace brisane
