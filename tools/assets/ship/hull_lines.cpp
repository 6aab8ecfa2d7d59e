#include "hull_lines.h"

#include <algorithm>
#include <cmath>

namespace brisane::assets::ship::hull {

float Sheer(float x) {
  if (x < layout::kMidshipX) {
    const float d = (layout::kMidshipX - x) / 232.0f;
    return 8 * d * d;
  }
  const float d = (x - layout::kMidshipX) / 285.0f;
  return 6 * d * d;
}

// She trims a little by the stern, so the copper runs higher aft.
float CopperTopZ(float x) { return -4 + 1.5f * SmoothStep(60, 220, x); }
float MainWaleZ(float x) { return 12 + Sheer(x); }
float MainWaleTopZ(float x) { return 20 + Sheer(x); }
float UpperWaleZ(float x) { return 35 + Sheer(x); }
float UpperWaleTopZ(float x) { return 40 + Sheer(x); }

namespace {
// 1 inside [a, b], ramping over `ramp` units inside both edges.
float Plateau(float z, float a, float b, float ramp) {
  return std::clamp((z - a) / ramp, 0.0f, 1.0f) * std::clamp((b - z) / ramp, 0.0f, 1.0f);
}
}  // namespace

float WaleRelief(float x, float z) {
  const float wales = std::max(Plateau(z, MainWaleZ(x), MainWaleTopZ(x), 0.8f),
                               Plateau(z, UpperWaleZ(x), UpperWaleTopZ(x), 0.8f));
  if (wales <= 0) return 0;
  // Wales die into the stem rather than standing proud of it.
  const float hb = layout::HalfBreadth(x, z);
  return kWaleRelief * wales * std::min(1.0f, hb / 6.0f);
}

float ColumnX(float s, float z) {
  s = std::clamp(s, 0.0f, 1.0f);
  const float w = s - 0.45f * std::sin(2 * kPi * s) / (2 * kPi);
  const float stem = layout::StemX(z), stern = layout::SternX(z) - 0.05f;
  return stem + (stern - stem) * w;
}

Vector3 SidePoint(float s, float z, float side) {
  const float x = ColumnX(s, z);
  const float hb = layout::HalfBreadth(x, z) + WaleRelief(x, z);
  return {x, side * hb, z};
}

float LineZ(float s, float (*line)(float)) {
  // The column leans (stem, counter) while the line climbs gently: a few
  // rounds of substitution settle it.
  float z = line(ColumnX(s, 0));
  for (int i = 0; i < 8; ++i) z = line(ColumnX(s, z));
  return z;
}

float TransomHalfBreadth(float z) {
  if (z <= kTuckZ) return 0;
  return layout::HalfBreadth(layout::SternX(z) - 0.05f, z);
}

float TaffrailZ(float y) {
  const float rail = layout::RailZ(layout::SternX(90));
  const float w = TransomHalfBreadth(rail);
  const float f = w > 0 ? std::clamp(y / w, -1.0f, 1.0f) : 0;
  return rail + 7 * (1 - f * f);
}

std::vector<float> LowerPortX() {
  std::vector<float> xs;
  for (int i = 0; i < 12; ++i) xs.push_back(-184.0f + 28.5f * static_cast<float>(i));
  return xs;
}

float BandZ(const Band& band, float s, float t) {
  const float lo = LineZ(s, band.lower), hi = LineZ(s, band.upper);
  const int n = static_cast<int>(band.rows.size()) - 1;
  const float pos = std::clamp(t, 0.0f, 1.0f) * static_cast<float>(n);
  const int i = std::min(n - 1, static_cast<int>(pos));
  const float f = band.rows[i] + (band.rows[i + 1] - band.rows[i]) * (pos - static_cast<float>(i));
  return lo + (hi - lo) * f;
}

}  // namespace brisane::assets::ship::hull
