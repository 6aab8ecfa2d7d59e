// The hull's lines, its painted ports against the gun stations, the looping
// wave light and the authored hull as a whole (parts, dummies, budget).
#include <gtest/gtest.h>

#include <cmath>

#include "ship/hull_lines.h"
#include "ship/hull_paint.h"
#include "ship/hull_parts.h"
#include "ship/layout.h"
#include "ship/parts.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

using namespace hull;

TEST(ShipHullLines, BandsStackInOrderAlongTheWholeShipAndHoldTheirPorts) {
  for (float x = layout::StemX(0) + 2; x < layout::SternX(0) - 2; x += 3) {
    EXPECT_LT(kRabbetZ, CopperTopZ(x)) << x;
    EXPECT_LT(CopperTopZ(x), 0.0f) << "copper must reach the waterline at " << x;
    EXPECT_LT(0.0f, MainWaleZ(x)) << x;
    EXPECT_LT(MainWaleZ(x), MainWaleTopZ(x)) << x;
    EXPECT_LT(MainWaleTopZ(x), UpperWaleZ(x)) << x;
    EXPECT_LT(UpperWaleZ(x), UpperWaleTopZ(x)) << x;
    EXPECT_LT(UpperWaleTopZ(x) + 5, layout::RailZ(x)) << x;
  }
  // The waist ports lie wholly in the upper works, above the upper wale.
  const float half = layout::kPortSize / 2;
  for (int gun = 1; gun <= 8; ++gun) {
    const float x = layout::GunX(gun);
    EXPECT_LT(UpperWaleTopZ(x), layout::kGunAxisZ - half) << gun;
    EXPECT_LT(layout::kGunAxisZ + half, layout::RailZ(x) - 1.6f) << "port under the cap rail, gun " << gun;
  }
  // The closed lower ports sit in the ochre band between the wales and do not touch.
  const auto ports = LowerPortX();
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const float x = ports[i], z = kLowerPortZ + Sheer(x);
    EXPECT_GT(z - half, MainWaleTopZ(x)) << x;
    EXPECT_LT(z + half, UpperWaleZ(x)) << x;
    if (i > 0) {
      EXPECT_GT(ports[i] - ports[i - 1], layout::kPortSize * 2);
    }
  }
}

TEST(ShipHullLines, ColumnsMeetTheirLinesAndTheSideClosesOnStemAndTransom) {
  for (int i = 0; i <= 40; ++i) {
    const float s = static_cast<float>(i) / 40;
    for (auto line : {CopperTopZ, MainWaleZ, UpperWaleTopZ, layout::RailZ}) {
      const float z = LineZ(s, line);
      EXPECT_NEAR(z, line(ColumnX(s, z)), 0.01f) << "s=" << s;
    }
  }
  // Columns run from the stem to the stern without folding back.
  for (float z : {-30.0f, 0.0f, 30.0f, 60.0f}) {
    float last = -1e9f;
    for (int i = 0; i <= 100; ++i) {
      const float x = ColumnX(static_cast<float>(i) / 100, z);
      EXPECT_GT(x, last);
      last = x;
    }
    EXPECT_NEAR(ColumnX(0, z), layout::StemX(z), 0.01f);
    EXPECT_NEAR(ColumnX(1, z), layout::SternX(z), 0.1f);
    // At the stem the two sides meet; aft, above the tuck, the side ends on
    // a transom of real width and below it on the stern post.
    EXPECT_LT(std::fabs(SidePoint(0, z).y), 0.5f) << z;
  }
  EXPECT_GT(TransomHalfBreadth(60), 25.0f);
  EXPECT_LT(TransomHalfBreadth(kTuckZ + 1), 3.0f);
  EXPECT_EQ(TransomHalfBreadth(kTuckZ - 5), 0.0f);
  // The lanterns stand within the transom's breadth, above the taffrail.
  for (const Vec3& l : layout::kLantern) {
    EXPECT_LT(std::fabs(l.y), TransomHalfBreadth(layout::RailZ(l.x)));
    EXPECT_GT(l.z, TaffrailZ(l.y));
  }
}

TEST(ShipHullSide, BandsFaceOutwardsAndMeetWithoutCracks) {
  const auto bands = SideBands();
  ASSERT_EQ(bands.size(), 4u);
  std::vector<MeshBuilder> meshes;
  for (const SideBand& b : bands) {
    meshes.push_back(PortBand(b));
    const MeshBuilder& m = meshes.back();
    ASSERT_LT(m.vertexCount(), 65536u) << b.part;
    int faces = 0;
    for (std::size_t k = 0; k < m.triangleCount(); ++k) {
      const Vec3 n = fixtures::StoredNormal(m, k);
      if (Length(n) < 1e-3f) continue;  // where the side closes on the stem
      ++faces;
      // The port side shows its outside: the renderer culls the other way.
      EXPECT_LT(Normalize(n).y, 0.05f) << b.part << " triangle " << k;
      EXPECT_GT(Dot(n, m.vertices()[m.indices()[3 * k]].n), 0) << b.part << " triangle " << k;
    }
    EXPECT_GT(faces, 300) << b.part;
  }
  // Each band's top row is the next one's bottom row.
  for (std::size_t k = 0; k + 1 < bands.size(); ++k) {
    for (int i = 0; i <= 20; ++i) {
      const float s = static_cast<float>(i) / 20;
      const float top = BandZ(bands[k].band, s, 1), bottom = BandZ(bands[k + 1].band, s, 0);
      EXPECT_NEAR(top, bottom, 1e-3f) << bands[k].part << " s=" << s;
    }
  }
}

