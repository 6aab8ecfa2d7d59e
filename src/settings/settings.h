// Where the settings tree is kept, and the operations that store and restore it.
#pragma once

#include <string>

#include "settings/node.h"
#include "platform/settings_store.h"

namespace brisane {

// The program's name as the user sees it: window title and settings key.
inline constexpr char kProgramName[] = "Brisane 3D Screensaver";

// Below the current user's root key.
std::string SettingsKeyPath();

// Writes the tree below currentUser; the outcome is not reported (0).
int SaveSettings(const Node& settings, SettingsKey& currentUser);
// Reads the stored settings over what the tree holds.
bool LoadStoredSettings(Node& settings, SettingsKey& currentUser);

}  // namespace brisane
