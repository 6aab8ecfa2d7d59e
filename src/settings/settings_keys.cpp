#include "settings/settings_keys.h"

#include <array>

namespace brisane {

namespace {

constexpr std::array kSettings = {
    SettingSpec{key::DeviceNum, TypeInt, 0, 0, 19, DeviceDefault::DefaultDevice},
    SettingSpec{key::ModeNum, TypeInt, 0, 0, 0x7fffffff, DeviceDefault::DesktopMode},
    SettingSpec{key::UseDesktopRes, TypeInt, 1, 0, 1},
    SettingSpec{key::ShowFPS, TypeInt, 0, 0, 1},
    SettingSpec{key::DisableSound, TypeInt, 0, 0, 1},
    SettingSpec{key::EnableLightmaps, TypeInt, 1, 0, 1, DeviceDefault::MultiTexture},
    SettingSpec{key::EnableEnvWater, TypeInt, 1, 0, 1, DeviceDefault::MultiTexture},
    SettingSpec{key::EnableLensFlares, TypeInt, 1, 0, 1},
    SettingSpec{key::FlagNum, TypeInt, 0, 0, 26},
    SettingSpec{key::FlagPath, TypeString, 0, 0, 0},  // absent until the user picks a picture
    SettingSpec{key::GammaControl, TypeInt, 50, 0, 100},
    SettingSpec{key::EnableLighting, TypeInt, 1, 0, 1},
    SettingSpec{key::LightDelay, TypeInt, 1, 1, 60},
    SettingSpec{key::ChangeDelay, TypeInt, 1, 1, 60},
    SettingSpec{key::EnableFiring, TypeInt, 1, 0, 1},
    SettingSpec{key::FiringPeriod, TypeInt, 0, 0, 5},
    SettingSpec{key::Camera1, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera2, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera3, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera4, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera5, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera6, TypeInt, 1, 0, 1},
    SettingSpec{key::Camera7, TypeInt, 1, 0, 1},
    SettingSpec{key::RandomView, TypeInt, 0, 0, 1},
    SettingSpec{key::SwitchPeriod, TypeInt, 21, 5, 60},
    SettingSpec{key::DisableOnMouseActivate, TypeInt, 0, 0, 1},
    SettingSpec{key::MasterVolume, TypeInt, 0, -5000, 0},
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
