#include <gtest/gtest.h>

#include "scene/matrix.h"

namespace brisane {
namespace {

TEST(VectorKit, ArithmeticProductsAndBlends) {
  const Vector3 a{1, 2, 3}, b{4, -5, 6};
  EXPECT_EQ(a + b, (Vector3{5, -3, 9}));
  EXPECT_EQ(a - b, (Vector3{-3, 7, -3}));
  EXPECT_EQ(-a, (Vector3{-1, -2, -3}));
  EXPECT_EQ(a * 2.0f, (Vector3{2, 4, 6}));
  EXPECT_EQ(b / 2.0f, (Vector3{2, -2.5f, 3}));
  Vector3 c = a;
  c += b;
  EXPECT_EQ(c, a + b);
  EXPECT_EQ(Dot(a, b), 12.0f);
  EXPECT_EQ(Cross({1, 0, 0}, {0, 1, 0}), (Vector3{0, 0, 1}));  // right-handed
  EXPECT_EQ(Cross(a, b), (Vector3{27, 6, -13}));
  EXPECT_EQ(Distance({1, 1, 1}, {4, 5, 13}), 13.0f);
  EXPECT_EQ(DistanceSquared({1, 1, 1}, {4, 5, 13}), 169.0f);
  EXPECT_EQ(Normalize({0, 0, 0}), (Vector3{0, 0, 0}));
  EXPECT_EQ(Normalize({0, -7, 0}), (Vector3{0, -1, 0}));
  EXPECT_EQ(Lerp({2, 0, -4}, {6, 8, 4}, 0.25f), (Vector3{3, 2, -2}));
  EXPECT_EQ(Mix(10.0f, 20.0f, 0.25f), 12.5f);
}

TEST(VectorKit, TransformsFollowTheRowVectorConvention) {
  const Matrix turn = AxisRotation({0, 0, 1}, 1.5707964f);  // +x to +y
  const Matrix move = Matrix::Translation(10, 20, 30);
  const Vector3 p{1, 0, 2};
  const Vector3 turned = TransformPoint(p, turn * move);  // turn first, then move
  EXPECT_NEAR(turned.x, 10.0f, 1e-5f);
  EXPECT_NEAR(turned.y, 21.0f, 1e-5f);
  EXPECT_NEAR(turned.z, 32.0f, 1e-5f);
  const Vector3 d = TransformDirection(p, turn * move);
  EXPECT_NEAR(d.x, 0.0f, 1e-6f);
  EXPECT_NEAR(d.y, 1.0f, 1e-6f);
  EXPECT_NEAR(d.z, 2.0f, 1e-6f);
}

}  // namespace
}  // namespace brisane
