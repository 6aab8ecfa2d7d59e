#include "settings/settings.h"

namespace brisane {

std::string SettingsKeyPath() { return std::string("Control Panel\\Desktop") + "\\ScreenSaver." + kProgramName; }

int SaveSettings(const Node& settings, SettingsKey& currentUser) {
  settings.Save(currentUser, SettingsKeyPath());
  return 0;
}

bool LoadStoredSettings(Node& settings, SettingsKey& currentUser) {
  return settings.Load(currentUser, SettingsKeyPath());
}

}  // namespace brisane
