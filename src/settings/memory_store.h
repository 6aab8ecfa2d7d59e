// A settings store held in memory, with the registry's rules: key and value
// names match without regard to ASCII case, the name and data size limits
// apply on reading, and keys can be marked to refuse writing.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/settings_store.h"

namespace brisane {

class MemorySettingsStore {
 public:
  struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  struct KeyData {
    std::map<std::string, KeyData, NoCaseLess> subKeys;
    std::vector<std::pair<std::string, std::string>> values;  // in the order first written
    bool refuseWrite = false;
  };

  // The root of the store (like HKEY_CURRENT_USER); valid while the store lives.
  std::unique_ptr<SettingsKey> Root();

  // Test access: the key at a '\'-separated path, or null.
  KeyData* Find(std::string_view path);
  // Creates the key at the path (and those above it).
  KeyData& Make(std::string_view path);
  // The data of a value, or null.
  const std::string* Text(std::string_view path, std::string_view name);
  void SetText(std::string_view path, std::string_view name, std::string_view data);

  static bool SameName(std::string_view a, std::string_view b);

 private:
  KeyData root_;
};

}  // namespace brisane
