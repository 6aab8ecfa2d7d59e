// The ship scene's meshes and camera paths checked before they go into the
// archive: no cracks, keys inside their windows.
#include <map>
#include <set>
#include <tuple>

#include "ship/hull_lines.h"
#include "ship/hull_parts.h"
#include "ship/world_parts.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets;
using namespace brisane::assets::ship;
using namespace brisane::assets::ship::hull;

// Past sixteen-bit indices, or a transform without an inverse for the normals, is refused.
TEST(ShipAuthorMesh, RefusesWhatItCannotStore) {
  MeshBuilder small, big;
  small.box({1, 1, 1}, {3, 2, 4});
  EXPECT_THROW(MeshBuilder().append(small, Scale(1, 0, 1)), std::domain_error);
  for (int i = 0; i < 65535; ++i) big.add({0, 0, 0}, {0, 0, 1}, 0, 0);
  EXPECT_THROW(big.add({0, 0, 0}, {0, 0, 1}, 0, 0), std::length_error);
}

// Each band's top row is the next one's bottom row: no cracks along the side.
TEST(ShipHullSide, BandsMeetWithoutCracks) {
  const auto bands = SideBands();
  ASSERT_EQ(bands.size(), 4u);
  for (std::size_t k = 0; k + 1 < bands.size(); ++k)
    for (float s : {0.0f, 0.35f, 1.0f}) EXPECT_NEAR(BandZ(bands[k].band, s, 1), BandZ(bands[k + 1].band, s, 0), 1e-3f);
}

using Key3 = std::tuple<float, float, float>;

Vector3 Corner(const MeshBuilder& m, std::size_t t, int k) { return m.vertices()[m.indices()[3 * t + (k % 3)]].p; }
Key3 KeyOf(Vector3 p) { return {p.x, p.y, p.z}; }

// Flat at sea level (the show adds the waves' heights); every
// inner edge shared by exactly two triangles (no cracks the waves would
// open), open edges only on the horizon; the foam made of the sea's own
// triangles and streaming aft.
TEST(ShipWorldSea, GridIsClosedAndCarriesTheFoam) {
  const MeshBuilder sea = world::SeaMesh();
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> edges;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t)
    for (int e = 0; e < 3; ++e) {
      const std::uint16_t a = sea.indices()[3 * t + e], b = sea.indices()[3 * t + (e + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
    }
  for (const auto& [edge, count] : edges) {
    ASSERT_LE(count, 2);
    for (std::uint16_t v : {edge.first, edge.second})
      ASSERT_TRUE(count == 2 || std::fabs(std::hypot(sea.vertices()[v].p.x, sea.vertices()[v].p.y) - world::kSeaRadius) < 1);
  }
  for (const Vertex& v : sea.vertices()) ASSERT_TRUE(v.p.z == 0 && v.n.z == 1);
  // The show gives both meshes the wave height of each vertex: only the very
  // triangles of the sea, corners in the same order, get the same depth.
  const MeshBuilder foam = world::FoamMesh();
  std::set<std::tuple<Key3, Key3, Key3>> seaTriangles;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t)
    seaTriangles.insert({KeyOf(Corner(sea, t, 0)), KeyOf(Corner(sea, t, 1)), KeyOf(Corner(sea, t, 2))});
  ASSERT_GT(foam.triangleCount(), 0u);
  for (std::size_t t = 0; t < foam.triangleCount(); ++t)
    ASSERT_TRUE(seaTriangles.count({KeyOf(Corner(foam, t, 0)), KeyOf(Corner(foam, t, 1)), KeyOf(Corner(foam, t, 2))})) << t;
  // The show adds a growing offset to v: v falls towards the stern so the
  // pattern moves aft.
  const auto [bowmost, sternmost] = std::minmax_element(
      foam.vertices().begin(), foam.vertices().end(), [](const Vertex& a, const Vertex& b) { return a.p.x < b.p.x; });
  EXPECT_GT(bowmost->v, sternmost->v);
}

TEST(ShipWorldSky, DomeMeetsTheSeaBelowTheHorizon) {
  float lowest = 0;
  for (const Vertex& v : world::SkyMesh().vertices()) lowest = std::min(lowest, v.p.z);
  EXPECT_LT(lowest, 0);
}

// Each path spans its camera's window in the contract, keys at most 100 ms
// apart; the far plane reaches past the dome from anywhere on it.
TEST(ShipWorldCameras, PathsKeepTheirWindowsAndSeeTheDome) {
  for (const auto& cam : world::CameraPaths()) {
    SCOPED_TRACE(cam.name);
    const auto spec = std::find_if(contract::kCameras.begin(), contract::kCameras.end(),
                                   [&](const contract::CameraSpec& c) { return c.node == cam.name; });
    ASSERT_NE(spec, contract::kCameras.end());
    ASSERT_FALSE(cam.keys.empty());
    EXPECT_EQ(std::pair(cam.keys.front().time, cam.keys.back().time), std::pair(0u, spec->toTime));
    const Matrix& p = cam.projection;
    const float q = p(2, 2), zn = -p(3, 2) / q, zf = zn * q / (q - 1);
    for (std::size_t k = 0; k < cam.keys.size(); ++k) {
      const Matrix& m = cam.keys[k].matrix;
      ASSERT_LT((Length(TranslationOf(m)) + layout::kSkyRadius) / 100, zf) << k << ": the dome clipped";
      if (k == 0) continue;
      const std::uint32_t gap = cam.keys[k].time - cam.keys[k - 1].time;
      ASSERT_TRUE(gap > 0 && gap <= 100) << gap;
    }
  }
}

}  // namespace
