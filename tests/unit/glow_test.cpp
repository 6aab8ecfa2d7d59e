#include <gtest/gtest.h>

#include <cstring>

#include "show/glow.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using testing::FakeTextureLoader;
using testing::RecordingDevice;
using testing::ScriptedRandom;

std::vector<ScreenVertex> ScreenVertices(const RecordingDevice::Draw& draw) {
  std::vector<ScreenVertex> v(draw.vertices.size() / sizeof(ScreenVertex));
  std::memcpy(v.data(), draw.vertices.data(), v.size() * sizeof(ScreenVertex));
  return v;
}

// Identity view and projection over a 640 x 480 viewport: a light at world
// (x, y, z) shows at ((x + 1) x 320, (1 - y) x 240) with depth z.
class GlowTest : public ::testing::Test {
 protected:
  GlowTest() {
    for (std::uint16_t id = 168; id <= 177; ++id) resources.add(id, "JPEGFILE", testing::Bytes("glow"));
    camera.update(Matrix::identity());
    device.BeginScene();
    // A back buffer where drawing changes nothing: the test point is hidden.
    device.backBuffer = [](std::int32_t, std::int32_t) { return 0xFF203040u; };
  }
  void SeeEverything() {
    // Every draw changes the pixel: the test point shows.
    device.backBuffer = [this](std::int32_t, std::int32_t) { return 0xFF000000u | static_cast<std::uint32_t>(device.draws.size()); };
  }
  std::size_t Lantern(GlowSet& set, const Matrix& at) {
    const std::size_t i = set.Add({"", 176}, 75, at, 500);
    set.SetFlickerSizeFactor(i, 0.0f);
    set.SetMaximumDistance(i, 1200.0f);
    return i;
  }
  // Draws the set every `step` ms until `until`; the draws of the last frame.
  std::vector<RecordingDevice::Draw> DrawUntil(GlowSet& set, std::uint32_t until, std::uint32_t step = 20) {
    while (clock.now() < until) {
      clock.advance(step);
      device.draws.clear();
      set.Draw(device, camera, clock.now(), random);
    }
    return device.draws;
  }
  std::size_t ReadBacks() const { return device.Calls("ReadBackBuffer(").size(); }

  ManualClock clock{0};
  FakeTextureLoader loader;
  MemoryResourceSource resources;
  PictureSource pictures{clock, &loader, resources};
  ScriptedRandom random{{16384, 0, 32767}};
  RecordingDevice device;
  Camera camera{"eye", clock};
};

TEST_F(GlowTest, ALanternBehindTheHullFadesOutWithinHalfASecondAndBackInWhenSeen) {
  GlowSet set(pictures, 1024, clock.now());
  const std::size_t lantern = Lantern(set, Matrix::translation(0, 0, 0.5f));
  DrawUntil(set, 100);
  EXPECT_EQ(ReadBacks(), 0u) << "no test in the first 100 ms";
  DrawUntil(set, 120);
  ASSERT_EQ(ReadBacks(), 2u) << "before and after the test point";
  const Glow& glow = *set.glow(lantern);
  EXPECT_EQ(glow.colourBefore, glow.colourAfter);
  const std::vector<RecordingDevice::Draw> point = device.draws;
  ASSERT_FALSE(point.empty());
  EXPECT_EQ(point[0].type, PrimitiveType::PointList);
  EXPECT_EQ(point[0].fvf, kScreenFvf);
  const ScreenVertex p = ScreenVertices(point[0])[0];
  EXPECT_EQ(p.x, 320.0f);
  EXPECT_EQ(p.y, 240.0f);
  EXPECT_EQ(p.z, 0.5f) << "depth-tested at the light's depth";
  EXPECT_NE(p.diffuse & 0xFFFFFFu, 0x203040u) << "a colour that differs from the pixel";

  DrawUntil(set, 600);
  EXPECT_GT(glow.intensity, 0);
  EXPECT_TRUE(DrawUntil(set, 640).size() <= 1u) << "faded out: no glow is drawn";
  EXPECT_EQ(glow.intensity, 0);
  EXPECT_LE(ReadBacks(), 2u * 7) << "at most one test every 100 ms";

  SeeEverything();
  DrawUntil(set, 760);
  EXPECT_GT(glow.intensity, 0) << "seen again";
  DrawUntil(set, 1300);
  EXPECT_EQ(glow.intensity, 255);
}

