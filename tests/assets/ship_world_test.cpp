// The sea, foam, sky and camera paths of the ship scene, checked as meshes
// and keys before they go into the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "ship/layout.h"
#include "ship/world_parts.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

using fixtures::StoredNormal;
using Key3 = std::tuple<float, float, float>;

Vector3 Corner(const MeshBuilder& m, std::size_t t, int k) { return m.vertices()[m.indices()[3 * t + (k % 3)]].p; }
Key3 KeyOf(Vector3 p) { return {p.x, p.y, p.z}; }

TEST(ShipWorldSea, GridIsClosedFacesUpAndIsDenseNearTheShip) {
  const MeshBuilder sea = world::SeaMesh();
  EXPECT_GE(sea.vertexCount(), 8000u);
  EXPECT_LE(sea.vertexCount(), 20000u);
  // Every triangle faces up; every edge inside the sea is shared by exactly
  // two triangles (no cracks or T-junctions that the waves would open), and
  // the only open edges are on the horizon circle. Around the hull the cells
  // are small enough for the 78-unit waves.
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> edges;
  float longestNear = 0;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t) {
    ASSERT_GT(StoredNormal(sea, t).z, 1e-3f) << "triangle " << t;
    for (int e = 0; e < 3; ++e) {
      const std::uint16_t a = sea.indices()[3 * t + e], b = sea.indices()[3 * t + (e + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
      const Vector3 p = Corner(sea, t, e), q = Corner(sea, t, e + 1);
      if (std::max(std::fabs(p.x), std::fabs(q.x)) < 300 && std::max(std::fabs(p.y), std::fabs(q.y)) < 140)
        longestNear = std::max(longestNear, Length(q - p));
    }
  }
  int open = 0;
  for (const auto& [edge, count] : edges) {
    ASSERT_LE(count, 2);
    if (count == 2) continue;
    ++open;
    for (std::uint16_t v : {edge.first, edge.second}) {
      const Vector3 p = sea.vertices()[v].p;
      ASSERT_NEAR(std::hypot(p.x, p.y), world::kSeaRadius, 1.0f) << "open edge inside the sea at " << p.x << "," << p.y;
    }
  }
  EXPECT_GT(open, 0);
  EXPECT_LE(longestNear, world::kCell * 1.5f);
  EXPECT_LT(world::kSeaRadius, layout::kSkyRadius);
  for (const Vertex& v : sea.vertices()) {
    ASSERT_EQ(v.p.z, 0.0f);
    ASSERT_EQ(v.n.z, 1.0f);
  }
}

TEST(ShipWorldSea, FoamLiesOnTheSeasOwnTrianglesAndStreamsAft) {
  const MeshBuilder sea = world::SeaMesh(), foam = world::FoamMesh();
  EXPECT_GE(foam.vertexCount(), 800u);
  EXPECT_LE(foam.vertexCount(), 6000u);
  // The show gives both meshes the wave height of each vertex: only the
  // very triangles of the sea, corners in the same order, get the same depth.
  std::set<std::tuple<Key3, Key3, Key3>> seaTriangles;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t)
    seaTriangles.insert({KeyOf(Corner(sea, t, 0)), KeyOf(Corner(sea, t, 1)), KeyOf(Corner(sea, t, 2))});
  for (std::size_t t = 0; t < foam.triangleCount(); ++t)
    ASSERT_TRUE(seaTriangles.count({KeyOf(Corner(foam, t, 0)), KeyOf(Corner(foam, t, 1)), KeyOf(Corner(foam, t, 2))}))
        << "foam triangle " << t << " is not a sea triangle";
  // Foam hugs the hull on both sides amidships, its opacity coordinate inside the picture.
  int near[2] = {0, 0};
  for (const Vertex& v : foam.vertices()) {
    ASSERT_TRUE(v.u2 >= 0 && v.u2 <= 1 && v.v2 >= 0 && v.v2 <= 1) << v.u2 << "," << v.v2;
    if (std::fabs(world::HullDistance(v.p.x, v.p.y)) < world::kCell && std::fabs(v.p.x) < 100) ++near[v.p.y < 0];
  }
  EXPECT_GT(near[0], 10);
  EXPECT_GT(near[1], 10);
  // The show adds a growing offset to v: v must fall towards the stern so the
  // pattern moves aft; the bow is at the top of the opacity picture.
  const auto [bowmost, sternmost] = std::minmax_element(
      foam.vertices().begin(), foam.vertices().end(), [](const Vertex& a, const Vertex& b) { return a.p.x < b.p.x; });
  EXPECT_GT(bowmost->v, sternmost->v);
  EXPECT_LT(TextureV(bowmost->v2), TextureV(sternmost->v2));
  EXPECT_GT(sternmost->p.x, layout::SternX(0) + 150) << "a wake astern";
  EXPECT_LT(bowmost->p.x, layout::StemX(0)) << "a bow wave ahead of the stem";
}

