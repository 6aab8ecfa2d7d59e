#include <gtest/gtest.h>

#include <cmath>

#include "render/smoke.h"
#include "render/sprite.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::FakeTextureLoader;
using testing::RecordingDevice;
using testing::ScriptedRandom;

// The emitter's vertex array, for checking the quads it writes.
class OpenEmitter : public SmokeEmitter {
 public:
  using SmokeEmitter::SmokeEmitter;
  const std::vector<SceneQuadVertex>& vertices() const { return vertices_; }
  const std::vector<std::uint16_t>& indices() const { return indices_; }
};

float Corner(const SceneQuadVertex& a, const SceneQuadVertex& b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

class EffectsTest : public ::testing::Test {
 protected:
  EffectsTest() {
    for (std::uint16_t id : {178, 179, 180}) resources.add(id, "JPEGFILE", testing::Bytes("picture" + std::to_string(id)));
    device.BeginScene();
  }
  // The hot smoke of a gun: 10 a burst, 0.6 s life, growing for 0.3 s.
  SmokeSpec Hot() const {
    SmokeSpec spec;
    spec.picture = {"", 178};
    spec.sizeMean = 4;
    spec.burstMean = 10;
    spec.position = Matrix::translation(10, 20, 30);
    spec.velocity = Matrix::translation(0, 100, 0);
    spec.acceleration = Matrix::translation(0, -140, -6);
    spec.lifeMean = 0.6f;
    spec.growthMean = 0.3f;
    spec.fadeSpread = 0.3f;
    spec.fade = true;
    return spec;
  }

  ManualClock clock{1000};
  FakeTextureLoader loader;
  MemoryResourceSource resources;
  PictureSource pictures{clock, &loader, resources};
  // Middle draws: every spread lands on (almost) nothing.
  ScriptedRandom random{{16384}};
  RecordingDevice device;
};

TEST_F(EffectsTest, ABurstNeverGrowsThePoolPastItsMaximumAndParticlesDieAtTheirLife) {
  OpenEmitter smoke(pictures, Hot());
  EXPECT_EQ(smoke.maximumCount(), 6u) << "burst mean x life mean";
  smoke.SetEmitting(false);
  smoke.Update(1000, random);
  EXPECT_TRUE(smoke.particles().empty()) << "not emitting: only asked-for bursts";

  smoke.SetPendingCount(10);
  smoke.Update(1000, random);
  EXPECT_EQ(smoke.particles().size(), 6u);
  EXPECT_EQ(smoke.pendingCount(), 0u);
  smoke.SetPendingCount(10);
  smoke.Update(1100, random);
  EXPECT_EQ(smoke.particles().size(), 6u) << "a full pool takes none";

  smoke.SetMaximumCount(10);
  EXPECT_EQ(smoke.vertices().size(), 40u);
  EXPECT_EQ(smoke.indices().size(), 60u);
  smoke.SetPendingCount(10);
  smoke.Update(1300, random);
  EXPECT_EQ(smoke.particles().size(), 10u) << "four more fit";

  smoke.Update(1600, random);
  EXPECT_EQ(smoke.particles().size(), 10u) << "the first six are exactly at their life";
  smoke.Update(1601, random);
  EXPECT_EQ(smoke.particles().size(), 4u) << "the first six are past it";
  smoke.Update(1901, random);
  EXPECT_TRUE(smoke.particles().empty());
}

TEST_F(EffectsTest, AnEmittingEmitterStartsABurstWheneverNothingIsPendingAndParticlesMoveStepByStep) {
  SmokeSpec spec = Hot();
  spec.burstMean = 2;
  spec.lifeMean = 10.0f;
  OpenEmitter smoke(pictures, spec);
  EXPECT_EQ(smoke.maximumCount(), 20u);
  smoke.Update(1000, random);
  EXPECT_EQ(smoke.particles().size(), 2u);
  smoke.Update(1250, random);
  EXPECT_EQ(smoke.particles().size(), 4u);
  // The first pair: velocity takes the acceleration, then position the
  // velocity, in each update's step (0.25 s here, twice).
  smoke.Update(1500, random);
  const SmokeParticle& first = smoke.particles().front();
  EXPECT_NEAR(first.velocity.y, 30.0f, 0.01f);
  EXPECT_NEAR(first.position.y, 20.0f + 16.25f + 7.5f, 0.01f);
  EXPECT_NEAR(first.position.z, 30.0f - 0.375f - 0.75f, 0.01f);
  EXPECT_NEAR(first.position.x, 10.0f, 0.01f);
}

TEST_F(EffectsTest, ResizingKeepsTheArraysConsistentWithTheLiveParticles) {
  OpenEmitter smoke(pictures, Hot());
  smoke.SetEmitting(false);
  smoke.SetPendingCount(6);
  smoke.Update(1000, random);
  smoke.SetPendingCount(0);
  smoke.SetMaximumCount(3);
  EXPECT_EQ(smoke.particles().size(), 3u) << "the oldest go";
  EXPECT_EQ(smoke.vertices().size(), 12u);
  EXPECT_EQ(smoke.indices().size(), 18u);
  smoke.SetMaximumCount(100000);
  EXPECT_EQ(smoke.maximumCount(), SmokeEmitter::kMostParticles) << "16-bit indices";
  for (std::uint16_t index : smoke.indices()) ASSERT_LT(index, smoke.vertices().size());
  EXPECT_EQ(smoke.indices()[6 * 5 + 3], 4 * 5 + 3);
}

TEST_F(EffectsTest, HotSmokeGrowsThenShrinksInOneAdditiveDrawAndLeavesTheStatesAsTheyWere) {
  OpenEmitter smoke(pictures, Hot());
  smoke.SetEmitting(false);
  smoke.SetPendingCount(6);
  smoke.Update(1000, random);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendZero);

  const auto quadSide = [&](std::uint32_t now) {
    device.draws.clear();
    smoke.Draw(device, now);
    return Corner(smoke.vertices()[0], smoke.vertices()[3]) / std::sqrt(2.0f);
  };
  EXPECT_NEAR(quadSide(1150), 2.0f, 0.01f) << "half grown at 0.15 s of 0.3";
  ASSERT_EQ(device.draws.size(), 1u);
  const RecordingDevice::Draw& draw = device.draws[0];
  EXPECT_EQ(draw.vertexCount, 24u);
  EXPECT_EQ(draw.indices.size(), 36u);
  EXPECT_EQ(draw.fvf, kSceneQuadFvf);
  EXPECT_EQ(draw.renderStates.at(RenderState::DestBlend), d3d::kBlendOne);
  EXPECT_EQ(draw.renderStates.at(RenderState::ZWriteEnable), 0u);
  EXPECT_EQ(draw.renderStates.at(RenderState::TexturePerspective), 0u);
  EXPECT_NE(draw.textures[0], "") << "the smoke picture";
  EXPECT_EQ(device.State(RenderState::AlphaBlendEnable), 0u);
  EXPECT_EQ(device.State(RenderState::ZWriteEnable), 1u);
  EXPECT_EQ(device.State(RenderState::DestBlend), d3d::kBlendZero);
  EXPECT_EQ(device.State(RenderState::TexturePerspective), 1u);
  EXPECT_EQ(device.material.emissive, (DeviceColor{1, 1, 1, 1}));

  EXPECT_NEAR(quadSide(1300), 4.0f, 0.01f) << "full size at its growth time";
  EXPECT_NEAR(quadSide(1450), 2.0f, 0.05f) << "half way through the rest of its life";
}

