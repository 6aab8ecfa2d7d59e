#include "scene/archive.h"

#include <exception>

namespace brisane {

bool SceneArchive::openFile(const std::string& path) {
  close();
  try {
    return readDirectory(std::make_unique<FileStorage>(path));
  } catch (const std::exception&) {
    close();
    return false;
  }
}

bool SceneArchive::openResource(const ResourceSource& resources, std::uint16_t resourceId) {
  close();
  try {
    return readDirectory(std::make_unique<FileStorage>(resources, resourceId, kSceneResourceType));
  } catch (const std::exception&) {
    close();
    return false;
  }
}

bool SceneArchive::readDirectory(std::unique_ptr<FileStorage> storage) {
  StorageBlock directory;
  directory.load(*storage, 0, 0);
  const std::uint16_t count = directory.readU16();
  for (std::uint16_t i = 0; i < count; ++i) {
    ArchiveKey key;
    key.name = directory.readString();
    key.type = directory.readString();
    const std::uint64_t low = directory.readU32();
    const std::uint64_t high = directory.readU32();
    ArchiveEntry entry;
    entry.offset = high << 32 | low;
    entry.block = std::make_unique<StorageBlock>();
    auto [it, inserted] = directory_.try_emplace(key);
    if (inserted) order_.push_back(key);
    it->second = std::move(entry);  // a repeated pair replaces the earlier entry
  }
  storage_ = std::move(storage);
  return true;
}

StorageBlock* SceneArchive::getBlock(const std::string& name, const std::string& type) {
  if (!storage_) return nullptr;
  auto it = directory_.find(ArchiveKey{name, type});
  if (it == directory_.end()) return nullptr;
  StorageBlock& block = *it->second.block;
  if (block.loaded()) {
    block.rewind();
  } else {
    block.load(*storage_, it->second.offset, 0);
  }
  return &block;
}

void SceneArchive::close() {
  directory_.clear();
  order_.clear();
  storage_.reset();
}

}  // namespace brisane
