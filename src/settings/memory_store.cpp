#include "settings/memory_store.h"

#include <algorithm>

namespace brisane {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    const std::size_t sep = path.find('\\');
    if (sep != 0) parts.emplace_back(path.substr(0, sep));
    if (sep == std::string_view::npos) break;
    path.remove_prefix(sep + 1);
  }
  return parts;
}

class MemoryKey final : public SettingsKey {
 public:
  MemoryKey(MemorySettingsStore::KeyData& data, bool writable) : data_(data), writable_(writable) {}

  std::unique_ptr<SettingsKey> CreateForWrite(std::string_view path, bool /*withSubKeys*/) override {
    MemorySettingsStore::KeyData* key = &data_;
    for (const std::string& part : SplitKeyPath(path)) {
      if (key->refuseWrite) return nullptr;
      key = &key->subKeys[part];
    }
    if (key->refuseWrite) return nullptr;
    return std::make_unique<MemoryKey>(*key, true);
  }

  std::unique_ptr<SettingsKey> OpenForRead(std::string_view path) override {
    MemorySettingsStore::KeyData* key = &data_;
    for (const std::string& part : SplitKeyPath(path)) {
      auto it = key->subKeys.find(part);
      if (it == key->subKeys.end()) return nullptr;
      key = &it->second;
    }
    return std::make_unique<MemoryKey>(*key, false);
  }

  bool SetText(const std::string& name, std::string_view text) override {
    if (!writable_) return false;
    for (auto& value : data_.values) {
      if (MemorySettingsStore::SameName(value.first, name)) {
        value.second = std::string(text);
        return true;
      }
    }
    data_.values.emplace_back(name, std::string(text));
    return true;
  }

  void Flush() override {}

  std::optional<std::string> EnumSubKey(std::uint32_t index) override {
    if (index >= data_.subKeys.size()) return std::nullopt;
    auto it = std::next(data_.subKeys.begin(), index);
    if (it->first.size() >= kMaxSettingsNameBytes) return std::nullopt;
    return it->first;
  }

  std::uint32_t ValueCount() override { return static_cast<std::uint32_t>(data_.values.size()); }

  std::optional<NamedText> EnumValue(std::uint32_t index) override {
    if (index >= data_.values.size()) return std::nullopt;
    const auto& [name, data] = data_.values[index];
    if (name.size() >= kMaxSettingsNameBytes || data.size() > kMaxSettingsDataBytes) return std::nullopt;
    return NamedText{name, data};
  }

 private:
  MemorySettingsStore::KeyData& data_;
  bool writable_;
};

}  // namespace

bool MemorySettingsStore::NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
  });
}

bool MemorySettingsStore::SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(x) == Lower(y);
         });
}

std::unique_ptr<SettingsKey> MemorySettingsStore::Root() { return std::make_unique<MemoryKey>(root_, true); }

MemorySettingsStore::KeyData* MemorySettingsStore::Find(std::string_view path) {
  KeyData* key = &root_;
  for (const std::string& part : SplitKeyPath(path)) {
    auto it = key->subKeys.find(part);
    if (it == key->subKeys.end()) return nullptr;
    key = &it->second;
  }
  return key;
}

MemorySettingsStore::KeyData& MemorySettingsStore::Make(std::string_view path) {
  KeyData* key = &root_;
  for (const std::string& part : SplitKeyPath(path)) key = &key->subKeys[part];
  return *key;
}

const std::string* MemorySettingsStore::Text(std::string_view path, std::string_view name) {
  KeyData* key = Find(path);
  if (!key) return nullptr;
  for (const auto& value : key->values)
    if (SameName(value.first, name)) return &value.second;
  return nullptr;
}

void MemorySettingsStore::SetText(std::string_view path, std::string_view name, std::string_view data) {
  MemoryKey(Make(path), true).SetText(std::string(name), data);
}

}  // namespace brisane
