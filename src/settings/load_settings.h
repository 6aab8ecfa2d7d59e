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

}  // namespace brisane
