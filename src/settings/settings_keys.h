// Every setting the program keeps, declared once: key, type, default and the
// range the configuration dialog offers. The loader, the dialog and the
// readers all go through this table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "settings/node.h"

namespace brisane {

// The keys, named once: code reads a setting through these, so a misspelt
// key fails to compile instead of reading a silent 0.
namespace key {
inline constexpr std::string_view DeviceNum = "DeviceNum";
inline constexpr std::string_view ModeNum = "ModeNum";
inline constexpr std::string_view UseDesktopRes = "UseDesktopRes";
inline constexpr std::string_view ShowFPS = "ShowFPS";
inline constexpr std::string_view DisableSound = "DisableSound";
inline constexpr std::string_view EnableLightmaps = "EnableLightmaps";
inline constexpr std::string_view EnableEnvWater = "EnableEnvWater";
inline constexpr std::string_view EnableLensFlares = "EnableLensFlares";
inline constexpr std::string_view FlagNum = "FlagNum";
inline constexpr std::string_view FlagPath = "FlagPath";
inline constexpr std::string_view GammaControl = "GammaControl";
inline constexpr std::string_view EnableLighting = "EnableLighting";
inline constexpr std::string_view LightDelay = "LightDelay";
inline constexpr std::string_view ChangeDelay = "ChangeDelay";
inline constexpr std::string_view EnableFiring = "EnableFiring";
inline constexpr std::string_view FiringPeriod = "FiringPeriod";
inline constexpr std::string_view Camera1 = "Camera1";
inline constexpr std::string_view Camera2 = "Camera2";
inline constexpr std::string_view Camera3 = "Camera3";
inline constexpr std::string_view Camera4 = "Camera4";
inline constexpr std::string_view Camera5 = "Camera5";
inline constexpr std::string_view Camera6 = "Camera6";
inline constexpr std::string_view Camera7 = "Camera7";
inline constexpr std::string_view RandomView = "RandomView";
inline constexpr std::string_view SwitchPeriod = "SwitchPeriod";
inline constexpr std::string_view DisableOnMouseActivate = "DisableOnMouseActivate";
inline constexpr std::string_view MasterVolume = "MasterVolume";
}  // namespace key

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