// What a 16-bit (5-6-5) back buffer gives back of a colour.
std::uint32_t As565(std::uint32_t argb) {
  const std::uint32_t r = (argb >> 19) & 31, g = (argb >> 10) & 63, b = (argb >> 3) & 31;
  return 0xFF000000u | (r * 255 / 31) << 16 | (g * 255 / 63) << 8 | (b * 255 / 31);
}

TEST_F(GlowTest, ASeenLanternStaysSeenOnASixteenBitBackBuffer) {
  // The pixel holds the test point once it is drawn, in 5-6-5 precision.
  device.backBuffer = [this](std::int32_t, std::int32_t) {
    if (!device.draws.empty() && device.draws.back().type == PrimitiveType::PointList)
      return As565(ScreenVertices(device.draws.back())[0].diffuse);
    return As565(0x00424242u);
  };
  GlowSet set(pictures, 1024, clock.now());
  const std::size_t lantern = Lantern(set, Matrix::translation(0, 0, 0.5f));
  DrawUntil(set, 1000);
  EXPECT_EQ(ReadBacks(), 16u) << "a test every 120 ms at 20 ms frames";
  EXPECT_NE(set.glow(lantern)->colourBefore, set.glow(lantern)->colourAfter);
  EXPECT_EQ(set.glow(lantern)->intensity, 255) << "a change of a few levels would vanish in 16 bits";
}

TEST_F(GlowTest, AGlowOffTheScreenIsNotTestedAndCountsAsVisible) {
  GlowSet set(pictures, 1024, clock.now());
  const std::size_t lantern = Lantern(set, Matrix::translation(0, 0, 0.5f));
  DrawUntil(set, 700);
  ASSERT_EQ(set.glow(lantern)->intensity, 0);
  const std::size_t tested = ReadBacks();
  set.SetPosition(lantern, Matrix::translation(1.5f, 0, 0.5f));  // right of the viewport
  DrawUntil(set, 1000);
  EXPECT_EQ(ReadBacks(), tested) << "nothing on screen, nothing read";
  EXPECT_EQ(set.glow(lantern)->colourBefore, 0u);
  EXPECT_GT(set.glow(lantern)->intensity, 100);
  DrawUntil(set, 1300);
  EXPECT_EQ(set.glow(lantern)->intensity, 255);

  // Past the far plane is off the screen too.
  set.SetPosition(lantern, Matrix::translation(0, 0, 1.5f));
  DrawUntil(set, 1500);
  EXPECT_FALSE(set.glow(lantern)->onScreen());
  EXPECT_EQ(ReadBacks(), tested);
}

TEST_F(GlowTest, ALanternShrinksBetween600And1200UnitsAndIsNotDrawnBeyond) {
  SeeEverything();
  GlowSet set(pictures, 1024, clock.now());
  const std::size_t lantern = Lantern(set, Matrix::translation(0, 0, 0.5f));
  const auto side = [&](float distance) {
    camera.update(Matrix::translation(distance, 0, 0.5f));
    const std::vector<RecordingDevice::Draw> draws = DrawUntil(set, clock.now() + 20);
    if (draws.empty() || draws.back().type != PrimitiveType::TriangleList) return -1.0f;
    const std::vector<ScreenVertex> quad = ScreenVertices(draws.back());
    return quad[1].x - quad[0].x;
  };
  EXPECT_EQ(side(300), 74.0f) << "75 pixels at 1024 wide, in whole half sides";
  EXPECT_EQ(side(600), 74.0f);
  EXPECT_EQ(side(900), 36.0f) << "half way out: half the size";
  EXPECT_EQ(side(1150), 6.0f);
  EXPECT_EQ(side(1201), -1.0f) << "beyond its reach: not drawn";
  EXPECT_EQ(set.glow(lantern)->size(), 75u);

  // The size follows the screen's width.
  GlowSet wide(pictures, 2048, clock.now());
  EXPECT_EQ(wide.glow(Lantern(wide, Matrix::identity()))->size(), 150u);
}

