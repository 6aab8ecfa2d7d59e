// The ship scene's meshes and camera paths checked before they go into the
// archive: fronts outside, no cracks, keys inside their windows.
#include <map>
#include <set>
#include <tuple>

#include "ship/deck_parts.h"
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

// Flat and facing up; every inner edge shared by exactly two triangles (no
// cracks the waves would open), open edges only on the horizon; the foam
// made of the sea's own triangles and streaming aft.
TEST(ShipWorldSea, GridIsClosedFacesUpIsDenseNearTheShipAndCarriesTheFoam) {
  const MeshBuilder sea = world::SeaMesh();
  std::map<std::pair<std::uint16_t, std::uint16_t>, int> edges;
  float longestNear = 0;  // round the hull the cells must be small enough for the waves
  for (std::size_t t = 0; t < sea.triangleCount(); ++t) {
    ASSERT_GT(StoredNormal(sea, t).z, 1e-3f) << t;
    for (int e = 0; e < 3; ++e) {
      const std::uint16_t a = sea.indices()[3 * t + e], b = sea.indices()[3 * t + (e + 1) % 3];
      ++edges[{std::min(a, b), std::max(a, b)}];
      const Vector3 p = Corner(sea, t, e), q = Corner(sea, t, e + 1);
      if (std::max(std::fabs(p.x), std::fabs(q.x)) < 300 && std::max(std::fabs(p.y), std::fabs(q.y)) < 140)
        longestNear = std::max(longestNear, Length(q - p));
    }
  }
  EXPECT_LE(longestNear, world::kCell * 1.5f);
  EXPECT_TRUE(sea.vertexCount() >= 8000 && sea.vertexCount() <= 20000) << sea.vertexCount() << " vertices: too coarse or too dear";
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
  EXPECT_TRUE(foam.vertexCount() >= 800 && foam.vertexCount() <= 6000) << foam.vertexCount();
  for (std::size_t t = 0; t < foam.triangleCount(); ++t)
    ASSERT_TRUE(seaTriangles.count({KeyOf(Corner(foam, t, 0)), KeyOf(Corner(foam, t, 1)), KeyOf(Corner(foam, t, 2))})) << t;
  int hugging[2] = {0, 0};  // at the hull amidships, either side
  for (const Vertex& v : foam.vertices()) {
    ASSERT_TRUE(v.u2 >= 0 && v.u2 <= 1 && v.v2 >= 0 && v.v2 <= 1) << v.u2 << "," << v.v2;
    if (std::fabs(world::HullDistance(v.p.x, v.p.y)) < world::kCell && std::fabs(v.p.x) < 100) ++hugging[v.p.y < 0];
  }
  EXPECT_GT(std::min(hugging[0], hugging[1]), 10);
  // The show adds a growing offset to v: v falls towards the stern so the
  // pattern moves aft; the bow at the top of the opacity picture.
  const auto [bowmost, sternmost] = std::minmax_element(
      foam.vertices().begin(), foam.vertices().end(), [](const Vertex& a, const Vertex& b) { return a.p.x < b.p.x; });
  EXPECT_GT(bowmost->v, sternmost->v);
  EXPECT_LT(TextureV(bowmost->v2), TextureV(sternmost->v2));
  EXPECT_GT(sternmost->p.x, layout::SternX(0) + 150) << "a wake astern";
  EXPECT_LT(bowmost->p.x, layout::StemX(0)) << "a bow wave";
}

TEST(ShipWorldSky, DomeFacesInwardsAndMeetsTheSeaBelowTheHorizon) {
  const MeshBuilder sky = world::SkyMesh();
  float lowest = 0, highest = 0;
  for (const Vertex& v : sky.vertices()) {
    ASSERT_NEAR(Length(v.p), layout::kSkyRadius, 1.0f);
    lowest = std::min(lowest, v.p.z);
    highest = std::max(highest, v.p.z);
    // The picture row painted for its elevation (textures hold the bottom row first).
    ASSERT_NEAR(world::SkyV(std::asin(std::clamp(v.p.z / layout::kSkyRadius, -1.0f, 1.0f))), TextureV(v.v), 2e-3f);
  }
  EXPECT_TRUE(lowest < 0 && std::fabs(highest - layout::kSkyRadius) < 1) << lowest << ".." << highest;
  for (std::size_t t = 0; t < sky.triangleCount(); ++t) ASSERT_LT(Dot(StoredNormal(sky, t), Corner(sky, t, 0)), 0.0f) << t;
  EXPECT_GT(world::SkyV(0.0f), world::SkyV(0.5f)) << "the zenith at the top";
}

Vector3 Row(const Matrix& m, int r) { return {m(r, 0), m(r, 1), m(r, 2)}; }

