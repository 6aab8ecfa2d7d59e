// Makes the settings tree ready for use: defaults, then the stored values
// over them, then the stored display device and mode checked against the
// devices actually present.
#pragma once

#include "render/device_table.h"
#include "settings/node.h"
#include "platform/settings_store.h"

namespace brisane {

// Reads below currentUser at SettingsKeyPath(). Makes the chosen device
// current and sets its selected mode. Returns 0, or E_FAIL when no display
// device can be chosen (after `fatal` was told why).
HResult LoadSettings(Node& root, SettingsKey& currentUser, DeviceTable& table, const FatalSink& fatal);

// Where the display settings' defaults come from: the device chosen by
// default, its desktop mode, and whether it applies two textures at once
// (lightmaps and the mixed water need that).
struct DisplayDefaults {
  std::uint32_t device = 0;
  std::uint32_t desktopMode = 0;
  bool multiTexture = true;
};

// The same for a host whose one display always draws: the defaults, then
// the stored values over them; the display keys are kept as stored and mean
// nothing to it.
void LoadSettings(Node& root, SettingsKey& currentUser, const DisplayDefaults& display);

}  // namespace brisane
