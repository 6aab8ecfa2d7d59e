#include <gtest/gtest.h>

#include <cmath>

#include "render/smoke.h"
#include "render/sprite.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::RecordingDevice;

// The emitter's arrays, for checking the quads it writes.
class OpenEmitter : public SmokeEmitter {
 public:
  using SmokeEmitter::SmokeEmitter;
  const std::vector<SceneQuadVertex>& vertices() const { return vertices_; }
  const std::vector<std::uint16_t>& indices() const { return indices_; }
};

class EffectsTest : public ::testing::Test {
 protected:
  EffectsTest() {
    for (std::uint16_t id : {178, 179, 180}) resources.add(id, "JPEGFILE", testing::Bytes("picture"));
    device.BeginScene();
    hot.picture = {"", 178};
    hot.sizeMean = 4;
    hot.burstMean = 10;
    hot.position = Matrix::translation(10, 20, 30);
    hot.velocity = Matrix::translation(0, 100, 0);
    hot.acceleration = Matrix::translation(0, -140, -6);
    hot.lifeMean = 0.6f;
    hot.growthMean = 0.3f;
    hot.fadeSpread = 0.3f;
    hot.fade = true;
  }

  ManualClock clock{1000};
  testing::FakeTextureLoader loader;
  MemoryResourceSource resources;
  PictureSource pictures{clock, &loader, resources};
  testing::ScriptedRandom random{{16384}};  // middle draws: every spread lands on (almost) nothing
  RecordingDevice device;
  SmokeSpec hot;  // a gun's hot smoke: 10 a burst, 0.6 s life, growing for 0.3 s
};

TEST_F(EffectsTest, ABurstNeverGrowsThePoolPastItsMaximumAndParticlesDieAtTheirLife) {
  OpenEmitter smoke(pictures, hot);
  EXPECT_EQ(smoke.maximumCount(), 6u) << "burst mean x life mean";
  smoke.SetEmitting(false);
  smoke.Update(1000, random);
  EXPECT_TRUE(smoke.particles().empty()) << "not emitting: only asked-for bursts";
  for (std::uint32_t now : {1000, 1100}) {
    smoke.SetPendingCount(10);
    smoke.Update(now, random);
    EXPECT_EQ(smoke.particles().size(), 6u) << "a full pool takes none";
  }
  smoke.SetMaximumCount(10);
  smoke.SetPendingCount(10);
  smoke.Update(1300, random);
  EXPECT_EQ(smoke.particles().size(), 10u) << "four more fit";
  smoke.Update(1600, random);
  EXPECT_EQ(smoke.particles().size(), 10u) << "the first six are exactly at their life";
  smoke.Update(1601, random);
  EXPECT_EQ(smoke.particles().size(), 4u) << "the first six are past it";

  smoke.SetMaximumCount(3);
  EXPECT_EQ(smoke.particles().size(), 3u);
  EXPECT_EQ(smoke.vertices().size(), 12u);
  EXPECT_EQ(smoke.indices().size(), 18u);
  smoke.SetMaximumCount(100000);
  EXPECT_EQ(smoke.maximumCount(), SmokeEmitter::kMostParticles) << "16-bit indices";
  EXPECT_EQ(smoke.indices().back(), smoke.vertices().size() - 3);
  EXPECT_EQ(smoke.indices()[6 * 5 + 3], 4 * 5 + 3);
}

TEST_F(EffectsTest, AnEmittingEmitterStartsABurstWheneverNothingIsPendingAndParticlesMoveStepByStep) {
  hot.burstMean = 2;
  hot.lifeMean = 10.0f;
  OpenEmitter smoke(pictures, hot);
  smoke.Update(1000, random);
  smoke.Update(1250, random);
  EXPECT_EQ(smoke.particles().size(), 4u);
  // Velocity takes the acceleration, then position the velocity, in each
  // update's step (0.25 s here, twice).
  smoke.Update(1500, random);
  const SmokeParticle& first = smoke.particles().front();
  EXPECT_NEAR(first.velocity.y, 30.0f, 0.01f);
  EXPECT_NEAR(first.position.y, 20.0f + 16.25f + 7.5f, 0.01f);
  EXPECT_NEAR(first.position.z, 30.0f - 0.375f - 0.75f, 0.01f);
}

TEST_F(EffectsTest, SmokeGrowsAndShrinksOrFadesOutAndLeavesTheStatesAsTheyWere) {
  OpenEmitter smoke(pictures, hot);
  smoke.SetEmitting(false);
  smoke.SetPendingCount(6);
  smoke.Update(1000, random);
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendZero);
  const auto quadSide = [&](std::uint32_t now) {
    device.draws.clear();
    smoke.Draw(device, now);
    const SceneQuadVertex &a = smoke.vertices()[0], &b = smoke.vertices()[3];
    return std::sqrt(((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z)) / 2);
  };
  EXPECT_NEAR(quadSide(1150), 2.0f, 0.01f) << "half grown at 0.15 s of 0.3";
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].vertexCount, 24u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::DestBlend), d3d::kBlendOne);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::ZWriteEnable), 0u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::TexturePerspective), 0u);
  EXPECT_EQ(device.State(RenderState::TexturePerspective), 1u);
  EXPECT_EQ(device.State(RenderState::ZWriteEnable), 1u);
  EXPECT_EQ(device.State(RenderState::DestBlend), d3d::kBlendZero);
  EXPECT_NEAR(quadSide(1300), 4.0f, 0.01f) << "full size at its growth time";
  EXPECT_NEAR(quadSide(1450), 2.0f, 0.05f) << "half way through the rest of its life";

  hot.lifeMean = 2.0f;
  hot.growthMean = 1.0f;
  hot.fadeSpread = 0.0f;
  AlphaSmokeEmitter trail(pictures, hot);
  trail.SetEmitting(false);
  trail.SetPendingCount(10);
  trail.Update(1000, random);
  device.draws.clear();
  trail.Update(2500, random);
  trail.Draw(device, 2500);
  ASSERT_EQ(device.draws.size(), 10u) << "one draw a particle";
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::DestBlend), d3d::kBlendInvSrcAlpha);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 127u << 24) << "half the fade time left";
}

TEST_F(EffectsTest, TheFlashIsABillboardFacingTheCameraOnlyWhileEnabled) {
  Sprite flash(pictures, {"", 180}, 30, Matrix::translation(5, 6, 7));
  flash.zEnable = 1;
  flash.enabled = false;
  flash.DrawBillboard(device);
  EXPECT_TRUE(device.draws.empty());

  flash.enabled = true;
  device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
  flash.DrawBillboard(device);
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::CullMode), d3d::kCullNone);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::ZEnable), 1u);
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::DestBlend), d3d::kBlendOne);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullCCW);

  Sprite bare(pictures, {"", 999}, 30, Matrix::identity());  // no picture, no quad
  device.draws.clear();
  bare.DrawBillboard(device);
  bare.DrawOnScreen(device);
  EXPECT_TRUE(device.draws.empty());
}

}  // namespace
}  // namespace brisane