TEST(ShipWorldSky, DomeFacesInwardsAndMeetsTheSeaBelowTheHorizon) {
  const MeshBuilder sky = world::SkyMesh();
  float lowest = 0, highest = 0;
  for (const Vertex& v : sky.vertices()) {
    ASSERT_NEAR(Length(v.p), layout::kSkyRadius, 1.0f);
    lowest = std::min(lowest, v.p.z);
    highest = std::max(highest, v.p.z);
    // Each vertex addresses the picture row painted for its elevation
    // (textures hold the bottom row first), the zenith at the top.
    const float el = std::asin(std::clamp(v.p.z / layout::kSkyRadius, -1.0f, 1.0f));
    ASSERT_NEAR(world::SkyV(el), TextureV(v.v), 2e-3f) << v.p.z;
  }
  EXPECT_LT(lowest, 0.0f);
  EXPECT_NEAR(highest, layout::kSkyRadius, 1.0f);
  for (std::size_t t = 0; t < sky.triangleCount(); ++t)
    ASSERT_LT(Dot(StoredNormal(sky, t), Corner(sky, t, 0)), 0.0f) << "triangle " << t << " faces out";
  for (float el : {-0.1f, 0.0f, 0.3f, 1.2f}) EXPECT_NEAR(world::SkyElevation(world::SkyV(el)), el, 1e-4f);
  EXPECT_GT(world::SkyV(0.0f), world::SkyV(0.5f));
}

TEST(ShipWorldPictures, SeaAndFoamTileAndTheSkyShowsTheSun) {
  // A seam shows as a jump across the picture's edge much larger than the
  // steps between neighbouring columns (rows) inside.
  for (const Image& img : {world::SeaPicture(), world::FoamPicture()}) {
    ASSERT_EQ(img.width, 256);
    ASSERT_EQ(img.height, 256);
    auto step = [&](int x0, int y0, int x1, int y1) {
      const float *a = img.at(x0, y0), *b = img.at(x1, y1);
      return std::fabs(a[0] + a[1] + a[2] - b[0] - b[1] - b[2]);
    };
    double inside = 0, across = 0, insideRows = 0, acrossRows = 0;
    for (int k = 0; k < 256; ++k) {
      inside += step(127, k, 128, k);
      across += step(255, k, 0, k);
      insideRows += step(k, 127, k, 128);
      acrossRows += step(k, 255, k, 0);
    }
    EXPECT_LT(across, inside * 2.5 + 256 * 6);
    EXPECT_LT(acrossRows, insideRows * 2.5 + 256 * 6);
  }
  // The sun's glare outshines the same height at the mirrored azimuth and
  // at the opposite one.
  const Image sky = world::SkyPicture();
  ASSERT_EQ(sky.width, 512);
  ASSERT_EQ(sky.height, 256);
  auto glare = [&](float az, float el) {
    const int cx = static_cast<int>(az / (2 * kPi) * 512), cy = static_cast<int>(world::SkyV(el) * 256);
    double sum = 0;
    for (int dy = -6; dy <= 6; ++dy)
      for (int dx = -12; dx <= 12; ++dx)
        for (int c = 0; c < 3; ++c)
          sum += std::clamp(sky.at(((cx + dx) % 512 + 512) % 512, std::clamp(cy + dy, 0, 255))[c], 0.0f, 255.0f);
    return sum / (13 * 25 * 3);
  };
  const Vector3 sun = layout::kSunDirection;
  const float az = std::fmod(std::atan2(sun.y, sun.x) + 2 * kPi, 2 * kPi), el = std::asin(sun.z);
  EXPECT_GT(glare(az, el), 215);
  EXPECT_GT(glare(az, el), glare(2 * kPi - az, el) + 15);
  EXPECT_GT(glare(az, el), glare(std::fmod(az + kPi, 2 * kPi), el) + 15);
}

