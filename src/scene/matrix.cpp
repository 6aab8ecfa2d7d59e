#include "scene/matrix.h"

#include <cmath>
#include <utility>

namespace brisane {

std::optional<Matrix> Inverse(const Matrix& matrix) {
  // Gauss-Jordan with partial pivoting, in double so that the 0.01 scale
  // of the view loses nothing.
  double a[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = matrix.m[static_cast<std::size_t>(i * 4 + j)];
      a[i][j + 4] = i == j ? 1.0 : 0.0;
    }
  for (int column = 0; column < 4; ++column) {
    int pivot = column;
    for (int row = column + 1; row < 4; ++row)
      if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
    if (!(std::fabs(a[pivot][column]) > 1e-12)) return std::nullopt;  // also catches NaN
    if (pivot != column)
      for (int j = 0; j < 8; ++j) std::swap(a[pivot][j], a[column][j]);
    const double scale = 1.0 / a[column][column];
    for (int j = 0; j < 8; ++j) a[column][j] *= scale;
    for (int row = 0; row < 4; ++row) {
      if (row == column || a[row][column] == 0.0) continue;
      const double factor = a[row][column];
      for (int j = 0; j < 8; ++j) a[row][j] -= factor * a[column][j];
    }
  }
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[static_cast<std::size_t>(i * 4 + j)] = static_cast<float>(a[i][j + 4]);
  return r;
}

std::optional<Matrix> CameraLookingAt(const Vector3& eye, const Vector3& target) {
  const Vector3 ahead = target - eye;
  if (!(Length(ahead) > 1e-6f)) return std::nullopt;
  const Vector3 forward = Normalize(ahead);
  const Vector3 side = Cross(forward, {0, 0, 1});
  const Vector3 right = Length(side) > 1e-6f ? Normalize(side) : Vector3{1, 0, 0};
  const Vector3 up = Cross(right, forward);
  Matrix m = Matrix::Identity();
  const Vector3 rows[4] = {right, up, -forward, eye};
  for (std::size_t r = 0; r < 4; ++r) {
    m(r, 0) = rows[r].x;
    m(r, 1) = rows[r].y;
    m(r, 2) = rows[r].z;
  }
  return m;
}

Matrix AxisRotation(const Vector3& axis, float angle) {
  const float length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  if (!(length > 0.0f)) return Matrix::Identity();
  const float x = axis.x / length, y = axis.y / length, z = axis.z / length;
  const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
  Matrix r = Matrix::Identity();
  r(0, 0) = t * x * x + c;
  r(0, 1) = t * x * y + s * z;
  r(0, 2) = t * x * z - s * y;
  r(1, 0) = t * x * y - s * z;
  r(1, 1) = t * y * y + c;
  r(1, 2) = t * y * z + s * x;
  r(2, 0) = t * x * z + s * y;
  r(2, 1) = t * y * z - s * x;
  r(2, 2) = t * z * z + c;
  return r;
}

}  // namespace brisane
