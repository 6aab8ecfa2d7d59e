// Where SettingsRoot is kept, and the operations that store and restore it.
#pragma once

#include <string>

#include "settings/node.h"
#include "platform/settings_store.h"

namespace brisane {

// The program's name as the user sees it: window title and settings key.
inline constexpr char kProgramName[] = "Brisane 3D Screensaver";

// Below the current user's root key.
std::string SettingsKeyPath();

// Writes SettingsRoot below currentUser; the outcome is not reported (0).
int SaveSettings(SettingsKey& currentUser);
// Reads the stored settings over what SettingsRoot holds.
bool LoadStoredSettings(SettingsKey& currentUser);

}  // namespace brisane
