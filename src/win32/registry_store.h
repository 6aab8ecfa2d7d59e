// The settings store on Windows: the current user's registry.
#pragma once

#include <windows.h>

#include "platform/settings_store.h"
#include "settings/node.h"

namespace brisane {

class RegistryKey final : public SettingsKey {
 public:
  // HKEY_CURRENT_USER itself; never closed.
  static std::unique_ptr<RegistryKey> CurrentUser();

  RegistryKey(HKEY key, bool owned) : key_(key), owned_(owned) {}
  ~RegistryKey() override;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::unique_ptr<SettingsKey> CreateForWrite(std::string_view path, bool withSubKeys) override;
  std::unique_ptr<SettingsKey> OpenForRead(std::string_view path) override;
  bool SetText(const std::string& name, std::string_view text) override;
  void Flush() override;
  std::optional<std::string> EnumSubKey(std::uint32_t index) override;
  std::uint32_t ValueCount() override;
  std::optional<NamedText> EnumValue(std::uint32_t index) override;

 private:
  HKEY key_;
  bool owned_;
};

// A settings tree at its registry location below the current user.
int SaveSettings(const Node& settings);
bool LoadStoredSettings(Node& settings);

}  // namespace brisane
