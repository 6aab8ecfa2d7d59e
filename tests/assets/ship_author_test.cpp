// The scene-authoring toolkit and the shapes built with it: winding and
// normals as the renderer expects them, transforms that keep fronts outside,
// the author's own checks, and the hull's looping wave light.
#include "ship/deck_shapes.h"
#include "ship/hull_lines.h"
#include "ship/hull_paint.h"
#include "ship/hull_parts.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::ExpectFrontsOut;
using fixtures::StoredNormal;
using namespace brisane::assets::ship::hull;

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

TEST(ShipDeckShapes, TurnedProfilesAndFlippedSurfacesShowTheirOutsides) {
  // A cask on its side, hard-edged flat heads at both ends.
  MeshBuilder m;
  deck::Lathe(m, {1, 2, 3}, {1, 0, 0}, {{0, 0}, {0, 2}, {0, 2}, {3, 2.4f}, {6, 2}, {6, 2}, {6, 0}}, 10);
  fixtures::ExpectFrontsOut(m, [](Vector3 p) { return p - Vector3{4, 2, 3}; });
  for (const Vertex& v : m.vertices()) {
    const float head = v.p.x < 4 ? 1 : 7;
    const bool onHead = std::fabs(v.p.x - head) < 1e-4f && Length(v.p - Vector3{head, 2, 3}) < 1.9f;
    EXPECT_TRUE(!onHead || v.n.x * (v.p.x - 4) > 2.97f) << "a hard edge at the head";
  }
  // A cylinder lofted either way round is turned to face away from its axis.
  for (float turn : {1.0f, -1.0f}) {
    MeshBuilder s;
    deck::SurfaceAway(
        s, [&](float u, float t) { return Vector3{t * 5, std::cos(turn * 2 * kPi * u), std::sin(turn * 2 * kPi * u)}; },
        12, 3, {2.5f, 0, 0});
    fixtures::ExpectFrontsOut(s, [](Vector3 p) { return Vector3{0, p.y, p.z}; });
  }
}

TEST(ShipHullSide, BandsFaceOutwardsAndMeetWithoutCracks) {
  const auto bands = SideBands();
  ASSERT_EQ(bands.size(), 4u);
  for (const SideBand& b : bands) {
    const MeshBuilder m = PortBand(b);
    ASSERT_LT(m.vertexCount(), 65536u) << b.part;
    int faces = 0;
    for (std::size_t k = 0; k < m.triangleCount(); ++k) {
      const Vector3 n = StoredNormal(m, k);
      if (Length(n) < 1e-3f) continue;  // where the side closes on the stem
      ++faces;
      // The port side shows its outside: the renderer culls the other way.
      EXPECT_LT(Normalize(n).y, 0.05f) << b.part << " triangle " << k;
      EXPECT_GT(Dot(n, m.vertices()[m.indices()[3 * k]].n), 0) << b.part << " triangle " << k;
    }
    EXPECT_GT(faces, 300) << b.part;
  }
  // Each band's top row is the next one's bottom row.
  for (std::size_t k = 0; k + 1 < bands.size(); ++k)
    for (float s : {0.0f, 0.35f, 1.0f}) EXPECT_NEAR(BandZ(bands[k].band, s, 1), BandZ(bands[k + 1].band, s, 0), 1e-3f);
}

TEST(ShipHullPaint, WaveLightLoopsDancesNearTheWaterAndFadesAboveIt) {
  const Vector3 n{0, -1, 0};
  float change = 0;
  for (float x = -200; x < 200; x += 7) {
    const Vector3 p{x, -60, 3};
    EXPECT_NEAR(WaveLight(p, n, 0), WaveLight(p, n, kWaveFrames), 1e-4f) << x;
    change += std::fabs(WaveLight(p, n, 0) - WaveLight(p, n, kWaveFrames / 2));
    EXPECT_LT(WaveLight({x, -60, 80}, n, 3), 0.01f);
    EXPECT_GE(WaveLight(p, n, 5), 0.0f);
  }
  EXPECT_GT(change / 57, 0.02f);
}

}  // namespace