TEST(ShipWorldCameras, PathsKeepTheirWindowsStayOrthonormalClearOfTheShipAndFrameIt) {
  bool sunShot = false;
  for (const auto& cam : world::CameraPaths()) {
    SCOPED_TRACE(cam.name);
    const auto spec = std::find_if(contract::kCameras.begin(), contract::kCameras.end(),
                                   [&](const contract::CameraSpec& c) { return c.node == cam.name; });
    ASSERT_NE(spec, contract::kCameras.end());
    ASSERT_FALSE(cam.keys.empty());
    EXPECT_EQ(std::pair(cam.keys.front().time, cam.keys.back().time), std::pair(0u, spec->toTime));
    EXPECT_TRUE((cam.name != "Camera01" && cam.name != "Camera02") || cam.keys.front().matrix == cam.keys.back().matrix);
    // 4:3, the scene files' near plane, a far plane beyond the dome from anywhere the camera goes.
    const Matrix& p = cam.projection;
    const float q = p(2, 2), zn = -p(3, 2) / q, zf = zn * q / (q - 1);
    EXPECT_TRUE(p(2, 3) == 1 && std::fabs(zn - 0.1f) < 1e-5f && std::fabs(p(1, 1) / p(0, 0) - 4.0f / 3) < 1e-4f);
    for (std::size_t k = 0; k < cam.keys.size(); ++k) {
      const Matrix& m = cam.keys[k].matrix;
      const Vector3 eye = TranslationOf(m);
      ASSERT_GT(eye.z, 8.0f) << k << " under the waves";
      ASSERT_LT((Length(eye) + layout::kSkyRadius) / 100, zf) << k << ": the dome clipped";
      ASSERT_FALSE(eye.x > -420 && eye.x < 300 && eye.z < 360 && std::fabs(eye.y) < 130) << k << " inside the ship";
      if (k == 0) continue;
      const std::uint32_t gap = cam.keys[k].time - cam.keys[k - 1].time;
      ASSERT_TRUE(gap > 0 && gap <= 100) << gap;
      // Halfway between keys the player's element-wise blend is still close to a rotation.
      const Matrix mid = Blend(cam.keys[k - 1].matrix, m, 0.5f);
      for (int r = 0; r < 3; ++r)
        ASSERT_TRUE(std::fabs(Length(Row(mid, r)) - 1) < 0.01f && std::fabs(Dot(Row(mid, r), Row(mid, (r + 1) % 3))) < 0.01f) << k;
      ASSERT_GT(mid(1, 2), 0.3f) << k << " rolls over";
    }
    for (const TransformKey& key : cam.keys) {
      const Vector3 sun = layout::kSunDirection;
      const float x = Dot(sun, Row(key.matrix, 0)), y = Dot(sun, Row(key.matrix, 1)), z = -Dot(sun, Row(key.matrix, 2));
      sunShot = sunShot || (z > 0 && std::fabs(x * p(0, 0) / z) < 0.9f && std::fabs(y * p(1, 1) / z) < 0.9f);
    }
    for (const TransformKey* key : {&cam.keys.front(), &cam.keys.back()})
      EXPECT_GT(Dot(Normalize(Vector3{0, 0, 100} - TranslationOf(key->matrix)), -Row(key->matrix, 2)), std::cos(0.45f))
          << key->time << ": the ship's middle out of the field";
  }
  EXPECT_TRUE(sunShot) << "no camera ever sees the sun or its flare";
}

float Lum(const Image& img, int x, int y) { return (img.at(x, y)[0] + img.at(x, y)[1] + img.at(x, y)[2]) / 3; }

