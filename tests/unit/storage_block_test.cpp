#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scene/archive_writer.h"
#include "scene/storage.h"

namespace brisane {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StorageBlockTest, TypedReadsAreLittleEndianAndAdvanceAndStringsAreCounted) {
  ByteWriter out;
  out.u16(0x1234);
  out.u32(0xA1B2C3D4);
  out.f32(-2.5f);
  Matrix m;
  for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i) + 0.5f;
  out.matrix(m);
  out.bytes(Bytes{3, 0, 'a', 'b', 'c', 2, 0, 0xFF, 'x'});
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
  StorageBlock block(Bytes{1, 2, 3});
  EXPECT_THROW(block.readU32(), StorageBlock::ErrorReadPastEnd);
  EXPECT_EQ(block.position(), 0u);
  EXPECT_EQ(block.readU16(), 0x0201);
  EXPECT_THROW(block.readU16(), StorageBlock::ErrorReadPastEnd);
  StorageBlock counted(Bytes{9, 0, 'a'});  // promises 9 bytes, has 1
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
  std::unique_ptr<FileStorage> Open(const Bytes& bytes) {
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
  const Bytes bytes = {0xEE, 0xEE, 0xEE, 5, 0, 0, 0, 'h', 'e', 'l', 'l', 'o'};
  auto storage = Open(bytes);
  EXPECT_EQ(storage->size(), bytes.size());
  StorageBlock block;
  block.load(*storage, 3, 0);
  EXPECT_EQ(block.readU16(), 0x6568);  // "he"
  block.load(*storage, 3, 0);
  EXPECT_TRUE(block.loaded());
  EXPECT_EQ(block.readU16(), 0x6C6C);  // "ll": a reload keeps the position
  EXPECT_EQ(storage->read(block, 3, 0), 5u);
  EXPECT_EQ(block.bytes(), (Bytes{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(storage->read(block, 3, 6), 6u);  // a sized read skips no prefix
  EXPECT_EQ(block.bytes(), (Bytes{5, 0, 0, 0, 'h', 'e'}));
  // 0x5EE at 2 is a length far beyond the data; no room for one at 9.
  for (const auto& [offset, size] : {std::pair{2, 0}, std::pair{9, 0}, std::pair{1000, 1}, std::pair{0, 13}}) {
    StorageBlock kept(Bytes{9});
    EXPECT_ANY_THROW(storage->read(kept, static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(size)));
    EXPECT_EQ(kept.bytes(), Bytes{9});
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, BothSourcesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Resource"; });

}  // namespace
}  // namespace brisane
