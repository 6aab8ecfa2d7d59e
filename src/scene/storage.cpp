#include "scene/storage.h"

#include <climits>
#include <cstring>
#include <new>

namespace brisane {

namespace {

std::uint32_t LoadU32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

FileStorage::FileStorage(const std::string& path) : kind_(Kind::File) {
  if (path.empty()) throw ErrorReadFromFile();
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) throw ErrorReadFromFile();
  // The size bounds every later read, so a damaged length cannot make us
  // allocate or read beyond the file.
  if (std::fseek(file_.get(), 0, SEEK_END) != 0) throw ErrorReadFromFile();
  const long end = std::ftell(file_.get());
  if (end < 0) throw ErrorReadFromFile();
  fileSize_ = static_cast<std::uint64_t>(end);
}

FileStorage::FileStorage(const ResourceSource& resources, std::uint16_t id, const std::string& type)
    : kind_(Kind::Resource) {
  auto bytes = resources.find(id, type);
  if (!bytes) throw ErrorReadFromResource();
  resource_ = *bytes;
}

std::uint32_t FileStorage::size() {
  switch (kind_) {
    case Kind::File:
      return fileSize_ > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(fileSize_);
    case Kind::Resource: {
      const std::uint64_t length = resource_.size();
      return length > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(length);
    }
  }
  return 0;
}

std::uint32_t FileStorage::Read(StorageBlock& block, std::uint64_t offset, std::uint32_t size) {
  switch (kind_) {
    case Kind::File:
      return ReadFile(block, offset, size);
    case Kind::Resource:
      return ReadResource(block, offset, size);
  }
  return 0;
}

std::uint32_t FileStorage::ReadFile(StorageBlock& block, std::uint64_t offset, std::uint32_t size) {
  if (offset > fileSize_ || offset > static_cast<std::uint64_t>(LONG_MAX)) throw ErrorReadFromFile();
  if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0) throw ErrorReadFromFile();
  std::uint64_t left = fileSize_ - offset;
  if (size == 0) {
    std::uint8_t prefix[4];
    if (left < 4 || std::fread(prefix, 1, 4, file_.get()) != 4) throw ErrorReadFromFile();
    size = LoadU32(prefix);
    left -= 4;
  }
  if (size > left) throw ErrorReadFromFile();
  std::vector<std::uint8_t> bytes(size);
  if (size != 0 && std::fread(bytes.data(), 1, size, file_.get()) != size) throw ErrorReadFromFile();
  block.bytes_ = std::move(bytes);
  return size;
}

std::uint32_t FileStorage::ReadResource(StorageBlock& block, std::uint64_t offset, std::uint32_t size) {
  // Resources are addressed by the low half of the offset.
  std::uint64_t start = offset & 0xFFFFFFFFu;
  if (start > resource_.size()) throw ErrorReadFromResource();
  std::uint64_t left = resource_.size() - start;
  if (size == 0) {
    if (left < 4) throw ErrorReadFromResource();
    size = LoadU32(resource_.data() + start);
    start += 4;
    left -= 4;
  }
  if (size > left) throw ErrorReadFromResource();
  const auto* from = resource_.data() + start;
  block.bytes_.assign(from, from + size);
  return size;
}

void StorageBlock::Load(FileStorage& storage, std::uint64_t offset, std::uint32_t size) {
  storage.Read(*this, offset, size);
  loaded_ = true;
}

const std::uint8_t* StorageBlock::Take(std::size_t n) {
  if (n > remaining()) throw ErrorReadPastEnd();
  const std::uint8_t* p = bytes_.data() + position_;
  position_ += static_cast<std::uint32_t>(n);
  return p;
}

void StorageBlock::ReadBytes(void* destination, std::size_t n) {
  const std::uint8_t* p = Take(n);
  if (n != 0) std::memcpy(destination, p, n);
}

void StorageBlock::Skip(std::size_t n) { Take(n); }


std::uint16_t StorageBlock::ReadU16() {
  const std::uint8_t* p = Take(2);
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t StorageBlock::ReadU32() { return LoadU32(Take(4)); }

float StorageBlock::ReadFloat() {
  const std::uint32_t bits = ReadU32();
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

Matrix StorageBlock::ReadMatrix() {
  if (remaining() < 64) throw ErrorReadPastEnd();
  Matrix matrix;
  for (float& element : matrix.m) element = ReadFloat();
  return matrix;
}

std::string StorageBlock::ReadString() {
  const std::uint16_t n = ReadU16();
  const std::uint8_t* p = Take(n);
  return std::string(reinterpret_cast<const char*>(p), n);
}

std::optional<StorageBlock> ReadWholePicture(const ResourceSource& resources, std::uint16_t id,
                                             const std::string& path, std::uint32_t maxBytes) {
  try {
    std::unique_ptr<FileStorage> storage = path.empty()
                                               ? std::make_unique<FileStorage>(resources, id, kPictureResourceType)
                                               : std::make_unique<FileStorage>(path);
    const std::uint32_t size = storage->size();
    // A size of 0 would ask for a length-prefixed read.
    if (size == 0 || size > maxBytes) return std::nullopt;
    StorageBlock block;
    block.Load(*storage, 0, size);
    return block;
  } catch (const FileStorage::ErrorReadFromFile&) {
  } catch (const FileStorage::ErrorReadFromResource&) {
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

}  // namespace brisane