TEST_F(EffectsTest, GreySmokeFadesOutOverItsFadeTimeOneDrawAParticle) {
  SmokeSpec spec = Hot();
  spec.picture = {"", 179};
  spec.sizeMean = 30;
  spec.lifeMean = 2.0f;
  spec.growthMean = 1.0f;
  spec.fadeSpread = 0.0f;
  AlphaSmokeEmitter trail(pictures, spec);
  trail.SetEmitting(false);
  trail.SetMaximumCount(10);
  trail.SetPendingCount(10);
  trail.Update(1000, random);
  trail.Draw(device, 1500);
  ASSERT_EQ(device.draws.size(), 10u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::DestBlend), d3d::kBlendInvSrcAlpha);
  EXPECT_EQ(device.draws[0].vertexCount, 4u);
  EXPECT_EQ(device.StageState(0, TextureStageState::AlphaArg1), d3d::kTaTexture) << "full alpha";

  device.draws.clear();
  trail.Update(2500, random);
  trail.Draw(device, 2500);
  ASSERT_EQ(device.draws.size(), 10u);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 127u << 24) << "half the fade time left";
  EXPECT_EQ(device.State(RenderState::TexturePerspective), 1u);
}

TEST_F(EffectsTest, TheFlashIsABillboardFacingTheCameraOnlyWhileEnabled) {
  Sprite flash(pictures, {"", 180}, 30, Matrix::translation(5, 6, 7));
  flash.zEnable = 1;
  flash.enabled = false;
  flash.DrawBillboard(device);
  EXPECT_TRUE(device.draws.empty());

  flash.enabled = true;
  device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  // A camera turned a quarter about the view axis: right is world y.
  DeviceMatrix view;
  view.m[0][1] = 1;
  view.m[1][0] = -1;
  view.m[2][2] = 1;
  view.m[3][3] = 1;
  device.SetTransform(TransformState::View, view);
  flash.DrawBillboard(device);
  ASSERT_EQ(device.draws.size(), 1u);
  const RecordingDevice::Draw& draw = device.draws[0];
  EXPECT_EQ(draw.world, DeviceMatrix::Identity());
  EXPECT_EQ(draw.renderStates.at(RenderState::CullMode), d3d::kCullNone);
  EXPECT_EQ(draw.renderStates.at(RenderState::ZEnable), 1u);
  EXPECT_EQ(draw.renderStates.at(RenderState::SrcBlend), d3d::kBlendSrcAlpha);
  EXPECT_EQ(draw.renderStates.at(RenderState::DestBlend), d3d::kBlendOne);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullCCW);
  EXPECT_EQ(device.State(RenderState::AlphaBlendEnable), 0u);

  // Nothing to draw with: no picture, no quad.
  Sprite bare(pictures, {"", 999}, 30, Matrix::identity());
  EXPECT_FALSE(bare.hasPicture());
  device.draws.clear();
  bare.DrawBillboard(device);
  bare.DrawOnScreen(device);
  EXPECT_TRUE(device.draws.empty());
}

}  // namespace
}  // namespace brisane
