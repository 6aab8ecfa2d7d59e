// Where the settings tree is kept: a tree of keys holding named text values.
// On Windows this is the registry; tests and tools use MemorySettingsStore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace brisane {

// Value names and sub-key names longer than this (terminator included) are
// not read back; they are skipped like any unreadable item.
inline constexpr std::size_t kMaxSettingsNameBytes = 200;
// Value data is read whole up to this size, which is far beyond anything the
// program writes (a path is at most 32767 characters); larger data is skipped.
inline constexpr std::size_t kMaxSettingsDataBytes = 65536;

// An open key; closed when destroyed.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;

  // Creates the key at the path ('\' separated) or opens it when it exists,
  // for setting values (and creating sub-keys when withSubKeys). Null on failure.
  virtual std::unique_ptr<SettingsKey> CreateForWrite(std::string_view path, bool withSubKeys) = 0;
  // Opens an existing key for reading; null when it is absent or cannot be opened.
  virtual std::unique_ptr<SettingsKey> OpenForRead(std::string_view path) = 0;

  virtual bool SetText(const std::string& name, std::string_view text) = 0;
  virtual void Flush() = 0;

  // Name of the sub-key at index; nullopt at the end of the list or on error.
  virtual std::optional<std::string> EnumSubKey(std::uint32_t index) = 0;
  virtual std::uint32_t ValueCount() = 0;
  struct NamedText {
    std::string name;
    std::string data;  // exactly the stored bytes
  };
  // The value at index; nullopt when it cannot be read (including the size limits above).
  virtual std::optional<NamedText> EnumValue(std::uint32_t index) = 0;
};

}  // namespace brisane
