#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/unit/support/recording_device.h"

namespace brisane {
namespace {

using testing::RecordingDevice;
using testing::RecordingSurface;

// The fake stands in for the real device in every renderer test, so it must
// refuse what the real one refuses and remember what the real one remembers.
TEST(RecordingDeviceTest, DrawsCarryTheStateInForceAndFailOutsideAScene) {
  RecordingDevice device;
  RecordingSurface water("water");
  const float vertices[3 * 8] = {};
  const std::uint16_t indices[] = {0, 1, 2};
  EXPECT_TRUE(Failed(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex1,
                                                 vertices, 3, indices, 3)));
  ASSERT_EQ(device.BeginScene(), kOk);
  EXPECT_TRUE(Failed(device.BeginScene()));
  device.EndScene();
  device.BeginScene();
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  device.SetTexture(1, &water);
  DeviceMatrix world = DeviceMatrix::Identity();
  world.m[3][0] = 5;
  device.SetTransform(TransformState::World, world);
  ASSERT_EQ(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex1,
                                        vertices, 3, indices, 3),
            kOk);
  const std::uint16_t bad[] = {0, 1, 3};
  EXPECT_TRUE(Failed(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, d3d::kFvfXyz, vertices, 3, bad, 3)));
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::ZWriteEnable), 0u);
  EXPECT_EQ(device.draws[0].textures[1], "water");
  EXPECT_EQ(device.draws[0].world, world);
  EXPECT_EQ(device.Calls("SetTexture"), (std::vector<std::string>{"SetTexture(1, water)"}));
  EXPECT_EQ(device.log.back(), "DrawIndexedPrimitive(index out of range)");
}

TEST(RecordingDeviceTest, StartsWithTheStageStatesOfAFreshDevice) {
  RecordingDevice device;
  std::uint32_t value = 0;
  device.GetTextureStageState(0, TextureStageState::ColorOp, value);
  EXPECT_EQ(value, d3d::kTopModulate);
  device.GetTextureStageState(1, TextureStageState::ColorOp, value);
  EXPECT_EQ(value, d3d::kTopDisable);
  EXPECT_EQ(device.StageState(2, TextureStageState::TexCoordIndex), 2u);
  device.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate2X);
  EXPECT_EQ(device.StageState(1, TextureStageState::ColorOp), d3d::kTopModulate2X);
  EXPECT_TRUE(Failed(device.SetTextureStageState(8, TextureStageState::ColorOp, 1)));
}

TEST(RecordingDeviceTest, VertexBuffersLockOnceAndDrawOnlyTheirOwnRange) {
  RecordingDevice device;
  auto buffer = device.CreateVertexBuffer(d3d::kFvfXyz | d3d::kFvfDiffuse, 10, d3d::kVbCapsSystemMemory);
  ASSERT_NE(buffer, nullptr);
  ASSERT_NE(buffer->Lock(d3d::kLockWriteOnly), nullptr);
  EXPECT_EQ(buffer->Lock(d3d::kLockWriteOnly), nullptr);
  buffer->Unlock();
  device.BeginScene();
  EXPECT_EQ(device.DrawPrimitiveVB(PrimitiveType::PointList, *buffer, 4, 6), kOk);
  EXPECT_TRUE(Failed(device.DrawPrimitiveVB(PrimitiveType::PointList, *buffer, 4, 7)));
  EXPECT_TRUE(Failed(device.DrawPrimitiveVB(PrimitiveType::PointList, *buffer, 0xFFFFFFFFu, 2)));
  device.failing["CreateVertexBuffer"] = kEFail;
  EXPECT_EQ(device.CreateVertexBuffer(d3d::kFvfXyz, 3, 0), nullptr);
}

TEST(RecordingDeviceTest, ClearFillsTheBackBufferThatReadsBackClipped) {
  RecordingDevice device;
  device.Clear(d3d::kClearTarget | d3d::kClearZBuffer, 0x00102030u, 1.0f, 0);
  EXPECT_EQ(device.log.back(), "Clear(3, 00102030, 1, 0)");
  std::vector<std::uint32_t> pixels;
  ASSERT_EQ(device.ReadBackBuffer({630, 470, 700, 500}, pixels), kOk);
  ASSERT_EQ(pixels.size(), 100u);
  EXPECT_EQ(pixels[0], 0xFF102030u);
}

}  // namespace
}  // namespace brisane
