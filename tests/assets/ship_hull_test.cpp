// The hull's side bands, its painted ports against the gun stations and the
// looping wave light.
#include <gtest/gtest.h>

#include <cmath>

#include "ship/hull_lines.h"
#include "ship/hull_paint.h"
#include "ship/hull_parts.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

using namespace hull;

TEST(ShipHullSide, BandsFaceOutwardsAndMeetWithoutCracks) {
  const auto bands = SideBands();
  ASSERT_EQ(bands.size(), 4u);
  for (const SideBand& b : bands) {
    const MeshBuilder m = PortBand(b);
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
  for (std::size_t k = 0; k + 1 < bands.size(); ++k)
    for (float s : {0.0f, 0.35f, 1.0f}) EXPECT_NEAR(BandZ(bands[k].band, s, 1), BandZ(bands[k + 1].band, s, 0), 1e-3f);
}

TEST(ShipHullPaint, PortOpeningsArePaintedWhereTheLidsGoAndNowhereElse) {
  const Image high = PaintUpperWorks();
  auto at = [&](float x) {  // brightness on the gun axis
    const float* p = high.at(std::clamp(static_cast<int>(SideU(x) * high.width), 0, high.width - 1),
                             std::clamp(static_cast<int>(SpanV(layout::kGunAxisZ, kHighSpan) * high.height), 0, high.height - 1));
    return (p[0] + p[1] + p[2]) / 3;
  };
  const float half = layout::kPortSize / 2;
  for (int gun = 1; gun <= 4; ++gun) {
    const float x = layout::GunX(gun), hole = at(x);
    EXPECT_LT(hole, 30) << gun;
    EXPECT_GT(std::min(at(x - half - 3), at(x + half + 3)), hole + 12) << gun << ": the painted side round the lid";
    EXPECT_TRUE(gun == 4 || at(0.5f * (x + layout::GunX(gun + 1))) > 35) << "no opening between stations";
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
  // The hull's own shadow: the starboard side turned from the sun gets none.
  EXPECT_EQ(SunVisible({-30, 60, 30}, {0, 1, 0}), 0.0f);
  EXPECT_EQ(SunVisible({-30, -60, 30}, {0, -1, 0}), 1.0f);
}

}  // namespace
}  // namespace brisane::assets::ship
