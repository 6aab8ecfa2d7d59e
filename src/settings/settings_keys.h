// Every setting the program keeps, declared once: key, type, default and the
// range the configuration dialog offers. The loader, the dialog and the
// readers all go through this table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "settings/node.h"

namespace brisane {

// Defaults that depend on the display devices found at start-up.
enum class DeviceDefault : std::uint8_t {
  None,               // the fixed default below
  DefaultDevice,      // the device SelectDefaultDevice chooses
  DesktopMode,        // that device's desktop mode index
  MultiTexture,       // 1 when that device applies two or more textures at once
};

struct SettingSpec {
  std::string_view key;
  ValueType type;
  std::int32_t defaultValue;
  std::int32_t minimum;  // the range the dialog offers; stored values outside it are used as they are
  std::int32_t maximum;
  DeviceDefault deviceDefault = DeviceDefault::None;
};

std::span<const SettingSpec> SettingSpecs();
// Null for a key the program does not keep.
const SettingSpec* FindSetting(std::string_view key);

// Display gamma for a "GammaControl" value: 0.50 to 1.50, 1.00 at 50.
double GammaLevel(std::int32_t gammaControl);
// Minutes between volleys for a "FiringPeriod" value; anything unknown is one minute.
std::int32_t FiringPeriodMinutes(std::int32_t firingPeriod);

}  // namespace brisane
