// The scene-authoring toolkit: winding and normals as the renderer expects
// them, transforms that keep fronts outside, and the author's consistency
// checks.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "ship/author.h"
#include "ship/layout.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::ExpectFrontsOut;
using fixtures::StoredNormal;

auto AwayFrom(Vec3 centre) {
  return [centre](Vec3 p) { return p - centre; };
}

TEST(ShipAuthorMesh, PrimitivesFaceOutwardsAndStoreClockwiseFronts) {
  MeshBuilder box;
  box.box({-1, -2, -3}, {4, 5, 6});
  ExpectFrontsOut(box, AwayFrom({1.5f, 1.5f, 1.5f}));

  MeshBuilder cyl;
  cyl.cylinder({0, 0, 0}, {3, 1, 8}, 2, 1, 7, true);
  ExpectFrontsOut(cyl, AwayFrom({1.5f, 0.5f, 4}));

  MeshBuilder ball;
  ball.sphere({5, 5, 5}, 3, 12, 8);
  ExpectFrontsOut(ball, AwayFrom({5, 5, 5}));

  // A quad given counter-clockwise seen from +z is stored clockwise seen from +z.
  MeshBuilder q;
  const auto a = q.add({0, 0, 0}, {0, 0, 1}, 0, 0), b = q.add({1, 0, 0}, {0, 0, 1}, 1, 0),
             c = q.add({1, 1, 0}, {0, 0, 1}, 1, 1), d = q.add({0, 1, 0}, {0, 0, 1}, 0, 1);
  q.quad(a, b, c, d);
  for (std::size_t k = 0; k < 2; ++k) EXPECT_GT(StoredNormal(q, k).z, 0) << "front up, stored clockwise";

  // A tube's faces point away from its axis.
  MeshBuilder rope;
  rope.tube({{0, 0, 0}, {0, 0, 10}, {5, 0, 15}}, {0.5f, 0.5f, 0.3f}, 5);
  for (std::size_t k = 0; k < 10; ++k) {  // the first segment, along z
    const Vec3 n = Normalize(StoredNormal(rope, k));
    EXPECT_NEAR(n.z, 0, 0.2);
    const Vec3 p = rope.vertices()[rope.indices()[3 * k]].p;
    EXPECT_GT(n.x * p.x + n.y * p.y, 0);
  }
}

TEST(ShipAuthorMesh, MirroredAppendKeepsFrontsOutsideAndNormalsRight) {
  MeshBuilder box;
  box.box({1, 1, 1}, {3, 2, 4});
  MeshBuilder mirrored;
  mirrored.append(box, Scale(-1, 2, 1) * Translate({10, 0, 0}));
  // Box (1..3, 1..2, 1..4) mirrored in x and stretched in y, then moved.
  ExpectFrontsOut(mirrored, AwayFrom({10 - 2, 3, 2.5f}));

  MeshBuilder again;
  again.append(mirrored);
  again.computeNormals();
  ExpectFrontsOut(again, AwayFrom({10 - 2, 3, 2.5f}));

  MeshBuilder twoSided = box;
  twoSided.addBackFaces();
  EXPECT_EQ(twoSided.triangleCount(), 2 * box.triangleCount());
  // The added copy faces inwards.
  const std::size_t first = box.triangleCount();
  const Vec3 p = twoSided.vertices()[twoSided.indices()[3 * first]].p;
  EXPECT_LT(Dot(StoredNormal(twoSided, first), p - Vec3{2, 1.5f, 2.5f}), 0);

  // A flattening matrix has no inverse to take the normals through.
  EXPECT_THROW(MeshBuilder().append(box, Scale(1, 0, 1)), std::domain_error);
}

TEST(ShipAuthorMesh, LightmappedMeshesCarryTheSecondPairAndTooManyVerticesAreRefused) {
  MeshBuilder m;
  m.add({1, 2, 3}, {0, 0, 1}, 0.25f, 0.75f, 0.5f, 0.125f);
  m.add({4, 5, 6}, {0, 1, 0}, 1, 1);
  m.add({7, 8, 9}, {1, 0, 0}, 0, 1);
  m.tri(0, 1, 2);
  EXPECT_EQ(m.build("wood").fvf, kFvfOneTexture);
  const ArchiveMesh two = m.build("hull", true);
  EXPECT_EQ(two.fvf, kFvfTwoTextures);
  ASSERT_EQ(two.vertices.size(), 3u * 40u);
  float first[10];
  std::memcpy(first, two.vertices.data(), sizeof first);
  EXPECT_EQ(first[7], 0.75f);
  EXPECT_EQ(first[9], 0.125f);

  MeshBuilder big;
  for (int i = 0; i < 65535; ++i) big.add({0, 0, 0}, {0, 0, 1}, 0, 0);
  EXPECT_THROW(big.add({0, 0, 0}, {0, 0, 1}, 0, 0), std::length_error);
}

