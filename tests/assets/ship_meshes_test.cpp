// The ship scene's meshes and camera paths checked before they go into the
// archive: fronts outside, no cracks, keys inside their windows.
#include <map>
#include <set>
#include <tuple>

#include "ship/deck_shapes.h"
#include "ship/hull_lines.h"
#include "ship/hull_paint.h"
#include "ship/hull_parts.h"
#include "ship/world_parts.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets;
using namespace brisane::assets::ship;
using fixtures::ExpectFrontsOut;
using fixtures::StoredNormal;
using namespace brisane::assets::ship::hull;

auto AwayFrom(Vector3 centre) { return [centre](Vector3 p) { return p - centre; }; }

TEST(ShipAuthorMesh, PrimitivesAndMirroredCopiesFaceOutwards) {
  MeshBuilder box, cyl, ball, rope;
  box.box({-1, -2, -3}, {4, 5, 6});
  cyl.cylinder({0, 0, 0}, {3, 1, 8}, 2, 1, 7, true);
  ball.sphere({5, 5, 5}, 3, 12, 8);
  rope.tube({{0, 0, 0}, {0, 0, 10}, {0, 0, 15}}, {0.5f, 0.5f, 0.3f}, 5);
  ExpectFrontsOut(box, AwayFrom({1.5f, 1.5f, 1.5f}));
  ExpectFrontsOut(cyl, AwayFrom({1.5f, 0.5f, 4}));
  ExpectFrontsOut(ball, AwayFrom({5, 5, 5}));
  ExpectFrontsOut(rope, [](Vector3 p) { return Vector3{p.x, p.y, 0}; });
  // A box mirrored in x, stretched in y and moved keeps its fronts outside.
  MeshBuilder small, mirrored, again;
  small.box({1, 1, 1}, {3, 2, 4});
  mirrored.append(small, Scale(-1, 2, 1) * Translate({10, 0, 0}));
  ExpectFrontsOut(mirrored, AwayFrom({10 - 2, 3, 2.5f}));
  again.append(mirrored);
  again.computeNormals();
  ExpectFrontsOut(again, AwayFrom({10 - 2, 3, 2.5f}));
  // Back faces: a second copy facing inwards.
  MeshBuilder twoSided = small;
  twoSided.addBackFaces();
  const std::size_t first = small.triangleCount();
  EXPECT_EQ(twoSided.triangleCount(), 2 * first);
  EXPECT_LT(Dot(StoredNormal(twoSided, first), twoSided.vertices()[twoSided.indices()[3 * first]].p - Vector3{2, 1.5f, 2.5f}), 0);
  EXPECT_THROW(MeshBuilder().append(small, Scale(1, 0, 1)), std::domain_error) << "no inverse for the normals";
  MeshBuilder big;
  for (int i = 0; i < 65535; ++i) big.add({0, 0, 0}, {0, 0, 1}, 0, 0);
  EXPECT_THROW(big.add({0, 0, 0}, {0, 0, 1}, 0, 0), std::length_error) << "past sixteen-bit indices";
}

TEST(ShipDeckShapes, TurnedProfilesAndFlippedSurfacesShowTheirOutsides) {
  // A cask on its side, flat heads at both ends.
  MeshBuilder m;
  deck::Lathe(m, {1, 2, 3}, {1, 0, 0}, {{0, 0}, {0, 2}, {0, 2}, {3, 2.4f}, {6, 2}, {6, 2}, {6, 0}}, 10);
  ExpectFrontsOut(m, AwayFrom({4, 2, 3}));
  // A cylinder lofted either way round is turned to face away from its axis.
  for (float turn : {1.0f, -1.0f}) {
    MeshBuilder s;
    deck::SurfaceAway(
        s, [&](float u, float t) { return Vector3{t * 5, std::cos(turn * 2 * kPi * u), std::sin(turn * 2 * kPi * u)}; },
        12, 3, {2.5f, 0, 0});
    ExpectFrontsOut(s, [](Vector3 p) { return Vector3{0, p.y, p.z}; });
  }
}

TEST(ShipHullSide, BandsFaceOutwardsAndMeetWithoutCracks) {
  const auto bands = SideBands();
  ASSERT_EQ(bands.size(), 4u);
  for (const SideBand& b : bands) {
    const MeshBuilder m = PortBand(b);
    ASSERT_GT(m.triangleCount(), 300u) << b.part;
    for (std::size_t k = 0; k < m.triangleCount(); ++k) {
      const Vector3 n = StoredNormal(m, k);
      if (Length(n) < 1e-3f) continue;  // where the side closes on the stem
      // The port side shows its outside: the renderer culls the other way.
      EXPECT_LT(Normalize(n).y, 0.05f) << b.part << " triangle " << k;
      EXPECT_GT(Dot(n, m.vertices()[m.indices()[3 * k]].n), 0) << b.part << " triangle " << k;
    }
  }
  // Each band's top row is the next one's bottom row.
  for (std::size_t k = 0; k + 1 < bands.size(); ++k)
    for (float s : {0.0f, 0.35f, 1.0f}) EXPECT_NEAR(BandZ(bands[k].band, s, 1), BandZ(bands[k + 1].band, s, 0), 1e-3f);
}

