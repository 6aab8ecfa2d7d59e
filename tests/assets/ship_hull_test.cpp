// The hull's side bands, its painted ports against the gun stations and the
// looping wave light.
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
      const Vector3 n = fixtures::StoredNormal(m, k);
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
  // The hull's own shadow: the starboard side turned from the sun gets none,
  // the open port side gets it.
  EXPECT_EQ(SunVisible({-30, 60, 30}, {0, 1, 0}), 0.0f);
  EXPECT_EQ(SunVisible({-30, -60, 30}, {0, -1, 0}), 1.0f);
}

}  // namespace
}  // namespace brisane::assets::ship
