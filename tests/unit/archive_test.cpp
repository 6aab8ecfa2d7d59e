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
  out.u16(0x1234);
  out.u32(0xA1B2C3D4);
  out.f32(-2.5f);
  Matrix m;
  for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i) + 0.5f;
  out.matrix(m);
  out.bytes(Raw{3, 0, 'a', 'b', 'c', 2, 0, 0xFF, 'x'});
  StorageBlock block(out.take());
  EXPECT_EQ(block.readU16(), 0x1234);
  EXPECT_EQ(block.readU32(), 0xA1B2C3D4u);
  EXPECT_EQ(block.readFloat(), -2.5f);
  const Matrix back = block.readMatrix();
  EXPECT_EQ(back, m);
  EXPECT_EQ(back(3, 0), 12.5f);  // the first four floats are the first row
  EXPECT_EQ(block.readString(), "abc");
  EXPECT_EQ(block.readString(), "\xFFx");
  EXPECT_EQ(block.position(), block.bytes().size());
}

TEST(StorageBlockTest, ReadsPastTheEndThrowAndTakeNothing) {
  StorageBlock block(Raw{1, 2, 3});
  EXPECT_THROW(block.readU32(), StorageBlock::ErrorReadPastEnd);
  EXPECT_EQ(block.position(), 0u);
  EXPECT_EQ(block.readU16(), 0x0201);
  EXPECT_THROW(block.readU16(), StorageBlock::ErrorReadPastEnd);
  StorageBlock counted(Raw{9, 0, 'a'});  // promises 9 bytes, has 1
  EXPECT_THROW(counted.readString(), StorageBlock::ErrorReadPastEnd);
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
  block.load(*storage, 3, 0);
  EXPECT_EQ(block.readU16(), 0x6568);  // "he"
  block.load(*storage, 3, 0);
  EXPECT_TRUE(block.loaded());
  EXPECT_EQ(block.readU16(), 0x6C6C);  // "ll": a reload keeps the position
  EXPECT_EQ(storage->read(block, 3, 0), 5u);
  EXPECT_EQ(block.bytes(), (Raw{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(storage->read(block, 3, 6), 6u);  // a sized read skips no prefix
  EXPECT_EQ(block.bytes(), (Raw{5, 0, 0, 0, 'h', 'e'}));
  // 0x5EE at 2 is a length far beyond the data; no room for one at 9.
  for (const auto& [offset, size] : {std::pair{2, 0}, std::pair{9, 0}, std::pair{1000, 1}, std::pair{0, 13}}) {
    StorageBlock kept(Raw{9});
    EXPECT_ANY_THROW(storage->read(kept, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)));
    EXPECT_EQ(kept.bytes(), Raw{9});
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, BothSourcesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Resource"; });

using testing::Bytes;

TEST(ArchiveWriterTest, RefusesContentTheReaderWouldReject) {
  for (void (*damage)(ArchiveMesh&) : {+[](ArchiveMesh& m) { m.vertices.pop_back(); },
                                       +[](ArchiveMesh& m) { m.indices[4] = 4; },
                                       +[](ArchiveMesh& m) { m.indices.pop_back(); }}) {
    ArchiveMesh mesh = testing::QuadMesh("");
    damage(mesh);
    EXPECT_THROW(EncodeGeometry({}, {ArchiveFrame{0, {mesh}}}), std::invalid_argument);
  }
  SceneArchiveWriter w;
  EXPECT_THROW(w.addImage(std::string(70000, 'x'), {}), std::length_error);
}

class ArchiveReaderTest : public ::testing::Test {
 protected:
  bool Open(std::vector<std::uint8_t> bytes) {
    resources.add(147, kSceneResourceType, std::move(bytes));
    return archive.openResource(resources, 147);
  }
  MemoryResourceSource resources;
  SceneArchive archive;
};

// The scene is built in key order, so the directory's byte order is what the
// show sees; a fetched block is cached and comes back rewound.
TEST_F(ArchiveReaderTest, KeysComeInByteOrderAndBlocksHoldTheLastPayloadWritten) {
  SceneArchiveWriter w;
  w.addRecord("zeta", "GO", Bytes("z-payload"));
  w.addRecord("\xC3\xA9t\xC3\xA9", "GO", Bytes("e"));
  w.addRecord("alpha", "M", Bytes("first"));
  w.addRecord("alpha", "M", {1, 0, 2, 0});
  w.addRecord("alpha", "GO", Bytes("g-payload"));
  ASSERT_TRUE(Open(w.finish()));
  EXPECT_EQ(archive.keys(), (std::vector<ArchiveKey>{
                                {"alpha", "GO"}, {"alpha", "M"}, {"zeta", "GO"}, {"\xC3\xA9t\xC3\xA9", "GO"}}));
  StorageBlock* material = archive.getBlock("alpha", "M");
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->readU16(), 1);
  EXPECT_EQ(archive.getBlock("alpha", "M"), material);
  EXPECT_EQ(material->readU16(), 1);
  EXPECT_EQ(archive.getBlock("alpha", "GO")->bytes(), Bytes("g-payload"));
  EXPECT_EQ(archive.getBlock("ALPHA", "M"), nullptr);
  archive.close();
  EXPECT_TRUE(archive.keys().empty());
  EXPECT_EQ(archive.getBlock("alpha", "GO"), nullptr);
}

TEST_F(ArchiveReaderTest, ARepeatedPairKeepsItsFirstPlaceAndTheLastOffset) {
  ByteWriter dir;
  dir.u16(3);
  const std::uint32_t directoryBytes = 2 + 3 * (2 + 1 + 2 + 3 + 8), records = 4 + directoryBytes;
  for (const auto& [name, offset] : {std::pair{"a", 0u}, std::pair{"b", 7u}, std::pair{"a", 14u}}) {
    dir.string(name);
    dir.string("BMP");
    dir.u32(records + offset);
    dir.u32(0);
  }
  ByteWriter file;
  file.u32(directoryBytes);
  file.bytes(dir.data());
  for (const char* payload : {"old", "bee", "new"}) {
    file.u32(3);
    file.bytes(Bytes(payload));
  }
  ASSERT_TRUE(Open(file.take()));
  EXPECT_EQ(archive.keys(), (std::vector<ArchiveKey>{{"a", "BMP"}, {"b", "BMP"}}));
  EXPECT_EQ(archive.getBlock("a", "BMP")->bytes(), Bytes("new"));
}

TEST_F(ArchiveReaderTest, DamagedDirectoriesDoNotOpenAndBadRecordsThrowWhenFetched) {
  EXPECT_FALSE(archive.openResource(resources, 147));
  EXPECT_FALSE(archive.openFile(""));
  EXPECT_FALSE(Open({}));
  for (const auto& [length, count] : {std::pair{40u, 1}, std::pair{2u, 5}}) {  // past the file, past the directory
    ByteWriter bad;
    bad.u32(length);
    bad.u16(static_cast<std::uint16_t>(count));
    EXPECT_FALSE(Open(bad.take()));
  }
  SceneArchiveWriter w;
  w.addRecord("x", "GO", Bytes("payload"));
  auto file = w.finish();
  file.resize(file.size() - 2);  // the record's length runs past the end
  ASSERT_TRUE(Open(file));
  EXPECT_THROW(archive.getBlock("x", "GO"), FileStorage::ErrorReadFromResource);
}

// Damaged archives must load as false and leave nothing behind. Random
// damage and truncation are the fuzz target's; these are the contradictions
// it would take long to find.
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