TEST(ShipHullSide, FoldedLightmapTexelsShowTheSideWhereTheirVerticesPointThem) {
  for (int half = 0; half < 2; ++half)
    for (float sh : {0.0f, 0.3f, 0.77f, 1.0f})
      for (float t : {0.0f, 0.4f, 1.0f}) {
        const float u = LmU(sh), v = LmV(half, t);
        ASSERT_GT(u, 0);
        ASSERT_LT(u, 1);
        // Each half stays in its own half of the picture.
        EXPECT_EQ(static_cast<int>(v * 2), half);
        const auto [s2, t2] = LmTexel(u, v);
        EXPECT_NEAR(s2, 0.5f * half + 0.5f * sh, 0.5f / (kLmW - 1) + 1e-4f);
        EXPECT_NEAR(t2, t, 1.0f / (kLmHalfRows - 1) + 1e-4f);
      }
}

// Brightness of a picture at texture coordinates.
float Brightness(const Image& img, float u, float v) {
  const int i = std::clamp(static_cast<int>(u * img.width), 0, img.width - 1);
  const int j = std::clamp(static_cast<int>(v * img.height), 0, img.height - 1);
  const float* p = img.at(i, j);
  return (p[0] + p[1] + p[2]) / 3;
}

TEST(ShipHullPaint, PortOpeningsArePaintedWhereTheLidsGoAndNowhereElse) {
  const Image high = PaintUpperWorks();
  const float z = layout::kGunAxisZ, half = layout::kPortSize / 2;
  for (int gun = 1; gun <= 4; ++gun) {
    const float x = layout::GunX(gun);
    const float hole = Brightness(high, SideU(x), SpanV(z, kHighSpan));
    EXPECT_LT(hole, 30) << "gun " << gun;
    // Just outside the lid: the painted side again, brighter than the hole.
    for (float dx : {-half - 3, half + 3})
      EXPECT_GT(Brightness(high, SideU(x + dx), SpanV(z, kHighSpan)), hole + 12) << "gun " << gun << " dx " << dx;
  }
  // Between the stations there is no opening.
  for (int gun = 1; gun < 4; ++gun) {
    const float x = 0.5f * (layout::GunX(gun) + layout::GunX(gun + 1));
    EXPECT_GT(Brightness(high, SideU(x), SpanV(z, kHighSpan)), 35) << x;
  }
}

TEST(ShipHullPaint, WaveLightLoopsDancesNearTheWaterAndFadesAboveIt) {
  const Vec3 n{0, -1, 0};
  float change = 0;
  for (float x = -200; x < 200; x += 7) {
    const Vec3 p{x, -60, 3};
    EXPECT_NEAR(WaveLight(p, n, 0), WaveLight(p, n, kWaveFrames), 1e-4f) << x;
    change += std::fabs(WaveLight(p, n, 0) - WaveLight(p, n, kWaveFrames / 2));
    EXPECT_LT(WaveLight({x, -60, 80}, n, 3), 0.01f);
    EXPECT_GE(WaveLight(p, n, 5), 0.0f);
  }
  EXPECT_GT(change / 57, 0.02f);
  // The hull's own shadow: the starboard side turned from the sun gets none,
  // the open port side gets it.
  EXPECT_EQ(SunVisible({-30, 60, 30}, {0, 1, 0}), 0.0f);
  EXPECT_EQ(SunVisible({-30, -60, 30}, {0, -1, 0}), 1.0f);
}

TEST(ShipHullScene, AuthorsTheLightmappedPartsAndTheDummiesWithinItsBudget) {
  SceneAuthor scene;
  scene.group(layout::kShip, SceneAuthor::kRoot, Matrix::identity());
  AuthorHull(scene);
  for (std::string_view part : contract::kHullLightmapNodes) {
    EXPECT_TRUE(scene.hasNode(std::string(part))) << part;
    EXPECT_TRUE(scene.hasMaterial("hull_" + std::string(part))) << part;
  }
  for (int i = 0; i < 2; ++i) {
    const Vec3 flame = Origin(scene.world(std::string(contract::kLanterns[i])));
    EXPECT_NEAR(Length(flame - layout::kLantern[i]), 0, 1e-3f);
  }
  EXPECT_NEAR(Origin(scene.world("Dummy_water02")).y, layout::kWaterPoint[1].y, 1e-3f);
  const auto tris = scene.triangles().at("hull");
  EXPECT_GT(tris, 12000u);
  EXPECT_LE(tris, 24000u);
  EXPECT_NO_THROW(scene.finish());
}

}  // namespace
}  // namespace brisane::assets::ship
