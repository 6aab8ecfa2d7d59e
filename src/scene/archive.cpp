#include "scene/archive.h"

#include <exception>

namespace brisane {

bool SceneArchive::OpenFile(const std::string& path) {
  Close();
  try {
    return ReadDirectory(std::make_unique<FileStorage>(path));
  } catch (const std::exception&) {
    Close();
    return false;
  }
}

bool SceneArchive::OpenResource(const ResourceSource& resources, std::uint16_t resourceId) {
  Close();
  try {
    return ReadDirectory(std::make_unique<FileStorage>(resources, resourceId, kSceneResourceType));
  } catch (const std::exception&) {
    Close();
    return false;
  }
}

bool SceneArchive::ReadDirectory(std::unique_ptr<FileStorage> storage) {
  StorageBlock directory;
  directory.Load(*storage, 0, 0);
  const std::uint16_t count = directory.ReadU16();
  for (std::uint16_t i = 0; i < count; ++i) {
    ArchiveKey key;
    key.name = directory.ReadString();
    key.type = directory.ReadString();
    const std::uint64_t low = directory.ReadU32();
    const std::uint64_t high = directory.ReadU32();
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

StorageBlock* SceneArchive::GetBlock(const std::string& name, const std::string& type) {
  if (!storage_) return nullptr;
  auto it = directory_.find(ArchiveKey{name, type});
  if (it == directory_.end()) return nullptr;
  StorageBlock& block = *it->second.block;
  if (block.loaded()) {
    block.Rewind();
  } else {
    block.Load(*storage_, it->second.offset, 0);
  }
  return &block;
}

void SceneArchive::Close() {
  directory_.clear();
  order_.clear();
  storage_.reset();
}

}  // namespace brisane
