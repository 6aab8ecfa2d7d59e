// The scene-authoring toolkit: winding and normals as the renderer expects
// them, transforms that keep fronts outside, and the author's consistency
// checks.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ship/author.h"
#include "ship/layout.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::ExpectFrontsOut;
using fixtures::StoredNormal;

auto AwayFrom(Vector3 centre) {
  return [centre](Vector3 p) { return p - centre; };
}

TEST(ShipAuthorMesh, PrimitivesFaceOutwardsAndStoreClockwiseFronts) {
  MeshBuilder box, cyl, ball, rope;
  box.box({-1, -2, -3}, {4, 5, 6});
  cyl.cylinder({0, 0, 0}, {3, 1, 8}, 2, 1, 7, true);
  ball.sphere({5, 5, 5}, 3, 12, 8);
  rope.tube({{0, 0, 0}, {0, 0, 10}, {0, 0, 15}}, {0.5f, 0.5f, 0.3f}, 5);
  ExpectFrontsOut(box, AwayFrom({1.5f, 1.5f, 1.5f}));
  ExpectFrontsOut(cyl, AwayFrom({1.5f, 0.5f, 4}));
  ExpectFrontsOut(ball, AwayFrom({5, 5, 5}));
  ExpectFrontsOut(rope, [](Vector3 p) { return Vector3{p.x, p.y, 0}; });  // away from its axis

  // A quad given counter-clockwise seen from +z is stored clockwise seen from +z.
  MeshBuilder q;
  const auto a = q.add({0, 0, 0}, {0, 0, 1}, 0, 0), b = q.add({1, 0, 0}, {0, 0, 1}, 1, 0),
             c = q.add({1, 1, 0}, {0, 0, 1}, 1, 1), d = q.add({0, 1, 0}, {0, 0, 1}, 0, 1);
  q.quad(a, b, c, d);
  for (std::size_t k = 0; k < 2; ++k) EXPECT_GT(StoredNormal(q, k).z, 0) << "front up, stored clockwise";
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
  const Vector3 p = twoSided.vertices()[twoSided.indices()[3 * first]].p;
  EXPECT_LT(Dot(StoredNormal(twoSided, first), p - Vector3{2, 1.5f, 2.5f}), 0);

  // A flattening matrix has no inverse to take the normals through.
  EXPECT_THROW(MeshBuilder().append(box, Scale(1, 0, 1)), std::domain_error);
}

TEST(ShipAuthorMesh, TooManyVerticesForSixteenBitIndicesAreRefused) {
  MeshBuilder big;
  for (int i = 0; i < 65535; ++i) big.add({0, 0, 0}, {0, 0, 1}, 0, 0);
  EXPECT_THROW(big.add({0, 0, 0}, {0, 0, 1}, 0, 0), std::length_error);
}

TEST(ShipAuthorScene, ChecksNamesParentsMaterialsAndImages) {
  SceneAuthor scene;
  scene.group("ship", SceneAuthor::kRoot, Translate({1, 2, 3}));
  scene.group("mast", "ship", Translate({10, 0, 0}));
  EXPECT_THROW(scene.group("mast", "ship", Matrix::identity()), std::logic_error);
  const Vector3 at = TranslationOf(scene.world("mast"));
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

}  // namespace
