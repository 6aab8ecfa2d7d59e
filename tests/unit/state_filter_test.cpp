#include "render/state_filter.h"

#include <gtest/gtest.h>

#include "support/recording_device.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

// What the device behind the filter has seen; a failing call is still
// logged, a repeat stopped by the filter is not.
TEST(StateFilter, OnlyChangesReachTheDeviceAndWhatIsUncertainIsAskedAgain) {
  RecordingDevice device;
  StateFilter filter(device);
  std::uint32_t value = 0;
  ASSERT_EQ(filter.GetRenderState(RenderState::CullMode, value), kOk);
  ASSERT_EQ(filter.GetRenderState(RenderState::CullMode, value), kOk);
  EXPECT_EQ(device.Calls("GetRenderState").size(), 1u);
  filter.SetRenderState(RenderState::CullMode, value);
  filter.SetRenderState(RenderState::CullMode, d3d::kCullCW);
  filter.SetRenderState(RenderState::CullMode, d3d::kCullCW);
  EXPECT_EQ(device.Calls("SetRenderState"), std::vector<std::string>{"SetRenderState(22, 2)"});
  EXPECT_EQ(filter.repeatsStopped(), 2u);
  // A set the device refuses leaves the state unknown: the same value goes through again.
  device.failing["SetTextureStageState"] = kEFail;
  EXPECT_EQ(filter.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate), kEFail);
  device.failing.clear();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(filter.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate), kOk);
  EXPECT_EQ(device.Calls("SetTextureStageState(1, 1").size(), 2u);
  // Stages and states beyond the tables pass straight through, every time.
  for (int i = 0; i < 2; ++i) EXPECT_EQ(filter.SetTextureStageState(9, TextureStageState::ColorOp, 1), kEFail);
  EXPECT_EQ(device.Calls("SetTextureStageState(bad stage)").size(), 2u);
}

}  // namespace
}  // namespace brisane
