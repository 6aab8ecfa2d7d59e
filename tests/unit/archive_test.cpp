#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scene/archive.h"
#include "scene/archive_writer.h"
#include "scene/storage.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using Raw = std::vector<std::uint8_t>;

TEST(StorageBlockTest, TypedReadsAreLittleEndianAndAdvanceAndStringsAreCounted) {
  ByteWriter out;
  out.WriteU16(0x1234);
  out.WriteU32(0xA1B2C3D4);
  out.WriteF32(-2.5f);
  Matrix m;
  for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i) + 0.5f;
  out.WriteMatrix(m);
  out.WriteBytes(Raw{3, 0, 'a', 'b', 'c', 2, 0, 0xFF, 'x'});
  StorageBlock block(out.Take());
  EXPECT_EQ(block.ReadU16(), 0x1234);
  EXPECT_EQ(block.ReadU32(), 0xA1B2C3D4u);
  EXPECT_EQ(block.ReadFloat(), -2.5f);
  const Matrix back = block.ReadMatrix();
  EXPECT_EQ(std::tuple(back, back(3, 0)), std::tuple(m, 12.5f));  // the first four floats are the first row
  EXPECT_EQ(block.ReadString(), "abc");
  EXPECT_EQ(block.ReadString(), "\xFFx");
  EXPECT_EQ(block.position(), block.bytes().size());
}

TEST(StorageBlockTest, ReadsPastTheEndThrowAndTakeNothing) {
  StorageBlock block(Raw{1, 2, 3});
  EXPECT_THROW(block.ReadU32(), StorageBlock::ErrorReadPastEnd);
  EXPECT_EQ(block.position(), 0u);
  EXPECT_EQ(block.ReadU16(), 0x0201);
  EXPECT_THROW(block.ReadU16(), StorageBlock::ErrorReadPastEnd);
  StorageBlock counted(Raw{9, 0, 'a'});  // promises 9 bytes, has 1
  EXPECT_THROW(counted.ReadString(), StorageBlock::ErrorReadPastEnd);
}

TEST(FileStorageTest, OpeningFailuresThrowTheirSourcesException) {
  EXPECT_THROW(FileStorage("/nonexistent/brisane/scene.sss"), FileStorage::ErrorReadFromFile);
  MemoryResourceSource resources;
  resources.add(147, "SSSFILE", {1, 2, 3});
  EXPECT_THROW(FileStorage(resources, 148, "SSSFILE"), FileStorage::ErrorReadFromResource);
  EXPECT_THROW(FileStorage(resources, 147, "JPEGFILE"), FileStorage::ErrorReadFromResource);
}

// Both sources hand out the same bytes for the same requests.
class BothSourcesTest : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<FileStorage> Open(const Raw& bytes) {
    if (!GetParam()) {
      resources_.add(7, "DATA", bytes);
      return std::make_unique<FileStorage>(resources_, 7, "DATA");
    }
    // Random names: test processes may run side by side.
    path_ = (std::filesystem::temp_directory_path() / ("brisane_storage_" + std::to_string(std::random_device{}()))).string();
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return std::make_unique<FileStorage>(path_);
  }
  void TearDown() override {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  std::string path_;
  MemoryResourceSource resources_;
};

