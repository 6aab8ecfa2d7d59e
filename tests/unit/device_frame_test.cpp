#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/device_frame.h"
#include "tests/unit/support/recording_device.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

class DeviceFrameTest : public ::testing::Test {
 protected:
  FrameStatus Frame() {
    return DrawFrame(
        device, 0x00123456u, [&](Device& d) { d.SetRenderState(RenderState::Lighting, 1); },
        [&] {
          device.log.push_back("Present");
          return presentResult;
        });
  }
  RecordingDevice device;
  HResult presentResult = kOk;
};

TEST_F(DeviceFrameTest, ClearsDrawsInsideTheSceneThenPresents) {
  EXPECT_EQ(Frame(), FrameStatus::Presented);
  EXPECT_EQ(device.log, (std::vector<std::string>{"Clear(3, 00123456, 1, 0)", "BeginScene", "SetRenderState(137, 1)",
                                                  "EndScene", "Present"}));
  EXPECT_FALSE(device.inScene);
}

TEST_F(DeviceFrameTest, ALostDisplayAnywhereEndsTheShowAndNeverLeavesASceneOpen) {
  for (const char* step : {"Clear", "BeginScene", "EndScene", "Present"}) {
    for (HResult lost : {kSurfaceLost, kWrongMode, kNoExclusiveMode}) {
      SCOPED_TRACE(step);
      device = RecordingDevice();
      presentResult = std::string(step) == "Present" ? lost : kOk;
      if (std::string(step) != "Present") device.failing[step] = lost;
      EXPECT_EQ(Frame(), FrameStatus::DisplayLost);
      EXPECT_FALSE(device.inScene);
    }
  }
  device = RecordingDevice();
  device.failing["BeginScene"] = kSurfaceLost;
  Frame();
  EXPECT_TRUE(device.Calls("EndScene").empty());
  EXPECT_TRUE(device.Calls("Present").empty()) << "nothing to present without a scene";
}

TEST_F(DeviceFrameTest, OtherFailuresCostOneFrameOnly) {
  device.failing["Clear"] = kEFail;
  EXPECT_EQ(Frame(), FrameStatus::Presented) << "a frame drawn over an uncleared target is still a frame";
  device = RecordingDevice();
  device.failing["BeginScene"] = kEFail;
  EXPECT_EQ(Frame(), FrameStatus::Failed);
  EXPECT_TRUE(device.Calls("SetRenderState").empty());
  device = RecordingDevice();
  presentResult = kEFail;
  EXPECT_EQ(Frame(), FrameStatus::Failed);
  presentResult = kOk;
  EXPECT_EQ(Frame(), FrameStatus::Presented);
}

}  // namespace
}  // namespace brisane