TEST_F(GlowTest, TheFlareSpritesLieOnTheLineThroughTheCentreAndGoWithTheHiddenSun) {
  SeeEverything();
  LensFlare flare(pictures, 1024, clock.now(), Matrix::translation(-0.5f, 0.5f, 0.5f), {"", 168}, 600, 1000);
  for (std::uint16_t picture = 169; picture <= 175; ++picture) flare.Add({"", picture}, 40, picture == 175 ? 1.0f : 0.5f);
  clock.advance(20);
  device.draws.clear();
  flare.Draw(device, camera, clock.now(), random);
  ASSERT_EQ(device.draws.size(), 8u) << "the sun's glow and seven sprites";
  // Sun at (160, 120); the mirror point through the centre is (480, 360).
  const std::vector<ScreenVertex> last = ScreenVertices(device.draws.back());
  EXPECT_EQ((last[0].x + last[3].x) / 2, 480.0f);
  EXPECT_EQ((last[0].y + last[3].y) / 2, 360.0f);
  const std::vector<ScreenVertex> middle = ScreenVertices(device.draws[1]);
  EXPECT_EQ((middle[0].x + middle[3].x) / 2, 320.0f);
  EXPECT_EQ(device.draws.back().renderStates.at(RenderState::ZEnable), 0u);
  EXPECT_EQ(device.draws.back().renderStates.at(RenderState::DestBlend), d3d::kBlendOne);

  // The light cycle dims the sun: the sprites are as bright as its glow.
  flare.sunGlow().SetMaximumIntensity(0, 128);
  device.draws.clear();
  clock.advance(20);
  flare.Draw(device, camera, clock.now(), random);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 128u << 24);

  // Hidden behind the rig, the sun fades out within its second and takes the flare with it.
  device.backBuffer = [](std::int32_t, std::int32_t) { return 0xFF808080u; };
  for (int i = 0; i < 60; ++i) {
    clock.advance(20);
    device.draws.clear();
    flare.Draw(device, camera, clock.now(), random);
  }
  EXPECT_EQ(flare.sunGlow().glow(0)->intensity, 0);
  for (const RecordingDevice::Draw& draw : device.draws) EXPECT_EQ(draw.type, PrimitiveType::PointList);
}

TEST_F(GlowTest, ASunBehindTheCameraIsNotMirroredOntoTheScreen) {
  LensFlare flare(pictures, 1024, clock.now(), Matrix::identity(), {"", 168}, 600, 1000);
  flare.Add({"", 169}, 40, 0.5f);
  DeviceMatrix projection = DeviceMatrix::Identity();
  projection.m[2][3] = 1.0f;  // w = z: behind the camera w is negative
  projection.m[3][3] = 0.0f;
  device.SetTransform(TransformState::Projection, projection);
  flare.sunGlow().SetPosition(0, Matrix::translation(0.1f, 0.1f, -2.0f));
  clock.advance(20);
  flare.Draw(device, camera, clock.now(), random);
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(GlowTest, SetMaximumIntensityKeepsAGlowBelowItsMaximumInProportion) {
  GlowSet set(pictures, 1024, clock.now());
  set.Add({"", 168}, 600, Matrix::identity(), 1000);
  Glow& glow = *set.glow(0);
  set.SetMaximumIntensity(0, 128);
  EXPECT_EQ(glow.intensity, 128) << "at its maximum, it follows";
  EXPECT_EQ(glow.maximumIntensity, 128);
  glow.intensity = 100;
  set.SetMaximumIntensity(0, 64);
  EXPECT_EQ(glow.intensity, 50) << "64 x 100 / 128";
  EXPECT_EQ(glow.maximumIntensity, 64);
  set.SetMaximumIntensity(0, 0);
  set.SetMaximumIntensity(0, 90);
  EXPECT_EQ(glow.intensity, 90) << "from 0 of 0 it is at its maximum";
  set.SetMaximumIntensity(0, 400);
  EXPECT_EQ(glow.maximumIntensity, 255);
  set.SetMaximumIntensity(7, 10);  // no such glow
  set.SetFlicker(7, false);
  EXPECT_EQ(glow.maximumIntensity, 255);
}

}  // namespace
}  // namespace brisane
