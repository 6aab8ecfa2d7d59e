// Byte-stream storage: a read-only source (a file or a resource of the
// program) that hands out byte ranges, and an in-memory block with typed
// little-endian reads over one such range.
#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scene/matrix.h"
#include "platform/resource_source.h"

namespace brisane {

class StorageBlock;

class FileStorage {
 public:
  struct ErrorReadFromFile : std::exception {
    const char* what() const noexcept override { return "FileStorage::ErrorReadFromFile"; }
  };
  struct ErrorReadFromResource : std::exception {
    const char* what() const noexcept override { return "FileStorage::ErrorReadFromResource"; }
  };

  enum class Kind : std::uint32_t { File = 0, Resource = 1 };

  // Opens the file for binary reading. An empty path never touches the file
  // system. Throws ErrorReadFromFile when it cannot be opened.
  explicit FileStorage(const std::string& path);
  // Locates resource (id, type). Throws ErrorReadFromResource when absent.
  FileStorage(const ResourceSource& resources, std::uint16_t id, const std::string& type);
  FileStorage(const FileStorage&) = delete;
  FileStorage& operator=(const FileStorage&) = delete;

  Kind kind() const { return kind_; }
  std::uint32_t size();

  // Places bytes of the source into block and returns how many. A size of 0
  // means length-prefixed: the u32 at offset is the length, the data follows.
  // A range that reaches past the end of the source throws the source's
  // exception and leaves the block as it was.
  std::uint32_t Read(StorageBlock& block, std::uint64_t offset, std::uint32_t size);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::uint32_t ReadFile(StorageBlock& block, std::uint64_t offset, std::uint32_t size);
  std::uint32_t ReadResource(StorageBlock& block, std::uint64_t offset, std::uint32_t size);

  Kind kind_ = Kind::File;
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::uint64_t fileSize_ = 0;
  std::span<const std::uint8_t> resource_;
};

class StorageBlock {
 public:
  // Every typed read checks the bytes left; the scene data never runs past
  // its block, so a read that would is damage.
  struct ErrorReadPastEnd : std::exception {
    const char* what() const noexcept override { return "StorageBlock::ErrorReadPastEnd"; }
  };

  StorageBlock() = default;
  explicit StorageBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), loaded_(true) {}

  // Fills the block from storage; the position is left where it was.
  void Load(FileStorage& storage, std::uint64_t offset, std::uint32_t size);

  void ReadBytes(void* destination, std::size_t n);
  std::uint16_t ReadU16();
  std::uint32_t ReadU32();
  float ReadFloat();
  Matrix ReadMatrix();
  std::string ReadString();
  void Skip(std::size_t n);
  void Rewind() { position_ = 0; }

  std::uint32_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }
  bool loaded() const { return loaded_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  friend class FileStorage;
  const std::uint8_t* Take(std::size_t n);

  std::vector<std::uint8_t> bytes_;
  std::uint32_t position_ = 0;
  bool loaded_ = false;
};

// Pictures are "JPEGFILE" resources of the program's module.
inline constexpr char kPictureResourceType[] = "JPEGFILE";

// The whole picture: the file at path when path is not empty, else the
// picture resource id. Nothing when it cannot be read, is empty, or is
// larger than maxBytes.
std::optional<StorageBlock> ReadWholePicture(const ResourceSource& resources, std::uint16_t id,
                                             const std::string& path, std::uint32_t maxBytes);

}  // namespace brisane
