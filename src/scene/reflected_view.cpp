#include <cmath>
#include <utility>

#include "scene/view.h"

namespace brisane {

namespace {

Vector3 Rotate(const Vector3& v, const Vector3& axis, float angle) {
  return TransformDirection(v, AxisRotation(axis, angle));
}

Vector3 Column(const Matrix& m, std::size_t c) { return {m(0, c), m(1, c), m(2, c)}; }

// A pivot below this share of the largest candidate in its column is taken
// for a zero that rounding left.
constexpr float kSmallPivot = 0.001f;

// Inverts the upper-left 3x3 block by Gauss-Jordan in single precision,
// row by row: a pivot of exactly 1 is not divided and a row with 0 in the
// pivot column is not reduced. A row is exchanged only for a pivot that is
// (next to) nothing beside a row below it: dividing by it would be by zero,
// or by the rounding left of a zero, which throws the eye far off. Cameras
// whose right axis runs across the ship, level or rolled, meet one.
// False for a singular block.
bool InvertBlock(const Matrix& m, float inverse[3][3]) {
  float a[3][3];
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t c = 0; c < 3; ++c) {
      a[r][c] = m(r, c);
      inverse[r][c] = r == c ? 1.0f : 0.0f;
    }
  for (std::size_t i = 0; i < 3; ++i) {
    std::size_t largest = i;
    for (std::size_t r = i + 1; r < 3; ++r)
      if (std::fabs(a[r][i]) > std::fabs(a[largest][i])) largest = r;
    if (a[largest][i] == 0.0f) return false;
    if (std::fabs(a[i][i]) < kSmallPivot * std::fabs(a[largest][i])) {
      std::swap(a[i], a[largest]);
      std::swap(inverse[i], inverse[largest]);
    }
    const float pivot = a[i][i];
    if (!std::isfinite(pivot)) return false;
    if (pivot != 1.0f)
      for (std::size_t c = 0; c < 3; ++c) {
        a[i][c] /= pivot;
        inverse[i][c] /= pivot;
      }
    for (std::size_t r = 0; r < 3; ++r) {
      if (r == i || a[r][i] == 0.0f) continue;
      const float factor = a[r][i];
      for (std::size_t c = 0; c < 3; ++c) {
        a[r][c] -= factor * a[i][c];
        inverse[r][c] -= factor * inverse[i][c];
      }
    }
  }
  return true;
}

constexpr float kTiny = 0.00001f;

// Twice the angle between a horizontal direction (x, y, 0), scaled by
// 1 / scale, and v: the turn that takes v to its mirror image across that
// horizontal. 0 where the direction is undefined or already v.
float MirrorTurn(float x, float y, float scale, const Vector3& v) {
  if (!(std::fabs(scale) > kTiny)) return 0.0f;
  Vector3 h{x / scale, y / scale, 0.0f};
  const float length = Length(h);
  if (!(length > 0.0f) || !std::isfinite(length)) return 0.0f;
  h = h / length;
  const float apart = Length(h - v);
  if (!(apart > kTiny)) return 0.0f;
  const float hl = Length(h), vl = Length(v);
  float c = (hl * hl + vl * vl - apart * apart) / (2.0f * hl * vl);
  c = c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
  return 2.0f * std::fabs(std::acos(c));
}

}  // namespace

Matrix ReflectedView(const Matrix& view) {
  float inverse[3][3];
  if (!InvertBlock(view, inverse)) return view;
  // The camera's world position, negated.
  const Vector3 t{view(3, 0), view(3, 1), view(3, 2)};
  const Vector3 q{t.x * inverse[0][0] + t.y * inverse[1][0] + t.z * inverse[2][0],
              t.x * inverse[0][1] + t.y * inverse[1][1] + t.z * inverse[2][1],
              t.x * inverse[0][2] + t.y * inverse[1][2] + t.z * inverse[2][2]};

  const Vector3 x = Column(view, 0), y = Column(view, 1), z = Column(view, 2);
  // Pitch: turn the up and forward axes about the right axis.
  const float pitch = MirrorTurn(x.y, -x.x, z.z, z);
  const Vector3 y1 = Rotate(y, x, pitch), z1 = Rotate(z, x, pitch);
  // Roll: turn the right and up axes about the new forward axis.
  const float roll = MirrorTurn(z1.y, -z1.x, x.z, x);
  const Vector3 x1 = Rotate(x, z1, roll), y2 = Rotate(y1, z1, roll);

  Matrix f = view;
  const Vector3 axes[3] = {x1, y2, z1};
  const Vector3 mirroredEye{q.x, q.y, -q.z};
  for (std::size_t c = 0; c < 3; ++c) {
    f(0, c) = axes[c].x;
    f(1, c) = axes[c].y;
    f(2, c) = axes[c].z;
    f(3, c) = Dot(mirroredEye, axes[c]);
  }
  return f;
}

}  // namespace brisane
