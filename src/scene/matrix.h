// 4x4 single-precision matrix in the row-vector convention of the scene files:
// a point p maps to p x M, the fourth row is the translation.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

namespace brisane {

struct Matrix {
  std::array<float, 16> m{};

  static Matrix Identity() {
    Matrix r;
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
  }
  static Matrix Translation(float x, float y, float z) {
    Matrix r = Identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
  }

  float& operator()(std::size_t row, std::size_t column) { return m[row * 4 + column]; }
  float operator()(std::size_t row, std::size_t column) const { return m[row * 4 + column]; }

  friend Matrix operator*(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (std::size_t i = 0; i < 4; ++i)
      for (std::size_t j = 0; j < 4; ++j) {
        float sum = 0.0f;
        for (std::size_t k = 0; k < 4; ++k) sum += a.m[i * 4 + k] * b.m[k * 4 + j];
        r.m[i * 4 + j] = sum;
      }
    return r;
  }
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// Each operation rounds the way the expression written out by hand would,
// component by component from left to right, so that swapping one for the
// other keeps results to the last bit.
struct Vector3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  friend bool operator==(const Vector3&, const Vector3&) = default;

  friend Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
  friend Vector3 operator-(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  friend Vector3 operator-(const Vector3& a) { return {-a.x, -a.y, -a.z}; }
  friend Vector3 operator*(const Vector3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
  friend Vector3 operator/(const Vector3& a, float s) { return {a.x / s, a.y / s, a.z / s}; }
  Vector3& operator+=(const Vector3& o) { return *this = *this + o; }
};

inline float Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(const Vector3& a) { return std::sqrt(Dot(a, a)); }
inline float DistanceSquared(const Vector3& a, const Vector3& b) {
  const Vector3 d = a - b;
  return Dot(d, d);
}
inline float Distance(const Vector3& a, const Vector3& b) { return Length(a - b); }
// A zero vector stays zero.
inline Vector3 Normalize(const Vector3& a) {
  const float l = Length(a);
  return l > 0.0f ? a / l : a;
}
// Two blends that round differently; each caller keeps the one it was
// written with. Lerp moves from a towards b, Mix weighs the two ends.
inline Vector3 Lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }
inline float Mix(float a, float b, float t) { return a * (1.0f - t) + b * t; }

// The inverse of a 4x4 matrix; none when it is singular.
std::optional<Matrix> Inverse(const Matrix& matrix);

inline Vector3 TranslationOf(const Matrix& matrix) { return {matrix.m[12], matrix.m[13], matrix.m[14]}; }
// p x M without the projective divide; a direction leaves out the translation.
inline Vector3 TransformPoint(const Vector3& p, const Matrix& m) {
  return {p.x * m(0, 0) + p.y * m(1, 0) + p.z * m(2, 0) + m(3, 0),
          p.x * m(0, 1) + p.y * m(1, 1) + p.z * m(2, 1) + m(3, 1),
          p.x * m(0, 2) + p.y * m(1, 2) + p.z * m(2, 2) + m(3, 2)};
}
inline Vector3 TransformDirection(const Vector3& d, const Matrix& m) {
  return {d.x * m(0, 0) + d.y * m(1, 0) + d.z * m(2, 0), d.x * m(0, 1) + d.y * m(1, 1) + d.z * m(2, 1),
          d.x * m(0, 2) + d.y * m(1, 2) + d.z * m(2, 2)};
}

// A camera's world matrix at eye looking at target, the world's z up: local
// -z forward, +y up (straight up or down, local x is the world's x). None
// when the two points coincide.
std::optional<Matrix> CameraLookingAt(const Vector3& eye, const Vector3& target);

// Rotation by angle (radians) about the direction of axis, which is
// normalised first; the identity for a zero axis.
Matrix AxisRotation(const Vector3& axis, float angle);

}  // namespace brisane