Vector3 Row(const Matrix& m, int r) { return {m(r, 0), m(r, 1), m(r, 2)}; }

TEST(ShipWorldCameras, PathsKeepTheirWindowsStayOrthonormalAndClearOfTheShip) {
  bool sunShot = false;
  for (const auto& cam : world::CameraPaths()) {
    SCOPED_TRACE(cam.name);
    const auto spec = std::find_if(contract::kCameras.begin(), contract::kCameras.end(),
                                   [&](const contract::CameraSpec& c) { return c.node == cam.name; });
    ASSERT_NE(spec, contract::kCameras.end());
    ASSERT_FALSE(cam.keys.empty());
    EXPECT_EQ(cam.keys.front().time, 0u);
    EXPECT_EQ(cam.keys.back().time, spec->toTime) << "the keys span the window the show plays";
    if (cam.name == "Camera01" || cam.name == "Camera02") {
      EXPECT_EQ(cam.keys.front().matrix, cam.keys.back().matrix) << "a seamless loop";
    }
    // 4:3, the near plane of the scene files, a far plane beyond the dome
    // from wherever the camera goes.
    const Matrix& p = cam.projection;
    EXPECT_EQ(p(2, 3), 1.0f);
    const float q = p(2, 2), zn = -p(3, 2) / q, zf = zn * q / (q - 1);
    EXPECT_NEAR(zn, 0.1f, 1e-5f);
    EXPECT_NEAR(p(1, 1) / p(0, 0), 4.0f / 3.0f, 1e-4f);
    for (std::size_t k = 0; k < cam.keys.size(); ++k) {
      const Matrix& m = cam.keys[k].matrix;
      const Vector3 eye = TranslationOf(m);
      ASSERT_GT(eye.z, 8.0f) << "key " << k << " under the waves";
      ASSERT_LT((Length(eye) + layout::kSkyRadius) / 100, zf) << "key " << k << ": the far side of the dome is clipped";
      // Outside the hull and the rigging (masts, yards, shrouds, bowsprit).
      ASSERT_FALSE(eye.x > -420 && eye.x < 300 && eye.z < 360 && std::fabs(eye.y) < 130) << "key " << k << " inside the ship";
      // The sun and its flare come into the picture somewhere along the way.
      const Vector3 sun = layout::kSunDirection;
      const float x = Dot(sun, Row(m, 0)), y = Dot(sun, Row(m, 1)), z = -Dot(sun, Row(m, 2));
      sunShot |= z > 0 && std::fabs(x * p(0, 0) / z) < 0.9f && std::fabs(y * p(1, 1) / z) < 0.9f;
      if (k == 0) continue;
      const std::uint32_t gap = cam.keys[k].time - cam.keys[k - 1].time;
      ASSERT_GT(gap, 0u);
      ASSERT_LE(gap, 100u);
      // Halfway between keys the player's element-wise blend is still close to a rotation.
      const Matrix mid = Blend(cam.keys[k - 1].matrix, m, 0.5f);
      for (int r = 0; r < 3; ++r) {
        ASSERT_NEAR(Length(Row(mid, r)), 1.0f, 0.01f) << "key " << k;
        ASSERT_NEAR(Dot(Row(mid, r), Row(mid, (r + 1) % 3)), 0.0f, 0.01f) << "key " << k;
      }
      ASSERT_GT(mid(1, 2), 0.3f) << "key " << k << ": the camera rolls over";
    }
    // The ship's middle lies inside the field at the first and the last key.
    for (const TransformKey* key : {&cam.keys.front(), &cam.keys.back()})
      EXPECT_GT(Dot(Normalize(Vector3{0, 0, 100} - TranslationOf(key->matrix)), -Row(key->matrix, 2)), std::cos(0.45f)) << key->time;
  }
  EXPECT_TRUE(sunShot) << "no camera ever sees the sun";
}

}  // namespace
}  // namespace brisane::assets::ship
