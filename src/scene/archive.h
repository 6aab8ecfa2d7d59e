// The scene archive: a directory of named, typed records in front of the
// records themselves. Blocks are read on first use and cached until close.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/resource_source.h"
#include "scene/storage.h"

namespace brisane {

// Record type tags.
inline constexpr char kRecordGeometry[] = "GO";
inline constexpr char kRecordCamera[] = "C";
inline constexpr char kRecordLight[] = "L";
inline constexpr char kRecordMaterial[] = "M";
inline constexpr char kRecordImage[] = "BMP";

inline constexpr char kSceneResourceType[] = "SSSFILE";

// The parent that top-level nodes of a scene file name. No record bears it,
// so they hang under the loaded scene's own root, which is named apart
// (kSceneRootName).
inline constexpr char kFileRootName[] = "Scene Root";

struct ArchiveKey {
  std::string name;
  std::string type;
  // Byte order of name, then of type (std::string compares as unsigned chars).
  friend auto operator<=>(const ArchiveKey&, const ArchiveKey&) = default;
};

class SceneArchive {
 public:
  SceneArchive() = default;
  SceneArchive(const SceneArchive&) = delete;
  SceneArchive& operator=(const SceneArchive&) = delete;

  // Each opens the source and reads the directory; any failure on the way
  // gives false and leaves the archive closed.
  bool OpenFile(const std::string& path);
  bool OpenResource(const ResourceSource& resources, std::uint16_t resourceId);

  // The block of record (name, type), read on first use and rewound on every
  // later one; null when the pair is not in the directory. Throws the
  // storage's exception when the record lies outside the source.
  StorageBlock* GetBlock(const std::string& name, const std::string& type);

  // Every pair of the directory once, in the order of first appearance.
  const std::vector<ArchiveKey>& keys() const { return order_; }

  bool isOpen() const { return storage_ != nullptr; }
  void Close();

 private:
  struct ArchiveEntry {
    std::uint64_t offset = 0;
    std::unique_ptr<StorageBlock> block;
  };

  bool ReadDirectory(std::unique_ptr<FileStorage> storage);

  std::unique_ptr<FileStorage> storage_;
  std::map<ArchiveKey, ArchiveEntry, std::less<>> directory_;
  std::vector<ArchiveKey> order_;
};

}  // namespace brisane
