#include <gtest/gtest.h>

#include <cstdint>

#include "tests/unit/support/recording_device.h"

namespace brisane {
namespace {

using testing::RecordingDevice;
using testing::RecordingSurface;

// The renderer tests trust the fake to refuse what a device refuses; a fake
// that accepted these would let a renderer that misuses the device pass.
TEST(RecordingDeviceTest, RefusesWhatADeviceRefusesAndRecordsOnlyGoodDraws) {
  RecordingDevice device;
  constexpr std::uint32_t fvf = d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex1;
  const float vertices[3 * 8] = {};
  const std::uint16_t indices[] = {0, 1, 2}, past[] = {0, 1, 3};
  auto draw = [&](const std::uint16_t* list) {
    return device.DrawIndexedPrimitive(PrimitiveType::TriangleList, fvf, vertices, 3, list, 3);
  };
  auto buffer = device.CreateVertexBuffer(fvf, 10, 0);
  ASSERT_NE(buffer, nullptr);

  EXPECT_TRUE(Failed(draw(indices))) << "outside a scene";
  EXPECT_TRUE(Failed(device.EndScene())) << "no scene open";
  ASSERT_EQ(device.BeginScene(), kOk);
  EXPECT_TRUE(Failed(device.BeginScene())) << "nested";
  EXPECT_TRUE(Failed(draw(past))) << "an index past the vertices";
  EXPECT_TRUE(Failed(device.DrawPrimitiveVB(PrimitiveType::PointList, *buffer, 4, 7)));
  EXPECT_TRUE(Failed(device.DrawPrimitiveVB(PrimitiveType::PointList, *buffer, 0xFFFFFFFFu, 2))) << "wraps";
  EXPECT_TRUE(Failed(device.SetTextureStageState(8, TextureStageState::ColorOp, 1))) << "eight stages";
  EXPECT_TRUE(device.draws.empty());

  RecordingSurface water("water");
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  device.SetTexture(1, &water);
  ASSERT_EQ(draw(indices), kOk);
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::ZWriteEnable), 0u) << "the state at the draw";
  EXPECT_EQ(device.draws[0].textures[1], "water");
}

}  // namespace
}  // namespace brisane
