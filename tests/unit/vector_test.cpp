#include <gtest/gtest.h>

#include "scene/matrix.h"

namespace brisane {
namespace {

// The rules the scene's maths leans on; plain arithmetic is exercised by every
// scene and sea test that goes through it.
TEST(VectorKit, RightHandedProductsSafeNormalsAndRowVectorTransforms) {
  EXPECT_EQ(Cross({1, 0, 0}, {0, 1, 0}), (Vector3{0, 0, 1}));
  EXPECT_EQ(Cross({1, 2, 3}, {4, -5, 6}), (Vector3{27, 6, -13}));
  EXPECT_EQ(Normalize({0, 0, 0}), (Vector3{0, 0, 0}));
  EXPECT_EQ(Normalize({0, -7, 0}), (Vector3{0, -1, 0}));
  EXPECT_EQ(Lerp({2, 0, -4}, {6, 8, 4}, 0.25f), (Vector3{3, 2, -2}));
  EXPECT_EQ(Mix(10.0f, 20.0f, 0.25f), 12.5f);
  EXPECT_EQ(std::tuple(Distance({1, 1, 1}, {4, 5, 13}), DistanceSquared({1, 1, 1}, {4, 5, 13})), std::tuple(13.0f, 169.0f));
  const Matrix turnThenMove = AxisRotation({0, 0, 1}, 1.5707964f) * Matrix::Translation(10, 20, 30);  // +x to +y
  EXPECT_LT(Length(TransformPoint({1, 0, 2}, turnThenMove) - Vector3{10, 21, 32}), 1e-5f);
  EXPECT_LT(Length(TransformDirection({1, 0, 2}, turnThenMove) - Vector3{0, 1, 2}), 1e-6f);
}

}  // namespace
}  // namespace brisane
