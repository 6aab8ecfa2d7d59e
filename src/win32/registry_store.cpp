#include "win32/registry_store.h"

#include <vector>

#include "settings/settings.h"

namespace brisane {

std::unique_ptr<RegistryKey> RegistryKey::CurrentUser() {
  return std::make_unique<RegistryKey>(HKEY_CURRENT_USER, false);
}

RegistryKey::~RegistryKey() {
  if (owned_) RegCloseKey(key_);
}

std::unique_ptr<SettingsKey> RegistryKey::CreateForWrite(std::string_view path, bool withSubKeys) {
  const std::string sub(path);
  char emptyClass[] = "";
  HKEY out = nullptr;
  const REGSAM access = KEY_SET_VALUE | (withSubKeys ? KEY_CREATE_SUB_KEY : 0);
  if (RegCreateKeyExA(key_, sub.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE, access, nullptr, &out, nullptr) !=
      ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<RegistryKey>(out, true);
}

std::unique_ptr<SettingsKey> RegistryKey::OpenForRead(std::string_view path) {
  const std::string sub(path);
  HKEY out = nullptr;
  if (RegOpenKeyExA(key_, sub.c_str(), 0, KEY_READ, &out) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<RegistryKey>(out, true);
}

bool RegistryKey::SetText(const std::string& name, std::string_view text) {
  // The count excludes the terminator. The system reads the byte after the
  // text (and stores a terminator when it is zero), so hand it a buffer that
  // has one.
  const std::string data(text);
  return RegSetValueExA(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

void RegistryKey::Flush() { RegFlushKey(key_); }

std::optional<std::string> RegistryKey::EnumSubKey(std::uint32_t index) {
  char name[kMaxSettingsNameBytes];
  if (RegEnumKeyA(key_, index, name, sizeof name) != ERROR_SUCCESS) return std::nullopt;
  return std::string(name);
}

std::uint32_t RegistryKey::ValueCount() {
  DWORD values = 0;
  if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return values;
}

std::optional<SettingsKey::NamedText> RegistryKey::EnumValue(std::uint32_t index) {
  char name[kMaxSettingsNameBytes];
  DWORD nameLength = sizeof name;
  // Sized for the longest text the program itself writes, not a fixed 200
  // bytes: a long flag path must come back whole.
  std::vector<BYTE> data(kMaxSettingsDataBytes);
  DWORD dataLength = static_cast<DWORD>(data.size());
  if (RegEnumValueA(key_, index, name, &nameLength, nullptr, nullptr, data.data(), &dataLength) != ERROR_SUCCESS)
    return std::nullopt;
  if (dataLength > data.size()) return std::nullopt;
  return NamedText{std::string(name, nameLength), std::string(reinterpret_cast<const char*>(data.data()), dataLength)};
}

int SaveSettings(const Node& settings) { return SaveSettings(settings, *RegistryKey::CurrentUser()); }

bool LoadStoredSettings(Node& settings) { return LoadStoredSettings(settings, *RegistryKey::CurrentUser()); }

}  // namespace brisane
