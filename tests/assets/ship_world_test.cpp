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
Key3 KeyOf(Vector3 p) { return {p.x, p.y, p.z}; }

TEST(ShipWorldSea, GridIsClosedFacesUpAndIsDenseNearTheShip) {
  const MeshBuilder sea = world::SeaMesh();
  EXPECT_GE(sea.vertexCount(), 8000u);
  EXPECT_LE(sea.vertexCount(), 20000u);

  // Every triangle faces up and has an area; every edge inside the sea is
  // shared by exactly two triangles (no cracks or T-junctions that the waves
  // would open), and the only open edges are on the horizon circle.
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> edges;
  const auto& idx = sea.indices();
  for (std::size_t t = 0; t < sea.triangleCount(); ++t) {
    ASSERT_GT(StoredNormal(sea, t).z, 1e-3f) << "triangle " << t;
    for (int e = 0; e < 3; ++e) {
      std::uint16_t a = idx[3 * t + e], b = idx[3 * t + (e + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
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

  // Around the hull the cells are small enough for the 78-unit waves.
  float longestNear = 0, farthest = 0;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t)
    for (int e = 0; e < 3; ++e) {
      const Vector3 a = sea.vertices()[idx[3 * t + e]].p, b = sea.vertices()[idx[3 * t + (e + 1) % 3]].p;
      farthest = std::max(farthest, Length(a));
      if (std::fabs(a.x) < 300 && std::fabs(a.y) < 140 && std::fabs(b.x) < 300 && std::fabs(b.y) < 140)
        longestNear = std::max(longestNear, Length(b - a));
    }
  EXPECT_LE(longestNear, world::kCell * 1.5f);
  EXPECT_NEAR(farthest, world::kSeaRadius, 1.0f);
  EXPECT_LT(farthest, layout::kSkyRadius);
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
    seaTriangles.insert({KeyOf(sea.vertices()[sea.indices()[3 * t]].p), KeyOf(sea.vertices()[sea.indices()[3 * t + 1]].p),
                         KeyOf(sea.vertices()[sea.indices()[3 * t + 2]].p)});
  for (std::size_t t = 0; t < foam.triangleCount(); ++t) {
    const auto key = std::make_tuple(KeyOf(foam.vertices()[foam.indices()[3 * t]].p),
                                     KeyOf(foam.vertices()[foam.indices()[3 * t + 1]].p),
                                     KeyOf(foam.vertices()[foam.indices()[3 * t + 2]].p));
    ASSERT_TRUE(seaTriangles.count(key)) << "foam triangle " << t << " is not a sea triangle";
  }

  // Foam hugs the hull: the band reaches the waterline on both sides amidships
  // and the opacity coordinate is 0 there and grows outwards.
  int portNear = 0, starboardNear = 0;
  for (const Vertex& v : foam.vertices()) {
    const float d = world::FoamDistance(v.p.x, v.p.y);
    ASSERT_GE(v.u2, 0.0f);
    ASSERT_LE(v.u2, 1.0f);
    ASSERT_GE(v.v2, 0.0f);
    ASSERT_LE(v.v2, 1.0f);
    if (d < 0) {
      ASSERT_NEAR(v.u2, 0.02f, 1e-4f);
    }
    if (d > world::FoamWidth(v.p.x)) {
      ASSERT_NEAR(v.u2, 0.98f, 1e-4f);
    }
    if (std::fabs(world::HullDistance(v.p.x, v.p.y)) < world::kCell && std::fabs(v.p.x) < 100) ++(v.p.y < 0 ? portNear : starboardNear);
  }
  EXPECT_GT(portNear, 10);
  EXPECT_GT(starboardNear, 10);

  // The show adds a growing offset to v: v must fall towards the stern so the
  // pattern moves aft, and the place along the ship grows towards it.
  const auto [bowmost, sternmost] = std::minmax_element(
      foam.vertices().begin(), foam.vertices().end(), [](const Vertex& a, const Vertex& b) { return a.p.x < b.p.x; });
  EXPECT_GT(bowmost->v, sternmost->v);
  EXPECT_LT(TextureV(bowmost->v2), TextureV(sternmost->v2)) << "the bow at the opacity picture's top";
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
  }
  EXPECT_LT(lowest, 0.0f);
  EXPECT_NEAR(highest, layout::kSkyRadius, 1.0f);
  for (std::size_t t = 0; t < sky.triangleCount(); ++t) {
    const Vector3 centre = sky.vertices()[sky.indices()[3 * t]].p;
    ASSERT_LT(Dot(StoredNormal(sky, t), centre), 0.0f) << "triangle " << t << " faces out";
  }
  // Texture rows follow elevation both ways, and each vertex addresses the
  // picture row painted for its elevation (textures hold the bottom row first).
  for (float el : {-0.1f, 0.0f, 0.3f, 1.2f}) EXPECT_NEAR(world::SkyElevation(world::SkyV(el)), el, 1e-4f);
  EXPECT_GT(world::SkyV(0.0f), world::SkyV(0.5f)) << "the zenith at the top";
  for (const Vertex& v : sky.vertices()) {
    const float el = std::asin(std::clamp(v.p.z / layout::kSkyRadius, -1.0f, 1.0f));
    ASSERT_NEAR(world::SkyV(el), TextureV(v.v), 2e-3f) << v.p.z;
  }
}

float Brightness(const Image& img, int x, int y) {
  const float* p = img.at(x, y);
  return p[0] + p[1] + p[2];
}

TEST(ShipWorldPictures, SeaAndFoamTileAndTheSkyShowsTheSun) {
  // A seam shows as a jump across the picture's edge much larger than the
  // steps between neighbouring columns inside.
  for (const Image& img : {world::SeaPicture(), world::FoamPicture()}) {
    ASSERT_EQ(img.width, 256);
    ASSERT_EQ(img.height, 256);
    double inside = 0, across = 0, insideRows = 0, acrossRows = 0;
    for (int k = 0; k < 256; ++k) {
      inside += std::fabs(Brightness(img, 127, k) - Brightness(img, 128, k));
      across += std::fabs(Brightness(img, 255, k) - Brightness(img, 0, k));
      insideRows += std::fabs(Brightness(img, k, 127) - Brightness(img, k, 128));
      acrossRows += std::fabs(Brightness(img, k, 255) - Brightness(img, k, 0));
    }
    EXPECT_LT(across, inside * 2.5 + 256 * 6);
    EXPECT_LT(acrossRows, insideRows * 2.5 + 256 * 6);
  }

  // The sun where the light comes from: its glare outshines the same
  // height on the mirrored side (a flipped azimuth) and the opposite side.
  const Image sky = world::SkyPicture();
  ASSERT_EQ(sky.width, 512);
  ASSERT_EQ(sky.height, 256);
  auto glare = [&](float az, float el) {
    const int cx = static_cast<int>(az / (2 * kPi) * 512), cy = static_cast<int>(world::SkyV(el) * 256);
    double sum = 0;
    for (int dy = -6; dy <= 6; ++dy)
      for (int dx = -12; dx <= 12; ++dx) {
        const float* p = sky.at(((cx + dx) % 512 + 512) % 512, std::clamp(cy + dy, 0, 255));
        for (int c = 0; c < 3; ++c) sum += std::clamp(p[c], 0.0f, 255.0f);
      }
    return sum / (13 * 25 * 3);
  };
  const Vector3 sun = layout::kSunDirection;
  float az = std::atan2(sun.y, sun.x);
  if (az < 0) az += 2 * kPi;
  const float el = std::asin(sun.z);
  EXPECT_GT(glare(az, el), 215);
  EXPECT_GT(glare(az, el), glare(2 * kPi - az, el) + 15);
  EXPECT_GT(glare(az, el), glare(std::fmod(az + kPi, 2 * kPi), el) + 15);
}

TEST(ShipWorldCameras, PathsKeepTheirWindowsStayOrthonormalAndClearOfTheShip) {
  const auto cams = world::CameraPaths();
  std::set<std::string> sunShots;

  for (const auto& cam : cams) {
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

    // The projection: 4:3, the near plane of the scene files, a far plane
    // beyond the sky dome from wherever the camera goes.
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
      const bool alongShip = eye.x > -420 && eye.x < 300 && eye.z < 360;
      ASSERT_FALSE(alongShip && std::fabs(eye.y) < 130) << "key " << k << " inside the ship at " << eye.x << ","
                                                         << eye.y << "," << eye.z;
      if (k == 0) continue;
      const std::uint32_t gap = cam.keys[k].time - cam.keys[k - 1].time;
      ASSERT_GT(gap, 0u);
      ASSERT_LE(gap, 100u);
      // Halfway between keys the player's element-wise blend must still be
      // close to a rotation.
      const Matrix mid = Blend(cam.keys[k - 1].matrix, m, 0.5f);
      const Vector3 r0{mid(0, 0), mid(0, 1), mid(0, 2)}, r1{mid(1, 0), mid(1, 1), mid(1, 2)}, r2{mid(2, 0), mid(2, 1), mid(2, 2)};
      for (Vector3 r : {r0, r1, r2}) ASSERT_NEAR(Length(r), 1.0f, 0.01f) << "key " << k;
      ASSERT_NEAR(Dot(r0, r1), 0.0f, 0.01f);
      ASSERT_NEAR(Dot(r1, r2), 0.0f, 0.01f);
      ASSERT_NEAR(Dot(r0, r2), 0.0f, 0.01f);
      ASSERT_GT(r1.z, 0.3f) << "key " << k << ": the camera rolls over";
    }
    // The sun and its flare come into the picture somewhere along the way.
    for (const TransformKey& key : cam.keys) {
      const Matrix& m = key.matrix;
      const Vector3 sun = layout::kSunDirection;
      const float x = Dot(sun, {m(0, 0), m(0, 1), m(0, 2)}), y = Dot(sun, {m(1, 0), m(1, 1), m(1, 2)});
      const float z = -Dot(sun, {m(2, 0), m(2, 1), m(2, 2)});
      if (z > 0 && std::fabs(x * p(0, 0) / z) < 0.9f && std::fabs(y * p(1, 1) / z) < 0.9f) sunShots.insert(cam.name);
    }
    // Every camera keeps the ship in view: the ship's middle lies inside its
    // field at the first and the last key.
    for (const TransformKey* key : {&cam.keys.front(), &cam.keys.back()}) {
      const Vector3 toShip = Vector3{0, 0, 100} - TranslationOf(key->matrix);
      const Vector3 forward = -Vector3{key->matrix(2, 0), key->matrix(2, 1), key->matrix(2, 2)};
      EXPECT_GT(Dot(Normalize(toShip), forward), std::cos(0.45f)) << "time " << key->time;
    }
  }
  EXPECT_FALSE(sunShots.empty()) << "no camera ever sees the sun";
}

}  // namespace
}  // namespace brisane::assets::ship
