#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "show/glow.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::RecordingDevice;
using Draws = std::vector<RecordingDevice::Draw>;

std::vector<ScreenVertex> Vertices(const RecordingDevice::Draw& draw) {
  std::vector<ScreenVertex> v(draw.vertices.size() / sizeof(ScreenVertex));
  std::memcpy(v.data(), draw.vertices.data(), v.size() * sizeof(ScreenVertex));
  return v;
}

// What a 16-bit (5-6-5) back buffer gives back of a colour.
std::uint32_t As565(std::uint32_t argb) {
  const std::uint32_t r = (argb >> 19) & 31, g = (argb >> 10) & 63, b = (argb >> 3) & 31;
  return 0xFF000000u | (r * 255 / 31) << 16 | (g * 255 / 63) << 8 | (b * 255 / 31);
}

// Identity view and projection over a 640 x 480 viewport: a light at world
// (x, y, z) shows at ((x + 1) x 320, (1 - y) x 240) with depth z. The back
// buffer starts as one where drawing changes nothing: the test point is hidden.
class GlowTest : public ::testing::Test {
 protected:
  GlowTest() {
    for (std::uint16_t id = 168; id <= 177; ++id) resources.add(id, "JPEGFILE", testing::Bytes("glow"));
    camera.Update(Matrix::Identity());
    device.BeginScene();
    Hide();
  }
  void Hide() { device.backBuffer = [](std::int32_t, std::int32_t) { return 0xFF203040u; }; }
  void SeeEverything() {
    device.backBuffer = [this](std::int32_t, std::int32_t) {
      return 0xFF000000u | static_cast<std::uint32_t>(device.draws.size());
    };
  }
  Glow& Lantern() {
    const std::size_t i = set.Add({"", 176}, 75, Matrix::Translation(0, 0, 0.5f), 500);
    return set.SetFlickerSizeFactor(i, 0.0f), set.SetMaximumDistance(i, 1200.0f), *set.glow(i);
  }
  // Draws every 20 ms until `until`; the draws of the last frame.
  template <typename Drawn>
  Draws DrawUntil(Drawn& drawn, std::uint32_t until) {
    while (clock.now() < until) {
      clock.advance(20);
      device.draws.clear();
      drawn.Draw(device, camera, clock.now(), random);
    }
    return device.draws;
  }
  std::size_t ReadBacks() const { return device.Calls("ReadBackBuffer(").size(); }

  ManualClock clock{0};
  testing::FakeTextureLoader loader;
  MemoryResourceSource resources;
  PictureSource pictures{clock, &loader, resources};
  testing::ScriptedRandom random{{16384, 0, 32767}};
  RecordingDevice device;
  Camera camera{"eye", clock};
  GlowSet set{pictures, 1024, clock.now()};
};

TEST_F(GlowTest, AFlickeringLanternDriftsToEachNewOffsetWithoutJumping) {
  SeeEverything();
  Lantern();
  testing::ScriptedRandom always{{32767}};  // every new offset the full amplitude, one pixel at 1024 wide
  float previous = 0.0f, reached = 0.0f;
  for (int frame = 0; frame < 30; ++frame) {
    clock.advance(20);
    device.draws.clear();
    set.Draw(device, camera, clock.now(), always);
    const auto quad = std::find_if(device.draws.begin(), device.draws.end(),
                                   [](const auto& d) { return d.type == PrimitiveType::TriangleList; });
    ASSERT_NE(quad, device.draws.end()) << frame;
    const std::vector<ScreenVertex> v = Vertices(*quad);
    const auto [low, high] = std::minmax_element(v.begin(), v.end(), [](auto& a, auto& b) { return a.x < b.x; });
    const float offset = (low->x + high->x) / 2 - 320.0f;
    EXPECT_LE(std::fabs(offset - previous), 0.2f + 1e-3f) << "a 100 ms drift moves a fifth a frame; frame " << frame;
    previous = offset;
    reached = std::max(reached, offset);
  }
  EXPECT_NEAR(reached, 1.0f, 1e-3f);
}

TEST_F(GlowTest, ASeenLanternStaysSeenOnASixteenBitBackBuffer) {
  device.backBuffer = [this](std::int32_t, std::int32_t) {
    const bool point = !device.draws.empty() && device.draws.back().type == PrimitiveType::PointList;
    return As565(point ? Vertices(device.draws.back())[0].diffuse : 0x00424242u);
  };
  Glow& glow = Lantern();
  DrawUntil(set, 1000);
  // A test every 120 ms at 20 ms frames; a change of a few levels would vanish in 16 bits.
  EXPECT_EQ(std::tuple(ReadBacks(), glow.intensity), std::tuple(16u, 255));
  Hide();  // behind the hull: the point changes nothing
  DrawUntil(set, 1600);
  EXPECT_EQ(glow.intensity, 0);
}

