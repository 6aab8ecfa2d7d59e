// The scene-authoring toolkit: winding and normals as the renderer expects
// them, transforms that keep fronts outside, and the author's own checks.
#include <gtest/gtest.h>

#include <stdexcept>

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
  MeshBuilder box, cyl, ball, rope, q;
  box.box({-1, -2, -3}, {4, 5, 6});
  cyl.cylinder({0, 0, 0}, {3, 1, 8}, 2, 1, 7, true);
  ball.sphere({5, 5, 5}, 3, 12, 8);
  rope.tube({{0, 0, 0}, {0, 0, 10}, {0, 0, 15}}, {0.5f, 0.5f, 0.3f}, 5);
  ExpectFrontsOut(box, AwayFrom({1.5f, 1.5f, 1.5f}));
  ExpectFrontsOut(cyl, AwayFrom({1.5f, 0.5f, 4}));
  ExpectFrontsOut(ball, AwayFrom({5, 5, 5}));
  ExpectFrontsOut(rope, [](Vector3 p) { return Vector3{p.x, p.y, 0}; });
  // A quad given counter-clockwise seen from +z is stored clockwise seen from +z.
  q.quad(q.add({0, 0, 0}, {0, 0, 1}, 0, 0), q.add({1, 0, 0}, {0, 0, 1}, 1, 0), q.add({1, 1, 0}, {0, 0, 1}, 1, 1),
         q.add({0, 1, 0}, {0, 0, 1}, 0, 1));
  EXPECT_TRUE(StoredNormal(q, 0).z > 0 && StoredNormal(q, 1).z > 0);
}

TEST(ShipAuthorMesh, MirroredAppendKeepsFrontsOutsideAndNormalsRight) {
  MeshBuilder box, mirrored, again;
  box.box({1, 1, 1}, {3, 2, 4});
  mirrored.append(box, Scale(-1, 2, 1) * Translate({10, 0, 0}));
  ExpectFrontsOut(mirrored, AwayFrom({10 - 2, 3, 2.5f}));
  again.append(mirrored);
  again.computeNormals();
  ExpectFrontsOut(again, AwayFrom({10 - 2, 3, 2.5f}));
  // Back faces: a second copy facing inwards.
  MeshBuilder twoSided = box;
  twoSided.addBackFaces();
  const std::size_t first = box.triangleCount();
  EXPECT_EQ(twoSided.triangleCount(), 2 * first);
  EXPECT_LT(Dot(StoredNormal(twoSided, first), twoSided.vertices()[twoSided.indices()[3 * first]].p - Vector3{2, 1.5f, 2.5f}), 0);
  EXPECT_THROW(MeshBuilder().append(box, Scale(1, 0, 1)), std::domain_error) << "no inverse for the normals";
  MeshBuilder big;
  for (int i = 0; i < 65535; ++i) big.add({0, 0, 0}, {0, 0, 1}, 0, 0);
  EXPECT_THROW(big.add({0, 0, 0}, {0, 0, 1}, 0, 0), std::length_error) << "past sixteen-bit indices";
}

TEST(ShipAuthorScene, ChecksNamesParentsMaterialsAndImages) {
  SceneAuthor scene;
  scene.group("ship", SceneAuthor::kRoot, Translate({1, 2, 3}));
  scene.group("mast", "ship", Translate({10, 0, 0}));
  EXPECT_THROW(scene.group("mast", "ship", Matrix::identity()), std::logic_error);
  EXPECT_EQ(TranslationOf(scene.world("mast")), (Vector3{11, 2, 3}));
  MeshBuilder m;
  m.box({0, 0, 0}, {1, 1, 1});
  scene.setFamily("deck");
  scene.object("crate", "mast", Matrix::identity(), {m.build("wood")});
  EXPECT_EQ(scene.triangles().at("deck"), 12u);
  EXPECT_THROW(scene.finish(), std::logic_error) << "material missing";
  ArchiveMaterial wood;
  wood.layers.push_back(Layer(1, {"wood.jpg"}));
  scene.material("wood", wood);
  EXPECT_THROW(scene.finish(), std::logic_error) << "image missing";
  scene.image("wood.jpg", assets::Image(8, 8));
  scene.group("orphan", "nowhere", Matrix::identity());
  EXPECT_THROW(scene.finish(), std::logic_error) << "parent missing";
}

}  // namespace
