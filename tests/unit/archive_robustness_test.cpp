// Damaged archives must load as false and leave nothing behind. Random
// damage and truncation are the fuzz target's; these are the contradictions
// it would take long to find.
#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::NodeUnder;
using testing::QuadMesh;
using testing::SceneHarness;

// A geometry record assembled field by field, so each field can be wrong.
struct RawMesh {
  std::uint32_t fvf = kFvfOneTexture;
  std::uint16_t vertexCount = 3;
  std::uint32_t vertexBytes = 96;
  std::uint16_t indexCount = 3;
  std::uint32_t indexBytes = 6;
  std::vector<std::uint16_t> indices{0, 1, 2};
};

std::vector<std::uint8_t> RawGeometry(const RawMesh& mesh, std::uint16_t keyCount = 1) {
  ByteWriter out;
  out.string("Scene Root");
  out.u16(keyCount);
  out.u32(0);
  out.matrix(Matrix::identity());
  out.u16(1);  // frames
  out.u32(0);
  out.u16(1);  // meshes
  out.u32(mesh.fvf);
  out.u16(mesh.vertexCount);
  out.u32(mesh.vertexBytes);
  out.bytes(std::vector<std::uint8_t>(96, 0));
  out.u16(mesh.indexCount);
  out.u32(mesh.indexBytes);
  for (auto index : mesh.indices) out.u16(index);
  out.string("");
  return out.take();
}

bool LoadsRaw(const RawMesh& mesh, std::uint16_t keyCount = 1) {
  SceneArchiveWriter w;
  w.addRecord("object", "GO", RawGeometry(mesh, keyCount));
  SceneHarness h;
  const bool ok = h.load(w.finish());
  EXPECT_TRUE(ok || h.scene->nodes().empty());
  return ok;
}

TEST(ArchiveRobustnessTest, MeshesThatContradictThemselvesAreRefused) {
  EXPECT_TRUE(LoadsRaw(RawMesh{}));
  EXPECT_FALSE(LoadsRaw(RawMesh{}, 60000));  // more keys than the record holds
  int n = 0;
  for (void (*change)(RawMesh&) : {+[](RawMesh& m) { m.indices = {0, 1, 3}; }, +[](RawMesh& m) { m.vertexCount = 4; },
                                   +[](RawMesh& m) { m.fvf = 0x010; }, +[](RawMesh& m) { m.indexBytes = 8; },
                                   +[](RawMesh& m) { m.vertexBytes = 0xFFFFFFF0u; },
                                   +[](RawMesh& m) { m = {.indexCount = 2, .indexBytes = 4, .indices = {0, 1}}; }}) {
    RawMesh mesh;
    change(mesh);
    EXPECT_FALSE(LoadsRaw(mesh)) << "case " << n++;
  }
}

TEST(ArchiveRobustnessTest, OffsetsOutsideTheFileAreRefused) {
  SceneArchiveWriter w;
  w.addGeometry("a", NodeUnder("Scene Root"), {});
  auto file = w.finish();
  // The entry's offset sits just before the record: 4 + 2 + (2+1) + (2+2).
  const std::size_t offsetField = 4 + 2 + 3 + 4;
  for (std::uint32_t bad : {0xFFFFFFF0u, static_cast<std::uint32_t>(file.size()),
                            static_cast<std::uint32_t>(file.size() - 2)}) {
    auto damaged = file;
    for (int i = 0; i < 4; ++i) damaged[offsetField + i] = static_cast<std::uint8_t>(bad >> (8 * i));
    EXPECT_FALSE(SceneHarness().load(damaged)) << bad;
  }
  auto high = file;
  high[offsetField + 4] = 1;  // the high half of the offset
  EXPECT_TRUE(SceneHarness().load(high));  // a resource is addressed by the low half alone
}

TEST(ArchiveRobustnessTest, ParentLoopsDeepChainsAndKeysOrFramesOutOfOrderAreRefused) {
  auto loads = [](void (*fill)(SceneArchiveWriter&)) {
    SceneArchiveWriter w;
    fill(w);
    return SceneHarness().load(w.finish());
  };
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    w.addGeometry("a", NodeUnder("b"), {});
    w.addGeometry("b", NodeUnder("a"), {});
    w.addGeometry("c", NodeUnder("Scene Root"), {});
  }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) { w.addCamera("self", NodeUnder("self"), Matrix::identity()); }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    ArchiveNode node = NodeUnder("Scene Root");
    node.keys = {TransformKey{100, Matrix::identity()}, TransformKey{50, Matrix::identity()}};
    w.addGeometry("k", node, {});
  }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    w.addGeometry("f", NodeUnder("Scene Root"), {ArchiveFrame{40, {QuadMesh("")}}, ArchiveFrame{0, {QuadMesh("")}}});
  }));
  auto chain = [](std::size_t length) {
    SceneArchiveWriter w;
    w.addGeometry("n0", NodeUnder("Scene Root"), {});
    for (std::size_t i = 1; i < length; ++i)
      w.addGeometry("n" + std::to_string(i), NodeUnder("n" + std::to_string(i - 1)), {});
    return w.finish();
  };
  SceneHarness deep;
  EXPECT_TRUE(deep.load(chain(kMaxSceneDepth + 1)));
  deep.scene->root().updateSubtree();
  EXPECT_FALSE(SceneHarness().load(chain(kMaxSceneDepth + 2)));
}

}  // namespace
}  // namespace brisane