TEST_F(GlowTest, ALanternShrinksBetween600And1200UnitsAndIsNotDrawnBeyond) {
  SeeEverything();
  Lantern();
  const auto side = [&](float distance) {
    camera.Update(Matrix::Translation(distance, 0, 0.5f));
    const Draws draws = DrawUntil(set, clock.now() + 20);
    if (draws.empty() || draws.back().type != PrimitiveType::TriangleList) return -1.0f;
    return Vertices(draws.back())[1].x - Vertices(draws.back())[0].x;
  };
  // 75 pixels at 1024 wide, in whole half sides; half way out, half the size; beyond its reach, not drawn.
  EXPECT_EQ((std::array{side(600), side(900), side(1201)}), (std::array{74.0f, 36.0f, -1.0f}));
  GlowSet wide(pictures, 2048, clock.now());
  EXPECT_EQ(wide.glow(wide.Add({"", 176}, 75, Matrix::Identity(), 500))->size(), 150u) << "follows the screen";
}

TEST_F(GlowTest, TheFlareLiesOnTheLineThroughTheCentreGoesWithTheHiddenSunAndNeverFromBehind) {
  SeeEverything();
  LensFlare flare(pictures, 1024, clock.now(), Matrix::Translation(-0.5f, 0.5f, 0.5f), {"", 168}, 600, 1000);
  for (std::uint16_t picture = 169; picture <= 175; ++picture)
    flare.Add({"", picture}, 40, picture == 175 ? 1.0f : 0.5f);
  DrawUntil(flare, 20);
  ASSERT_EQ(device.draws.size(), 8u) << "the sun's glow and seven sprites";
  // Sun at (160, 120); the mirror point through the centre is (480, 360).
  const std::vector<ScreenVertex> last = Vertices(device.draws.back()), middle = Vertices(device.draws[1]);
  EXPECT_EQ((std::array{last[0].x + last[3].x, last[0].y + last[3].y, middle[0].x + middle[3].x}),
            (std::array{960.0f, 720.0f, 640.0f})) << "centres, doubled";
  EXPECT_EQ(device.draws.back().renderStates.at(RenderState::DestBlend), d3d::kBlendOne);
  flare.sunGlow().SetMaximumIntensity(0, 128);
  DrawUntil(flare, 40);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 128u << 24) << "the sprites dim with the sun";
  device.backBuffer = [](std::int32_t, std::int32_t) { return 0xFF808080u; };
  for (const RecordingDevice::Draw& draw : DrawUntil(flare, 1240))
    EXPECT_EQ(draw.type, PrimitiveType::PointList) << "the hidden sun takes the flare with it";

  LensFlare behind(pictures, 1024, clock.now(), Matrix::Translation(0.1f, 0.1f, -2.0f), {"", 168}, 600, 1000);
  behind.Add({"", 169}, 40, 0.5f);
  DeviceMatrix projection = DeviceMatrix::Identity();
  projection.m[2][3] = 1.0f;  // w = z: behind the camera w is negative
  projection.m[3][3] = 0.0f;
  device.SetTransform(TransformState::Projection, projection);
  EXPECT_TRUE(DrawUntil(behind, clock.now() + 20).empty()) << "not mirrored onto the screen";
}

TEST_F(GlowTest, TheFlareNeedsTheSunOnTheScreenAndFadesAcrossItsOuterTenth) {
  SeeEverything();
  const auto flareDraws = [this](float x, float y) {
    LensFlare flare(pictures, 1024, clock.now(), Matrix::Translation(x, y, 0.5f), {"", 168}, 600, 1000);
    flare.Add({"", 169}, 40, 0.5f);
    flare.Add({"", 173}, 60, 0.72f);
    std::size_t sprites = 0;
    for (const RecordingDevice::Draw& draw : DrawUntil(flare, clock.now() + 20))
      sprites += draw.type != PrimitiveType::PointList;
    return sprites - 1;  // less the sun's own glow
  };
  // Right of the screen (x 704 of 640), below it (y 504 of 480), and off a
  // corner: the glow's edge may show, the flare not.
  for (const auto& [x, y] : {std::pair{1.2f, 0.0f}, {0.0f, -1.1f}, {-1.05f, 1.05f}})
    EXPECT_EQ(flareDraws(x, y), 0u) << x << ", " << y;
  // 16 pixels inside the right edge of a 64-pixel band, 12 inside the top of a 48-pixel one: a quarter as bright.
  for (const auto& [x, y] : {std::pair{0.95f, 0.0f}, {0.0f, 0.95f}}) {
    EXPECT_EQ(flareDraws(x, y), 2u) << x;
    EXPECT_EQ(device.State(RenderState::TextureFactor), 63u << 24) << x;
  }
  EXPECT_EQ(flareDraws(0.7f, -0.7f), 2u);
  EXPECT_EQ(device.StageState(0, TextureStageState::AlphaOp), d3d::kTopSelectArg1) << "full inside the band";
}

TEST_F(GlowTest, SetMaximumIntensityKeepsAGlowBelowItsMaximumInProportion) {
  Glow& glow = *set.glow(set.Add({"", 168}, 600, Matrix::Identity(), 1000));
  // At its maximum it follows; below, in proportion; from 0 of 0 it is at its maximum.
  for (const auto& [before, maximum, after] : {std::tuple{255, 128, 128}, {100, 64, 50}, {50, 0, 0}, {0, 90, 90}}) {
    glow.intensity = before;
    set.SetMaximumIntensity(0, maximum);
    EXPECT_EQ(glow.intensity, after) << before << " " << maximum;
  }
  set.SetMaximumIntensity(0, 400);
  set.SetMaximumIntensity(7, 10);  // no such glow
  EXPECT_EQ(glow.maximumIntensity, 255);
}

}  // namespace
}  // namespace brisane
