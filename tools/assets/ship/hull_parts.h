// Hull pieces that the tests look at: the side's bands and how their
// lightmaps are laid out.
#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include "author.h"
#include "hull_lines.h"

namespace brisane::assets::ship::hull {

struct SideBand {
  const char* part;  // without the side number
  Band band;
  int rows;
  bool waves;  // 16 lightmap frames of wave light
};
// Bottom to top: bottom, board_low, board_mid, board_high.
std::vector<SideBand> SideBands();
// The port side's mesh of a band (the starboard one is its mirror).
MeshBuilder PortBand(const SideBand& band);

// The side's lightmaps fold the ship's length in two: the fore half in the
// picture's upper half, the after half below, each a band of 128 x 32
// texels, so the light along the side is twice as fine. Coordinates hit
// texel centres at the edges, so filtering never reaches the other half.
inline constexpr int kLmW = 128, kLmH = 64, kLmHalfRows = kLmH / 2;
inline float LmU(float sHalf) { return (0.5f + sHalf * (kLmW - 1)) / kLmW; }
inline float LmV(int half, float t) { return (static_cast<float>(half * kLmHalfRows) + 0.5f + (1 - t) * (kLmHalfRows - 1)) / kLmH; }
// The (s, t) a lightmap texel shows.
inline std::pair<float, float> LmTexel(float u, float v) {
  const int i = std::min(kLmW - 1, static_cast<int>(u * kLmW)), j = std::min(kLmH - 1, static_cast<int>(v * kLmH));
  const int half = j / kLmHalfRows, row = j % kLmHalfRows;
  const float sHalf = static_cast<float>(i) / (kLmW - 1);
  return {0.5f * static_cast<float>(half) + 0.5f * sHalf, 1 - static_cast<float>(row) / (kLmHalfRows - 1)};
}

}  // namespace brisane::assets::ship::hull
