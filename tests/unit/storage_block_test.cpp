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

std::vector<std::uint8_t> LengthPrefixed(const std::vector<std::uint8_t>& payload, std::size_t leading = 0) {
  ByteWriter out;
  for (std::size_t i = 0; i < leading; ++i) out.u8(0xEE);
  out.u32(static_cast<std::uint32_t>(payload.size()));
  out.bytes(payload);
  return out.take();
}

// Random names: test processes may run side by side.
struct TempFile {
  explicit TempFile(const std::vector<std::uint8_t>& bytes)
      : path((std::filesystem::temp_directory_path() /
              ("brisane_storage_" + std::to_string(std::random_device{}()) + ".bin")).string()) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  ~TempFile() { std::remove(path.c_str()); }
  const std::string path;
};

TEST(StorageBlockTest, TypedReadsAreLittleEndianAndAdvance) {
  ByteWriter out;
  out.u16(0x1234);
  out.u32(0xA1B2C3D4);
  out.f32(-2.5f);
  Matrix m;
  for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i) + 0.5f;
  out.matrix(m);
  StorageBlock block(out.take());
  EXPECT_EQ(block.bytes()[0], 0x34);
  EXPECT_EQ(block.readU16(), 0x1234);
  EXPECT_EQ(block.readU32(), 0xA1B2C3D4u);
  EXPECT_EQ(block.readFloat(), -2.5f);
  const Matrix back = block.readMatrix();
  EXPECT_EQ(back, m);
  EXPECT_EQ(back(3, 0), 12.5f) << "the first four floats are the first row";
  EXPECT_EQ(block.position(), 2u + 4 + 4 + 64);
}

TEST(StorageBlockTest, StringsAreCountedBytes) {
  StorageBlock block(std::vector<std::uint8_t>{3, 0, 'a', 'b', 'c', 0, 0, 2, 0, 0xFF, 'x'});
  EXPECT_EQ(block.readString(), "abc");
  EXPECT_EQ(block.position(), 5u);
  EXPECT_EQ(block.readString(), "");
  EXPECT_EQ(block.position(), 7u);
  EXPECT_EQ(block.readString(), std::string("\xFFx"));
}

TEST(StorageBlockTest, ReadsPastTheEndThrowAndStayInside) {
  StorageBlock block(std::vector<std::uint8_t>{1, 2, 3});
  EXPECT_THROW(block.readU32(), StorageBlock::ErrorReadPastEnd);
  EXPECT_EQ(block.position(), 0u) << "a refused read takes nothing";
  EXPECT_EQ(block.readU16(), 0x0201);
  EXPECT_THROW(block.readU16(), StorageBlock::ErrorReadPastEnd);
  EXPECT_THROW(block.readMatrix(), StorageBlock::ErrorReadPastEnd);

  StorageBlock counted(std::vector<std::uint8_t>{9, 0, 'a'});  // promises 9 bytes, has 1
  EXPECT_THROW(counted.readString(), StorageBlock::ErrorReadPastEnd);
  StorageBlock empty;
  std::uint8_t byte = 0;
  EXPECT_THROW(empty.readBytes(&byte, 1), StorageBlock::ErrorReadPastEnd);
  EXPECT_NO_THROW(empty.readBytes(&byte, 0));
}

TEST(FileStorageTest, OpeningFailuresThrowTheirSourcesException) {
  EXPECT_THROW(FileStorage(""), FileStorage::ErrorReadFromFile);
  EXPECT_THROW(FileStorage("/nonexistent/brisane/scene.sss"), FileStorage::ErrorReadFromFile);
  MemoryResourceSource resources;
  resources.add(147, "SSSFILE", {1, 2, 3});
  EXPECT_THROW(FileStorage(resources, 148, "SSSFILE"), FileStorage::ErrorReadFromResource);
  EXPECT_THROW(FileStorage(resources, 147, "JPEGFILE"), FileStorage::ErrorReadFromResource);
  FileStorage found(resources, 147, "SSSFILE");
  EXPECT_EQ(found.kind(), FileStorage::KindResource);
  EXPECT_EQ(found.size(), 3u);
}

// Both sources must hand out the same bytes for the same requests.
class BothSourcesTest : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<FileStorage> Open(const std::vector<std::uint8_t>& bytes) {
    if (GetParam()) {
      file_ = std::make_unique<TempFile>(bytes);
      return std::make_unique<FileStorage>(file_->path);
    }
    resources_.add(7, "DATA", bytes);
    return std::make_unique<FileStorage>(resources_, 7, "DATA");
  }
  std::unique_ptr<TempFile> file_;
  MemoryResourceSource resources_;
};

TEST_P(BothSourcesTest, LengthPrefixedAndSizedReads) {
  const auto bytes = LengthPrefixed({'h', 'e', 'l', 'l', 'o'}, 3);
  auto storage = Open(bytes);
  EXPECT_EQ(storage->size(), bytes.size());

  StorageBlock block;
  EXPECT_EQ(storage->read(block, 3, 0), 5u);
  EXPECT_EQ(block.bytes(), (std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}));

  StorageBlock sized;
  EXPECT_EQ(storage->read(sized, 3, 6), 6u) << "a sized read skips no prefix";
  EXPECT_EQ(sized.bytes(), (std::vector<std::uint8_t>{5, 0, 0, 0, 'h', 'e'}));

  StorageBlock whole;
  EXPECT_EQ(storage->read(whole, 0, storage->size()), bytes.size());
  EXPECT_EQ(whole.bytes(), bytes);
}

TEST_P(BothSourcesTest, RangesBeyondTheSourceAreRefused) {
  ByteWriter out;
  out.u32(100);  // a length far beyond the data
  out.bytes(std::vector<std::uint8_t>{1, 2, 3});
  auto storage = Open(out.take());
  StorageBlock block(std::vector<std::uint8_t>{9});
  EXPECT_ANY_THROW(storage->read(block, 0, 0));
  EXPECT_ANY_THROW(storage->read(block, 5, 0)) << "no room for the length";
  EXPECT_ANY_THROW(storage->read(block, 1000, 1));
  EXPECT_ANY_THROW(storage->read(block, 0, 8));
  EXPECT_EQ(block.bytes(), std::vector<std::uint8_t>{9}) << "a refused read leaves the block alone";
}

TEST_P(BothSourcesTest, LoadKeepsThePositionAndMarksTheBlock) {
  auto storage = Open(LengthPrefixed({1, 0, 2, 0}));
  StorageBlock block;
  EXPECT_FALSE(block.loaded());
  block.load(*storage, 0, 0);
  EXPECT_TRUE(block.loaded());
  EXPECT_EQ(block.readU16(), 1);
  block.load(*storage, 0, 0);
  EXPECT_EQ(block.position(), 2u);
  EXPECT_EQ(block.readU16(), 2);
  block.rewind();
  EXPECT_EQ(block.readU16(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sources, BothSourcesTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "File" : "Resource"; });

}  // namespace
}  // namespace brisane