// A seam is a jump across the edge much larger than the steps inside.
TEST(ShipPictures, SeaAndFoamTileTheSkyShowsTheSunFireCellsFadeAndPortsArePainted) {
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
  // Seen from above, brightness changes as wide as a quarter tile show each
  // repeat as a patch: the quarters of the sea's tile keep close to one level.
  {
    const Image sea = world::SeaPicture();
    double low = 255, high = 0;
    for (int by = 0; by < 256; by += 64)
      for (int bx = 0; bx < 256; bx += 64) {
        double sum = 0;
        for (int y = by; y < by + 64; ++y)
          for (int x = bx; x < bx + 64; ++x) sum += Lum(sea, x, y);
        low = std::min(low, sum / 4096), high = std::max(high, sum / 4096);
      }
    EXPECT_LT(high - low, 6.0) << low << ".." << high;  // 13.4 before the sea was flattened, 4.5 after
  }
  // The sun's glare outshines the mirrored and the opposite azimuth.
  const Image sky = world::SkyPicture();
  ASSERT_EQ(std::pair(sky.width, sky.height), std::pair(512, 256));
  auto glare = [&](float az, float el) {
    const int cx = static_cast<int>(az / (2 * kPi) * 512), cy = static_cast<int>(world::SkyV(el) * 256);
    double sum = 0;
    for (int dy = -6; dy <= 6; ++dy)
      for (int dx = -12; dx <= 12; ++dx)
        for (int c = 0; c < 3; ++c) sum += std::clamp(sky.at((cx + dx + 512) % 512, std::clamp(cy + dy, 0, 255))[c], 0.0f, 255.0f);
    return sum / (13 * 25 * 3);
  };
  const Vector3 sun = layout::kSunDirection;
  const float az = std::fmod(std::atan2(sun.y, sun.x) + 2 * kPi, 2 * kPi), el = std::asin(sun.z);
  EXPECT_GT(glare(az, el), 215);
  EXPECT_GT(glare(az, el), std::max(glare(2 * kPi - az, el), glare(std::fmod(az + kPi, 2 * kPi), el)) + 15);
  // The fire's alpha is its brightness: cells dark where the quads cut them,
  // and the atlas reads the same upside down.
  const Image fire = deck::FirePicture();
  ASSERT_EQ(std::pair(fire.width, fire.height), std::pair(deck::kFireAtlas, deck::kFireAtlas));
  for (int cx = 64; cx < 512; cx += 128) {
    const int r = deck::kBurstRadius, row = deck::kBurstRow;
    float edge = 0, inner = 0;
    for (int y = deck::kTongueTip; y <= deck::kTongueBase; ++y) {
      edge = std::max({edge, Lum(fire, cx - 62, y), Lum(fire, cx + 61, y)});
      inner = std::max(inner, Lum(fire, cx, y));
    }
    for (int x = cx - 62; x < cx + 62; ++x) edge = std::max(edge, Lum(fire, x, deck::kTongueTip));
    EXPECT_TRUE(edge < 40 && inner > 120) << cx << ": " << edge << ", " << inner;
    EXPECT_LT(std::max({Lum(fire, cx - r, row), Lum(fire, cx + r, row), Lum(fire, cx, row - r), Lum(fire, cx, row + r)}), 10.0f);
    EXPECT_GT(Lum(fire, cx, row), 100.0f) << cx;
  }
  EXPECT_GT(Lum(fire, 64, deck::kTongueBase - 8), 200.0f) << "a white-hot root";
  for (int y = 0; y < fire.height; y += 7)
    for (int x = 0; x < fire.width; x += 5) ASSERT_EQ(Lum(fire, x, y), Lum(fire, x, fire.height - 1 - y)) << x << "," << y;
  // Port openings painted on the gun axis at the stations and nowhere between.
  const Image high = hull::PaintUpperWorks();
  auto side = [&](float x) {
    return Lum(high, std::clamp(static_cast<int>(SideU(x) * high.width), 0, high.width - 1),
               std::clamp(static_cast<int>(SpanV(layout::kGunAxisZ, kHighSpan) * high.height), 0, high.height - 1));
  };
  for (int gun = 1; gun <= 4; ++gun) {
    const float x = layout::GunX(gun), hole = side(x), half = layout::kPortSize / 2;
    EXPECT_LT(hole, 30) << gun;
    EXPECT_GT(std::min(side(x - half - 3), side(x + half + 3)), hole + 12) << gun << ": the painted side round the lid";
    EXPECT_TRUE(gun == 4 || side(0.5f * (x + layout::GunX(gun + 1))) > 35) << gun << ": an opening between stations";
  }
}

TEST(ShipHullPaint, WaveLightLoopsDancesNearTheWaterAndFadesAboveIt) {
  const Vector3 n{0, -1, 0};
  float change = 0;
  for (float x = -200; x < 200; x += 7) {
    const Vector3 p{x, -60, 3};
    EXPECT_NEAR(WaveLight(p, n, 0), WaveLight(p, n, kWaveFrames), 1e-4f) << x;
    change += std::fabs(WaveLight(p, n, 0) - WaveLight(p, n, kWaveFrames / 2));
    EXPECT_LT(WaveLight({x, -60, 80}, n, 3), 0.01f);
    EXPECT_GE(WaveLight(p, n, 5), 0.0f);
  }
  EXPECT_GT(change / 57, 0.02f);
  // The hull's own shadow: the starboard side, turned from the sun, gets none.
  EXPECT_EQ(std::pair(SunVisible({-30, 60, 30}, {0, 1, 0}), SunVisible({-30, -60, 30}, {0, -1, 0})), std::pair(0.0f, 1.0f));
}

}  // namespace
