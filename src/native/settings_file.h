// The settings store of the native program: a text file in the user's
// configuration folder, one "Name=value" line a setting, each value in the
// same text form the registry holds ("2: 21", "1: 0.500000", "3: /a/flag.jpg"),
// the tree's sub-keys as "[path]" section lines. The file is read once into
// memory; the tree's keys are read and written there, and only Save puts
// them back on disk.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"
#include "settings/node.h"
#include "settings/memory_store.h"

namespace brisane {

// brisane/brisane.conf under xdgConfigHome when it is an absolute path,
// else under home/.config; empty when neither gives an absolute path.
// Either argument may be null (unset).
std::filesystem::path SettingsFilePath(const char* xdgConfigHome, const char* home);
// The same from this process's environment (the password database's home
// when HOME is unset).
std::filesystem::path DefaultSettingsFilePath();

// Files larger than this are not settings files; they are left unread.
inline constexpr std::size_t kMaxSettingsFileBytes = 1 << 20;

class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path path);

  // Reads the file into the tree. A missing file is an empty tree; a line
  // that cannot be read is skipped (said in warnings) and the others kept.
  // False, with the reason in warnings, when the file exists but cannot be
  // read at all: the tree is empty then, so every setting gets its default.
  bool Read(std::vector<std::string>& warnings);
  // The current user's root, as the settings loader and saver expect it:
  // the file's own lines are the key at SettingsKeyPath().
  std::unique_ptr<SettingsKey> CurrentUser() { return store_.Root(); }
  // Writes the tree to the file (through a temporary file synced and renamed
  // over it, so a failed write leaves the old file whole), making its folder.
  // A file that was read keeps every line the tree does not own (comments,
  // lines it could not read) and its mode; a symbolic link stays a link.
  bool Save(std::string& error);

  const std::filesystem::path& path() const { return path_; }

  // The text form of a key tree, and back. Parse adds to the tree; each
  // line it skips is said in warnings as "line N: why".
  static std::string Format(const MemorySettingsStore::KeyData& top);
  static void Parse(std::string_view text, MemorySettingsStore& store, std::string_view topPath,
                    std::vector<std::string>& warnings);

 private:
  std::filesystem::path path_;
  std::string text_;  // the file as read, so a save changes only values
  MemorySettingsStore store_;
};

// The tree for a run, through the same loader as on Windows: defaults, then
// the file's values over them.
void LoadFileSettings(Node& root, SettingsFile& file);

}  // namespace brisane
