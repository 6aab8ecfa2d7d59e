#include <gtest/gtest.h>

#include "scene/archive.h"
#include "scene/archive_writer.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

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

}  // namespace
}  // namespace brisane