TEST(ShipAuthorMaths, CameraFramesAndProjections) {
  const Matrix cam = LookAt({100, -50, 20}, {0, 0, 10});
  // The camera looks along its local -z, and its local y leans up.
  const Vec3 forward = -TransformDirection({0, 0, 1}, cam);
  EXPECT_NEAR(Dot(forward, Normalize(Vec3{-100, 50, -10})), 1, 1e-5);
  EXPECT_GT(TransformDirection({0, 1, 0}, cam).z, 0.9f);
  const Vec3 x = TransformDirection({1, 0, 0}, cam), y = TransformDirection({0, 1, 0}, cam);
  EXPECT_NEAR(Dot(Cross(x, y), TransformDirection({0, 0, 1}, cam)), 1, 1e-5) << "right-handed";

  const Matrix p = Perspective(kPi / 4, 4.0f / 3, 0.1f, 100);
  EXPECT_EQ(p(2, 3), 1);
  // The near plane maps to depth 0 and the far plane to 1.
  EXPECT_NEAR((0.1f * p(2, 2) + p(3, 2)) / 0.1f, 0, 1e-6);
  EXPECT_NEAR((100 * p(2, 2) + p(3, 2)) / 100, 1, 1e-6);

  // The author's rotation is the one the ship's motion uses: +90 degrees
  // about z takes x to y.
  EXPECT_NEAR(TransformDirection({1, 0, 0}, RotateZ(kPi / 2)).y, 1, 1e-6);
}

TEST(ShipAuthorScene, ChecksNamesParentsMaterialsAndImages) {
  SceneAuthor scene;
  scene.group("ship", SceneAuthor::kRoot, Translate({1, 2, 3}));
  scene.group("mast", "ship", Translate({10, 0, 0}));
  EXPECT_THROW(scene.group("mast", "ship", Matrix::identity()), std::logic_error);
  const Vec3 at = Origin(scene.world("mast"));
  EXPECT_EQ(at.x, 11);
  EXPECT_EQ(at.z, 3);

  MeshBuilder m;
  m.box({0, 0, 0}, {1, 1, 1});
  ArchiveMaterial wood;
  wood.layers.push_back(Layer(1, {"wood.jpg"}));
  scene.setFamily("deck");
  scene.object("crate", "mast", Matrix::identity(), {m.build("wood")});
  EXPECT_EQ(scene.triangles().at("deck"), 12u);
  EXPECT_THROW(scene.finish(), std::logic_error) << "material missing";
  scene.material("wood", wood);
  EXPECT_THROW(scene.finish(), std::logic_error) << "image missing";
  scene.image("wood.jpg", assets::Image(8, 8));
  scene.group("orphan", "nowhere", Matrix::identity());
  EXPECT_THROW(scene.finish(), std::logic_error) << "parent missing";
}

TEST(ShipLayout, HullShapeIsClosedAndFairAndTheSailFrameMirrorsLikeTheClones) {
  using namespace layout;
  EXPECT_EQ(HalfBreadth(StemX(0) - 1, 0), 0);
  EXPECT_EQ(HalfBreadth(SternX(0) + 1, 0), 0);
  EXPECT_NEAR(HalfBreadth(kMidshipX, kMaxBreadthZ), kMaxHalfBreadth, 0.5f);
  // Tumblehome: narrower at the rail than at the widest waterline.
  EXPECT_LT(HalfBreadth(kMidshipX, RailZ(kMidshipX)), HalfBreadth(kMidshipX, kMaxBreadthZ));
  // Fair: no jumps along the hull at the gun deck.
  for (float x = StemX(kGunAxisZ) + 1; x < SternX(kGunAxisZ) - 1; x += 1)
    EXPECT_LT(std::fabs(HalfBreadth(x + 1, kGunAxisZ) - HalfBreadth(x, kGunAxisZ)), 4) << x;
  // The gun ports lie on the side above the waist deck and below the rail.
  for (int g = 1; g <= 8; ++g) {
    EXPECT_GT(kGunAxisZ - kPortSize / 2, DeckZ(GunX(g)));
    EXPECT_LT(kGunAxisZ + kPortSize / 2, RailZ(GunX(g)));
  }
  const Matrix f = SailFrame({0, 0, 100});
  const Vec3 x{f(0, 0), f(0, 1), f(0, 2)}, y{f(1, 0), f(1, 1), f(1, 2)}, z{f(2, 0), f(2, 1), f(2, 2)};
  EXPECT_LT(Dot(Cross(x, y), z), 0) << "mirrored, like the fixed clone matrices";
  EXPECT_NEAR(Origin(f).y, 167.5f, 1e-4);
}

}  // namespace
