#include <gtest/gtest.h>

#include "scene/archive.h"
#include "scene/archive_writer.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::Bytes;

TEST(ArchiveWriterTest, RefusesContentTheReaderWouldReject) {
  ArchiveMesh ragged = testing::QuadMesh("");
  ragged.vertices.pop_back();
  EXPECT_THROW(EncodeGeometry({}, {ArchiveFrame{0, {ragged}}}), std::invalid_argument);
  ArchiveMesh outside = testing::QuadMesh("");
  outside.indices[4] = 4;
  EXPECT_THROW(EncodeGeometry({}, {ArchiveFrame{0, {outside}}}), std::invalid_argument);
  ArchiveMesh notTriangles = testing::QuadMesh("");
  notTriangles.indices.pop_back();
  EXPECT_THROW(EncodeGeometry({}, {ArchiveFrame{0, {notTriangles}}}), std::invalid_argument);
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

// The scene is built in key order, so the written directory's byte order
// is what the show sees.
TEST_F(ArchiveReaderTest, KeysComeInByteOrderAndBlocksHoldTheLastPayloadWritten) {
  SceneArchiveWriter w;
  w.addRecord("zeta", "GO", Bytes("z-payload"));
  w.addRecord("\xC3\xA9t\xC3\xA9", "GO", Bytes("e"));
  w.addRecord("alpha", "M", Bytes("first"));
  w.addRecord("alpha", "M", Bytes("a-payload"));
  w.addRecord("alpha", "GO", Bytes("g-payload"));
  ASSERT_TRUE(Open(w.finish()));
  EXPECT_EQ(archive.keys(), (std::vector<ArchiveKey>{
                                {"alpha", "GO"}, {"alpha", "M"}, {"zeta", "GO"}, {"\xC3\xA9t\xC3\xA9", "GO"}}));

  StorageBlock* material = archive.getBlock("alpha", "M");
  StorageBlock* geometry = archive.getBlock("alpha", "GO");
  ASSERT_TRUE(material && geometry);
  EXPECT_EQ(material->bytes(), Bytes("a-payload"));
  EXPECT_EQ(geometry->bytes(), Bytes("g-payload"));
  EXPECT_EQ(archive.getBlock("alpha", "L"), nullptr);
  EXPECT_EQ(archive.getBlock("ALPHA", "M"), nullptr) << "names match exactly";
}

TEST_F(ArchiveReaderTest, AFetchedBlockIsCachedAndComesBackRewound) {
  SceneArchiveWriter w;
  w.addRecord("n", "GO", {1, 0, 2, 0});
  ASSERT_TRUE(Open(w.finish()));
  StorageBlock* first = archive.getBlock("n", "GO");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->readU16(), 1);
  StorageBlock* again = archive.getBlock("n", "GO");
  EXPECT_EQ(again, first);
  EXPECT_EQ(again->position(), 0u);
  EXPECT_EQ(again->readU16(), 1);
  archive.close();
  EXPECT_FALSE(archive.isOpen());
  EXPECT_TRUE(archive.keys().empty());
  EXPECT_EQ(archive.getBlock("n", "GO"), nullptr);
}

TEST_F(ArchiveReaderTest, ARepeatedPairKeepsItsFirstPlaceAndTheLastOffset) {
  // Hand-made: two entries for (a, BMP), the second pointing at "new".
  ByteWriter dir;
  dir.u16(3);
  auto entry = [&](const std::string& name, const std::string& type, std::uint32_t offset) {
    dir.string(name);
    dir.string(type);
    dir.u32(offset);
    dir.u32(0);
  };
  const std::uint32_t directoryBytes = 2 + 3 * (2 + 1 + 2 + 3 + 8);
  const std::uint32_t records = 4 + directoryBytes;
  entry("a", "BMP", records);
  entry("b", "BMP", records + 7);
  entry("a", "BMP", records + 14);
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

TEST_F(ArchiveReaderTest, DamagedDirectoriesDoNotOpen) {
  EXPECT_FALSE(archive.openResource(resources, 147)) << "no such resource";
  EXPECT_FALSE(archive.openFile("")) << "an empty path";
  EXPECT_FALSE(Open({})) << "empty";
  ByteWriter shortDirectory;
  shortDirectory.u32(40);
  shortDirectory.u16(1);
  EXPECT_FALSE(Open(shortDirectory.take())) << "directory longer than the file";
  ByteWriter tooManyEntries;
  tooManyEntries.u32(2);
  tooManyEntries.u16(5);
  EXPECT_FALSE(Open(tooManyEntries.take())) << "count beyond the directory";
  EXPECT_FALSE(archive.isOpen());
}

TEST_F(ArchiveReaderTest, ARecordOutsideTheFileThrowsWhenFetched) {
  SceneArchiveWriter w;
  w.addRecord("x", "GO", Bytes("payload"));
  auto file = w.finish();
  file.resize(file.size() - 2);  // the record's length now runs past the end
  ASSERT_TRUE(Open(file)) << "only the directory is read when opening";
  EXPECT_THROW(archive.getBlock("x", "GO"), FileStorage::ErrorReadFromResource);
}

}  // namespace
}  // namespace brisane
