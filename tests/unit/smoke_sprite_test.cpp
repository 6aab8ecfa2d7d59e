#include <gtest/gtest.h>

#include <cmath>

#include "render/smoke.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

// The emitter's arrays, for checking the quads it writes.
class OpenEmitter : public SmokeEmitter {
 public:
  using SmokeEmitter::SmokeEmitter;
  const std::vector<SceneQuadVertex>& vertices() const { return vertices_; }
  const std::vector<std::uint16_t>& indices() const { return indices_; }
};

// A gun's hot smoke: 10 a burst, 0.6 s life, growing for 0.3 s. Middle draws
// land every spread on (almost) nothing.
class EffectsTest : public ::testing::Test {
 protected:
  EffectsTest() {
    for (std::uint16_t id : {178, 179, 180}) resources.add(id, "JPEGFILE", testing::Bytes("picture"));
    device.BeginScene();
  }
  std::uint32_t At(std::size_t draw, RenderState state) { return device.draws.at(draw).renderStates.at(state); }

  ManualClock clock{1000};
  testing::FakeTextureLoader loader;
  MemoryResourceSource resources;
  PictureSource pictures{clock, &loader, resources};
  testing::ScriptedRandom random{{16384}};
  testing::RecordingDevice device;
  SmokeSpec hot{.picture = {"", 178}, .sizeMean = 4, .burstMean = 10, .position = Matrix::Translation(10, 20, 30),
                .velocity = Matrix::Translation(0, 100, 0), .acceleration = Matrix::Translation(0, -140, -6),
                .lifeMean = 0.6f, .growthMean = 0.3f, .fadeSpread = 0.3f, .fade = true};
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
  // Four more fit; the first six are exactly at their life at 1600, past it at 1601.
  for (const auto& [now, left] : {std::pair{1300u, 10u}, {1600u, 10u}, {1601u, 4u}}) {
    smoke.Update(now, random);
    EXPECT_EQ(smoke.particles().size(), left) << now;
  }
  smoke.SetMaximumCount(3);
  EXPECT_EQ((std::array{smoke.particles().size(), smoke.vertices().size(), smoke.indices().size()}),
            (std::array<std::size_t, 3>{3, 12, 18}));
  smoke.SetMaximumCount(100000);
  EXPECT_EQ(smoke.maximumCount(), SmokeEmitter::kMostParticles) << "16-bit indices";
  EXPECT_EQ(std::tuple(smoke.indices().back(), smoke.indices()[6 * 5 + 3]), std::tuple(smoke.vertices().size() - 3, 4 * 5 + 3));
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
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z) / std::sqrt(2.0f);
  };
  EXPECT_NEAR(quadSide(1150), 2.0f, 0.01f) << "half grown at 0.15 s of 0.3";
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(device.draws[0].vertexCount, 24u);
  for (const auto& [state, during, after] : {std::tuple{RenderState::DestBlend, d3d::kBlendOne, d3d::kBlendZero},
                                             {RenderState::ZWriteEnable, 0u, 1u}, {RenderState::TexturePerspective, 0u, 1u}})
    EXPECT_EQ(std::tuple(At(0, state), device.State(state)), std::tuple(during, after)) << "and then as they were";
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
  EXPECT_EQ(std::tuple(At(0, RenderState::DestBlend), device.State(RenderState::TextureFactor)),
            std::tuple(d3d::kBlendInvSrcAlpha, 127u << 24)) << "half the fade time left";
}

}  // namespace
}  // namespace brisane