using Key3 = std::tuple<float, float, float>;

Vector3 Corner(const MeshBuilder& m, std::size_t t, int k) { return m.vertices()[m.indices()[3 * t + (k % 3)]].p; }
Key3 KeyOf(Vector3 p) { return {p.x, p.y, p.z}; }

// Flat at sea level (the show adds the waves' heights) and facing up; every
// inner edge shared by exactly two triangles (no cracks the waves would
// open), open edges only on the horizon; the foam made of the sea's own
// triangles and streaming aft.
TEST(ShipWorldSea, GridIsClosedFacesUpAndCarriesTheFoam) {
  const MeshBuilder sea = world::SeaMesh();
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> edges;
  for (std::size_t t = 0; t < sea.triangleCount(); ++t) {
    ASSERT_GT(StoredNormal(sea, t).z, 1e-3f) << t;
    for (int e = 0; e < 3; ++e) {
      const std::uint16_t a = sea.indices()[3 * t + e], b = sea.indices()[3 * t + (e + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
    }
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

TEST(ShipWorldSky, DomeFacesInwardsAndMeetsTheSeaBelowTheHorizon) {
  const MeshBuilder sky = world::SkyMesh();
  float lowest = 0;
  for (const Vertex& v : sky.vertices()) lowest = std::min(lowest, v.p.z);
  EXPECT_LT(lowest, 0);
  for (std::size_t t = 0; t < sky.triangleCount(); ++t) ASSERT_LT(Dot(StoredNormal(sky, t), Corner(sky, t, 0)), 0.0f) << t;
}

Vector3 Row(const Matrix& m, int r) { return {m(r, 0), m(r, 1), m(r, 2)}; }

// Each path spans its camera's window in the contract; the far plane reaches
// past the dome from anywhere on it; halfway between keys the player's
// element-wise blend is still close to a rotation.
TEST(ShipWorldCameras, PathsKeepTheirWindowsSeeTheDomeAndBlendAsRotations) {
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
      const Matrix mid = Blend(cam.keys[k - 1].matrix, m, 0.5f);
      for (int r = 0; r < 3; ++r)
        ASSERT_TRUE(std::fabs(Length(Row(mid, r)) - 1) < 0.01f && std::fabs(Dot(Row(mid, r), Row(mid, (r + 1) % 3))) < 0.01f) << k;
    }
  }
}

float Lum(const Image& img, int x, int y) { return (img.at(x, y)[0] + img.at(x, y)[1] + img.at(x, y)[2]) / 3; }

// The show repeats the sea and foam pictures: a seam is a jump across the
// edge much larger than the steps inside.
TEST(ShipPictures, SeaAndFoamTile) {
  for (const Image& img : {world::SeaPicture(), world::FoamPicture()}) {
    ASSERT_EQ(std::pair(img.width, img.height), std::pair(256, 256));
    double inside = 0, across = 0, insideRows = 0, acrossRows = 0;
    for (int k = 0; k < 256; ++k) {
      inside += std::fabs(Lum(img, 127, k) - Lum(img, 128, k));
      across += std::fabs(Lum(img, 255, k) - Lum(img, 0, k));
      insideRows += std::fabs(Lum(img, k, 127) - Lum(img, k, 128));
      acrossRows += std::fabs(Lum(img, k, 255) - Lum(img, k, 0));
    }
    EXPECT_LT(across, inside * 2.5 + 256 * 2);
    EXPECT_LT(acrossRows, insideRows * 2.5 + 256 * 2);
  }
}

// The show loops the hull's lightmap frames: the last meets the first.
TEST(ShipHullPaint, WaveLightLoops) {
  const Vector3 n{0, -1, 0};
  float change = 0;
  for (float x = -200; x < 200; x += 7) {
    const Vector3 p{x, -60, 3};
    EXPECT_NEAR(WaveLight(p, n, 0), WaveLight(p, n, kWaveFrames), 1e-4f) << x;
    change += std::fabs(WaveLight(p, n, 0) - WaveLight(p, n, kWaveFrames / 2));
  }
  EXPECT_GT(change / 57, 0.02f);
}

}  // namespace
