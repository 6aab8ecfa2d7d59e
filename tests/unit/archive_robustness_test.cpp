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
  if (!ok) {
    EXPECT_TRUE(h.scene->nodes().empty());
  }
  return ok;
}

TEST(ArchiveRobustnessTest, MeshesThatContradictThemselvesAreRefused) {
  EXPECT_TRUE(LoadsRaw(RawMesh{})) << "the well-formed one";
  EXPECT_FALSE(LoadsRaw(RawMesh{}, 60000)) << "more keys than the record holds";
  const struct {
    const char* what;
    void (*change)(RawMesh&);
  } cases[] = {
      {"an index beyond the vertex count", [](RawMesh& m) { m.indices = {0, 1, 3}; }},
      {"vertex count beyond the vertex bytes", [](RawMesh& m) { m.vertexCount = 4; }},
      {"an unknown format", [](RawMesh& m) { m.fvf = 0x010; }},
      {"index bytes that disagree with the count", [](RawMesh& m) { m.indexBytes = 8; }},
      {"a length far past the record", [](RawMesh& m) { m.vertexBytes = 0xFFFFFFF0u; }},
      {"not triangles", [](RawMesh& m) { m = {.indexCount = 2, .indexBytes = 4, .indices = {0, 1}}; }},
  };
  for (const auto& c : cases) {
    RawMesh mesh;
    c.change(mesh);
    EXPECT_FALSE(LoadsRaw(mesh)) << c.what;
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
    SceneHarness h;
    EXPECT_FALSE(h.load(damaged)) << bad;
  }
  auto high = file;
  high[offsetField + 4] = 1;  // the high half of the offset
  SceneHarness h;
  EXPECT_TRUE(h.load(high)) << "a resource is addressed by the low half alone";
}

TEST(ArchiveRobustnessTest, ParentLoopsAndOverlyDeepChainsAreRefused) {
  {
    SceneArchiveWriter w;
    w.addGeometry("a", NodeUnder("b"), {});
    w.addGeometry("b", NodeUnder("a"), {});
    w.addGeometry("c", NodeUnder("Scene Root"), {});
    SceneHarness h;
    EXPECT_FALSE(h.load(w.finish()));
  }
  {
    SceneArchiveWriter w;
    w.addCamera("self", NodeUnder("self"), Matrix::identity());
    SceneHarness h;
    EXPECT_FALSE(h.load(w.finish()));
  }
  auto chain = [](std::size_t length) {
    SceneArchiveWriter w;
    w.addGeometry("n0", NodeUnder("Scene Root"), {});
    auto name = [](std::size_t i) {
      std::string n = std::to_string(i);
      n.insert(n.begin(), 'n');
      return n;
    };
    for (std::size_t i = 1; i < length; ++i) w.addGeometry(name(i), NodeUnder(name(i - 1)), {});
    return w.finish();
  };
  SceneHarness deep;
  EXPECT_TRUE(deep.load(chain(kMaxSceneDepth + 1)));
  deep.scene->root().updateSubtree();
  SceneHarness tooDeep;
  EXPECT_FALSE(tooDeep.load(chain(kMaxSceneDepth + 2)));
}

TEST(ArchiveRobustnessTest, KeysAndFramesOutOfOrderAreRefused) {
  SceneArchiveWriter keys;
  ArchiveNode node = NodeUnder("Scene Root");
  node.keys = {TransformKey{100, Matrix::identity()}, TransformKey{50, Matrix::identity()}};
  keys.addGeometry("k", node, {});
  SceneHarness h1;
  EXPECT_FALSE(h1.load(keys.finish()));

  SceneArchiveWriter frames;
  frames.addGeometry("f", NodeUnder("Scene Root"), {ArchiveFrame{40, {QuadMesh("")}}, ArchiveFrame{0, {QuadMesh("")}}});
  SceneHarness h2;
  EXPECT_FALSE(h2.load(frames.finish()));
}

}  // namespace
}  // namespace brisane
