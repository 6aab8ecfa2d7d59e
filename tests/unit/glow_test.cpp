#include <gtest/gtest.h>

#include <algorithm>
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
// (x, y, z) shows at ((x + 1) x 320, (1 - y) x 240) with depth z.
class GlowTest : public ::testing::Test {
 protected:
  GlowTest() {
    for (std::uint16_t id = 168; id <= 177; ++id) resources.add(id, "JPEGFILE", testing::Bytes("glow"));
    camera.Update(Matrix::Identity());
    device.BeginScene();
  }
  void SeeEverything() {
    device.backBuffer = [this](std::int32_t, std::int32_t) {
      return 0xFF000000u | static_cast<std::uint32_t>(device.draws.size());
    };
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

TEST_F(GlowTest, ASeenLanternStaysSeenOnASixteenBitBackBuffer) {
  device.backBuffer = [this](std::int32_t, std::int32_t) {
    const bool point = !device.draws.empty() && device.draws.back().type == PrimitiveType::PointList;
    return As565(point ? Vertices(device.draws.back())[0].diffuse : 0x00424242u);
  };
  Glow& glow = *set.glow(set.Add({"", 176}, 75, Matrix::Translation(0, 0, 0.5f), 500));
  DrawUntil(set, 1000);
  // A test every 120 ms at 20 ms frames; a change of a few levels would vanish in 16 bits.
  EXPECT_EQ(std::tuple(ReadBacks(), glow.intensity), std::tuple(16u, 255));
  device.backBuffer = [](std::int32_t, std::int32_t) { return 0xFF203040u; };  // behind the hull: nothing changes
  DrawUntil(set, 1600);
  EXPECT_EQ(glow.intensity, 0);
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
