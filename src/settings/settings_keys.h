// Every setting the program keeps, declared once: key, type, default, the
// range the configuration dialog offers and the control that edits it. The
// loader, the dialog and the readers all go through this table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
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

// How the configuration dialogs show a setting.
enum class ControlKind : std::uint8_t {
  None,              // not edited by a control of its own
  CheckBox,          // checked = 1
  InvertedCheckBox,  // checked = 0 (the box names the opposite of the setting)
  List,              // the selected position
  Trackbar,          // the position
};

// What the label beside a trackbar shows through its format.
enum class LabelValue : std::uint8_t {
  Setting,  // the value itself, as unsigned
  Gamma,    // GammaLevel of the value
};

struct DialogBinding {
  std::uint16_t dialog = 0;   // resource number of the dialog holding the control
  std::uint16_t control = 0;  // control id within it
  ControlKind kind = ControlKind::None;
  std::uint16_t label = 0;    // static text rewritten from the value; 0 = none
  std::string_view labelFormat = {};
  LabelValue labelValue = LabelValue::Setting;
};

struct SettingSpec {
  std::string_view key;
  ValueType type;
  std::int32_t defaultValue;
  std::int32_t minimum;  // the range the dialog offers; stored values outside it are used as they are
  std::int32_t maximum;
  DeviceDefault deviceDefault = DeviceDefault::None;
  DialogBinding dialog = {};
};

std::span<const SettingSpec> SettingSpecs();
// Null for a key the program does not keep.
const SettingSpec* FindSetting(std::string_view key);

// The label text of a trackbar setting, e.g. "Gamma control: 1.25" for
// GammaControl 75; empty for a setting without a label.
std::string FormatSettingLabel(const SettingSpec& spec, std::int32_t value);

// Entries of the flag list; the position is the FlagNum value.
std::span<const std::string_view> FlagNames();
inline constexpr std::int32_t kCustomFlag = 1;  // the entry that loads a picture file
// Entries of the firing period list; the position is the FiringPeriod value.
std::span<const std::string_view> FiringPeriodNames();

// Display gamma for a "GammaControl" value: 0.50 to 1.50, 1.00 at 50.
double GammaLevel(std::int32_t gammaControl);
// Minutes between volleys for a "FiringPeriod" value; anything unknown is one minute.
std::int32_t FiringPeriodMinutes(std::int32_t firingPeriod);

}  // namespace brisane