TEST_P(BothSourcesTest, LengthPrefixedAndSizedReadsAndRefusedRanges) {
  const Raw bytes = {0xEE, 0xEE, 0xEE, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
  auto storage = Open(bytes);
  EXPECT_EQ(storage->size(), bytes.size());
  StorageBlock block;
  block.Load(*storage, 3, 0);
  EXPECT_EQ(block.ReadU16(), 0x6568);  // "he"
  block.Load(*storage, 3, 0);
  EXPECT_TRUE(block.loaded() && block.ReadU16() == 0x6C6C);  // "ll": a reload keeps the position
  EXPECT_EQ(storage->Read(block, 3, 0), 5u);
  EXPECT_EQ(block.bytes(), (Raw{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(storage->Read(block, 3, 6), 6u);  // a sized read skips no prefix
  EXPECT_EQ(block.bytes(), (Raw{5, 0, 0, 0, 'h', 'e'}));
  // 0x5EE at 2 is a length far beyond the data; no room for one at 9.
  for (const auto& [offset, size] : {std::pair{2, 0}, std::pair{9, 0}, std::pair{1000, 1}, std::pair{0, 13}}) {
    StorageBlock kept(Raw{9});
    EXPECT_ANY_THROW(storage->Read(kept, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)));
    EXPECT_EQ(kept.bytes(), Raw{9});
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, BothSourcesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Resource"; });

using namespace testing;

TEST(ArchiveWriterTest, RefusesContentTheReaderWouldReject) {
  for (void (*damage)(ArchiveMesh&) : {+[](ArchiveMesh& m) { m.vertices.pop_back(); },
                                       +[](ArchiveMesh& m) { m.indices[4] = 4; },
                                       +[](ArchiveMesh& m) { m.indices.pop_back(); }}) {
    ArchiveMesh mesh = testing::QuadMesh("");
    damage(mesh);
    EXPECT_THROW(EncodeGeometry({}, {ArchiveFrame{0, {mesh}}}), std::invalid_argument);
  }
  SceneArchiveWriter w;
  EXPECT_THROW(w.AddImage(std::string(70000, 'x'), {}), std::length_error);
}

class ArchiveReaderTest : public ::testing::Test {
 protected:
  bool Open(std::vector<std::uint8_t> bytes) {
    resources.add(147, kSceneResourceType, std::move(bytes));
    return archive.OpenResource(resources, 147);
  }
  MemoryResourceSource resources;
  SceneArchive archive;
};

// The scene is built in key order, so the directory's byte order is what the
// show sees; a fetched block is cached and comes back rewound.
TEST_F(ArchiveReaderTest, KeysComeInByteOrderAndBlocksHoldTheLastPayloadWritten) {
  SceneArchiveWriter w;
  w.AddRecord("zeta", "GO", Bytes("z-payload"));
  w.AddRecord("\xC3\xA9t\xC3\xA9", "GO", Bytes("e"));
  w.AddRecord("alpha", "M", Bytes("first"));
  w.AddRecord("alpha", "M", {1, 0, 2, 0});
  w.AddRecord("alpha", "GO", Bytes("g-payload"));
  ASSERT_TRUE(Open(w.Finish()));
  EXPECT_EQ(archive.keys(), (std::vector<ArchiveKey>{
                                {"alpha", "GO"}, {"alpha", "M"}, {"zeta", "GO"}, {"\xC3\xA9t\xC3\xA9", "GO"}}));
  StorageBlock* material = archive.GetBlock("alpha", "M");
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->ReadU16(), 1);
  EXPECT_EQ(archive.GetBlock("alpha", "M"), material);
  EXPECT_EQ(material->ReadU16(), 1);
  EXPECT_EQ(archive.GetBlock("alpha", "GO")->bytes(), Bytes("g-payload"));
  EXPECT_EQ(archive.GetBlock("ALPHA", "M"), nullptr);
  archive.Close();
  EXPECT_TRUE(archive.keys().empty() && !archive.GetBlock("alpha", "GO"));
}

TEST_F(ArchiveReaderTest, ARepeatedPairKeepsItsFirstPlaceAndTheLastOffset) {
  ByteWriter dir;
  dir.WriteU16(3);
  const std::uint32_t directoryBytes = 2 + 3 * (2 + 1 + 2 + 3 + 8), records = 4 + directoryBytes;
  for (const auto& [name, offset] : {std::pair{"a", 0u}, std::pair{"b", 7u}, std::pair{"a", 14u}})
    dir.WriteString(name), dir.WriteString("BMP"), dir.WriteU32(records + offset), dir.WriteU32(0);
  ByteWriter file;
  file.WriteU32(directoryBytes);
  file.WriteBytes(dir.data());
  for (const char* payload : {"old", "bee", "new"}) file.WriteU32(3), file.WriteBytes(Bytes(payload));
  ASSERT_TRUE(Open(file.Take()));
  EXPECT_EQ(archive.keys(), (std::vector<ArchiveKey>{{"a", "BMP"}, {"b", "BMP"}}));
  EXPECT_EQ(archive.GetBlock("a", "BMP")->bytes(), Bytes("new"));
}

TEST_F(ArchiveReaderTest, DamagedDirectoriesDoNotOpenAndBadRecordsThrowWhenFetched) {
  EXPECT_FALSE(archive.OpenResource(resources, 147) || archive.OpenFile("") || Open({}));
  for (const auto& [length, count] : {std::pair{40u, 1}, std::pair{2u, 5}}) {  // past the file, past the directory
    ByteWriter bad;
    bad.WriteU32(length), bad.WriteU16(static_cast<std::uint16_t>(count));
    EXPECT_FALSE(Open(bad.Take()));
  }
  SceneArchiveWriter w;
  w.AddRecord("x", "GO", Bytes("payload"));
  auto file = w.Finish();
  file.resize(file.size() - 2);  // the record's length runs past the end
  ASSERT_TRUE(Open(file));
  EXPECT_THROW(archive.GetBlock("x", "GO"), FileStorage::ErrorReadFromResource);
}

// Damaged archives must load as false and leave nothing behind. Random
// damage and truncation are the fuzz target's; these are the contradictions
// it would take long to find.
// A geometry record assembled field by field, so each field can be wrong.
struct RawMesh {
  std::uint32_t fvf = kFvfOneTexture; std::uint16_t vertexCount = 3; std::uint32_t vertexBytes = 96;
  std::uint16_t indexCount = 3; std::uint32_t indexBytes = 6; std::vector<std::uint16_t> indices{0, 1, 2};
};

std::vector<std::uint8_t> RawGeometry(const RawMesh& mesh, std::uint16_t keyCount = 1) {
  ByteWriter out;
  out.WriteString("Scene Root");
  out.WriteU16(keyCount), out.WriteU32(0), out.WriteMatrix(Matrix::Identity());
  out.WriteU16(1), out.WriteU32(0), out.WriteU16(1);  // one frame at 0 of one mesh
  out.WriteU32(mesh.fvf), out.WriteU16(mesh.vertexCount), out.WriteU32(mesh.vertexBytes);
  out.WriteBytes(std::vector<std::uint8_t>(96, 0));
  out.WriteU16(mesh.indexCount), out.WriteU32(mesh.indexBytes);
  for (auto index : mesh.indices) out.WriteU16(index);
  out.WriteString("");
  return out.Take();
}

bool LoadsRaw(const RawMesh& mesh, std::uint16_t keyCount = 1) {
  SceneArchiveWriter w;
  w.AddRecord("object", "GO", RawGeometry(mesh, keyCount));
  SceneHarness h;
  const bool ok = h.Load(w.Finish());
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
  w.AddGeometry("a", NodeUnder("Scene Root"), {});
  auto file = w.Finish();
  // The entry's offset sits just before the record: 4 + 2 + (2+1) + (2+2).
  const std::size_t offsetField = 4 + 2 + 3 + 4;
  for (std::uint32_t bad : {0xFFFFFFF0u, static_cast<std::uint32_t>(file.size()),
                            static_cast<std::uint32_t>(file.size() - 2)}) {
    auto damaged = file;
    for (int i = 0; i < 4; ++i) damaged[offsetField + i] = static_cast<std::uint8_t>(bad >> (8 * i));
    EXPECT_FALSE(SceneHarness().Load(damaged)) << bad;
  }
  auto high = file;
  high[offsetField + 4] = 1;  // the high half of the offset
  EXPECT_TRUE(SceneHarness().Load(high));  // a resource is addressed by the low half alone
}

TEST(ArchiveRobustnessTest, ParentLoopsDeepChainsAndKeysOrFramesOutOfOrderAreRefused) {
  auto loads = [](void (*fill)(SceneArchiveWriter&)) {
    SceneArchiveWriter w;
    fill(w);
    return SceneHarness().Load(w.Finish());
  };
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    w.AddGeometry("a", NodeUnder("b"), {});
    w.AddGeometry("b", NodeUnder("a"), {});
    w.AddGeometry("c", NodeUnder("Scene Root"), {});
  }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) { w.AddCamera("self", NodeUnder("self"), Matrix::Identity()); }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    ArchiveNode node = NodeUnder("Scene Root");
    // Each key against the one before it, not only the first.
    node.keys = {TransformKey{0, Matrix::Identity()}, TransformKey{100, Matrix::Identity()},
                 TransformKey{50, Matrix::Identity()}};
    w.AddGeometry("k", node, {});
  }));
  EXPECT_FALSE(loads([](SceneArchiveWriter& w) {
    w.AddGeometry("f", NodeUnder("Scene Root"), {ArchiveFrame{40, {QuadMesh("")}}, ArchiveFrame{0, {QuadMesh("")}}});
  }));
  auto chain = [](std::size_t length) {
    SceneArchiveWriter w;
    w.AddGeometry("n0", NodeUnder("Scene Root"), {});
    for (std::size_t i = 1; i < length; ++i)
      w.AddGeometry("n" + std::to_string(i), NodeUnder("n" + std::to_string(i - 1)), {});
    return w.Finish();
  };
  SceneHarness deep;
  EXPECT_TRUE(deep.Load(chain(kMaxSceneDepth + 1)));
  deep.scene->root().UpdateSubtree();
  EXPECT_FALSE(SceneHarness().Load(chain(kMaxSceneDepth + 2)));
}

}  // namespace
}  // namespace brisane
