#include "settings/settings.h"

namespace brisane {

std::string SettingsKeyPath() { return std::string("Control Panel\\Desktop") + "\\ScreenSaver." + kProgramName; }

int SaveSettings(SettingsKey& currentUser) {
  SettingsRoot.Save(currentUser, SettingsKeyPath());
  return 0;
}

bool LoadStoredSettings(SettingsKey& currentUser) { return SettingsRoot.Load(currentUser, SettingsKeyPath()); }

}  // namespace brisane
