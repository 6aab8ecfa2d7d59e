// 4x4 single-precision matrix in the row-vector convention of the scene files:
// a point p maps to p x M, the fourth row is the translation.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace brisane {

struct Matrix {
  std::array<float, 16> m{};

  static Matrix identity() {
    Matrix r;
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
    return r;
  }
  static Matrix translation(float x, float y, float z) {
    Matrix r = identity();
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

struct Vector3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  friend bool operator==(const Vector3&, const Vector3&) = default;
};

// The inverse of a 4x4 matrix; none when it is singular.
std::optional<Matrix> Inverse(const Matrix& matrix);

inline Vector3 TranslationOf(const Matrix& matrix) { return {matrix.m[12], matrix.m[13], matrix.m[14]}; }

// Rotation by angle (radians) about the direction of axis, which is
// normalised first; the identity for a zero axis.
Matrix AxisRotation(const Vector3& axis, float angle);

}  // namespace brisane
