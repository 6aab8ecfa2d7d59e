#include "settings/settings_keys.h"

#include <array>

namespace brisane {

namespace {

constexpr std::array kSettings = {
    SettingSpec{"DeviceNum", TypeInt, 0, 0, 19, DeviceDefault::DefaultDevice},
    SettingSpec{"ModeNum", TypeInt, 0, 0, 0x7fffffff, DeviceDefault::DesktopMode},
    SettingSpec{"UseDesktopRes", TypeInt, 1, 0, 1},
    SettingSpec{"ShowFPS", TypeInt, 0, 0, 1},
    SettingSpec{"DisableSound", TypeInt, 0, 0, 1},
    SettingSpec{"EnableLightmaps", TypeInt, 1, 0, 1, DeviceDefault::MultiTexture},
    SettingSpec{"EnableEnvWater", TypeInt, 1, 0, 1, DeviceDefault::MultiTexture},
    SettingSpec{"EnableLensFlares", TypeInt, 1, 0, 1},
    SettingSpec{"FlagNum", TypeInt, 0, 0, 26},
    SettingSpec{"FlagPath", TypeString, 0, 0, 0},  // absent until the user picks a picture
    SettingSpec{"GammaControl", TypeInt, 50, 0, 100},
    SettingSpec{"EnableLighting", TypeInt, 1, 0, 1},
    SettingSpec{"LightDelay", TypeInt, 1, 1, 60},
    SettingSpec{"ChangeDelay", TypeInt, 1, 1, 60},
    SettingSpec{"EnableFiring", TypeInt, 1, 0, 1},
    SettingSpec{"FiringPeriod", TypeInt, 0, 0, 5},
    SettingSpec{"Camera1", TypeInt, 1, 0, 1},
    SettingSpec{"Camera2", TypeInt, 1, 0, 1},
    SettingSpec{"Camera3", TypeInt, 1, 0, 1},
    SettingSpec{"Camera4", TypeInt, 1, 0, 1},
    SettingSpec{"Camera5", TypeInt, 1, 0, 1},
    SettingSpec{"Camera6", TypeInt, 1, 0, 1},
    SettingSpec{"Camera7", TypeInt, 1, 0, 1},
    SettingSpec{"RandomView", TypeInt, 0, 0, 1},
    SettingSpec{"SwitchPeriod", TypeInt, 21, 5, 60},
    SettingSpec{"DisableOnMouseActivate", TypeInt, 0, 0, 1},
    SettingSpec{"MasterVolume", TypeInt, 0, -5000, 0},
};

}  // namespace

std::span<const SettingSpec> SettingSpecs() { return kSettings; }

const SettingSpec* FindSetting(std::string_view key) {
  for (const SettingSpec& spec : kSettings)
    if (spec.key == key) return &spec;
  return nullptr;
}

double GammaLevel(std::int32_t gammaControl) { return gammaControl * 0.01 + 0.5; }

std::int32_t FiringPeriodMinutes(std::int32_t firingPeriod) {
  static constexpr std::array<std::int32_t, 6> kMinutes = {1, 5, 10, 15, 30, 60};
  if (firingPeriod < 0 || firingPeriod >= static_cast<std::int32_t>(kMinutes.size())) return 1;
  return kMinutes[static_cast<std::size_t>(firingPeriod)];
}

}  // namespace brisane
