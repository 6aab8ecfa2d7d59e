#include "settings/settings_keys.h"

#include <array>
#include <cstdio>

#include "resources/resource_ids.h"
#include "resources/resource_numbers.h"

namespace brisane {

namespace {

constexpr std::array kSettings = {
    SettingSpec{key::DeviceNum, ValueType::Int, 0, 0, 19, DeviceDefault::DefaultDevice,
                {IDD_CONFIG, IDC_DEVICE, ControlKind::List}},
    SettingSpec{key::ModeNum, ValueType::Int, 0, 0, 0x7fffffff, DeviceDefault::DesktopMode,
                {IDD_CONFIG, IDC_MODE, ControlKind::List}},
    SettingSpec{key::UseDesktopRes, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_USE_DESKTOP, ControlKind::CheckBox}},
    SettingSpec{key::ShowFPS, ValueType::Int, 0, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_SHOW_FPS, ControlKind::CheckBox}},
    SettingSpec{key::DisableSound, ValueType::Int, 0, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_ENABLE_SOUND, ControlKind::InvertedCheckBox}},
    SettingSpec{key::EnableLightmaps, ValueType::Int, 1, 0, 1, DeviceDefault::MultiTexture,
                {IDD_CONFIG, IDC_LIGHTMAPS, ControlKind::CheckBox}},
    SettingSpec{key::EnableEnvWater, ValueType::Int, 1, 0, 1, DeviceDefault::MultiTexture,
                {IDD_CONFIG, IDC_ENV_WATER, ControlKind::CheckBox}},
    SettingSpec{key::EnableLensFlares, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_LENS_FLARES, ControlKind::CheckBox}},
    SettingSpec{key::FlagNum, ValueType::Int, 0, 0, resource::kLastFlagNum, DeviceDefault::None,
                {IDD_CONFIG, IDC_FLAG, ControlKind::List}},
    SettingSpec{key::FlagPath, ValueType::String, 0, 0, 0},  // absent until the user picks a picture
    SettingSpec{key::GammaControl, ValueType::Int, 50, 0, 100, DeviceDefault::None,
                {IDD_CONFIG, IDC_GAMMA, ControlKind::Trackbar, IDC_GAMMA_LABEL, "Gamma control: %.2f", LabelValue::Gamma}},
    SettingSpec{key::EnableLighting, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_ENABLE_LIGHTING, ControlKind::CheckBox}},
    SettingSpec{key::LightDelay, ValueType::Int, 1, 1, 60, DeviceDefault::None,
                {IDD_CONFIG, IDC_LIGHT_DELAY, ControlKind::Trackbar, IDC_LIGHT_DELAY_LABEL, "Light delay: %u min"}},
    SettingSpec{key::ChangeDelay, ValueType::Int, 1, 1, 60, DeviceDefault::None,
                {IDD_CONFIG, IDC_CHANGE_DELAY, ControlKind::Trackbar, IDC_CHANGE_DELAY_LABEL, "Change delay: %u min"}},
    SettingSpec{key::EnableFiring, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_ENABLE_FIRING, ControlKind::CheckBox}},
    SettingSpec{key::FiringPeriod, ValueType::Int, 0, 0, 5, DeviceDefault::None,
                {IDD_CONFIG, IDC_FIRING_PERIOD, ControlKind::List}},
    SettingSpec{key::Camera1, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA1, ControlKind::CheckBox}},
    SettingSpec{key::Camera2, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA2, ControlKind::CheckBox}},
    SettingSpec{key::Camera3, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA3, ControlKind::CheckBox}},
    SettingSpec{key::Camera4, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA4, ControlKind::CheckBox}},
    SettingSpec{key::Camera5, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA5, ControlKind::CheckBox}},
    SettingSpec{key::Camera6, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA6, ControlKind::CheckBox}},
    SettingSpec{key::Camera7, ValueType::Int, 1, 0, 1, DeviceDefault::None,
                {IDD_CAMERA, IDC_CAMERA7, ControlKind::CheckBox}},
    SettingSpec{key::RandomView, ValueType::Int, 0, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_RANDOM_VIEW, ControlKind::CheckBox}},
    SettingSpec{key::SwitchPeriod, ValueType::Int, 21, 5, 60, DeviceDefault::None,
                {IDD_CONFIG, IDC_SWITCH_PERIOD, ControlKind::Trackbar, IDC_SWITCH_LABEL, "Camera delay: %u sec"}},
    SettingSpec{key::DisableOnMouseActivate, ValueType::Int, 0, 0, 1, DeviceDefault::None,
                {IDD_CONFIG, IDC_EXIT_ON_MOUSE, ControlKind::InvertedCheckBox}},
    SettingSpec{key::MasterVolume, ValueType::Int, 0, -5000, 0, DeviceDefault::None,
                {IDD_CONFIG, IDC_VOLUME, ControlKind::Trackbar}},
};

}  // namespace

std::span<const SettingSpec> SettingSpecs() { return kSettings; }

const SettingSpec* FindSetting(std::string_view key) {
  for (const SettingSpec& spec : kSettings)
    if (spec.key == key) return &spec;
  return nullptr;
}

std::string FormatSettingLabel(const SettingSpec& spec, std::int32_t value) {
  const DialogBinding& ui = spec.dialog;
  if (ui.label == 0 || ui.labelFormat.empty()) return {};
  // The formats are this table's own literals, so the one value they take
  // is known: a double for the gamma level, an unsigned otherwise.
  const std::string format(ui.labelFormat);
  char text[64] = {};
  if (ui.labelValue == LabelValue::Gamma)
    std::snprintf(text, sizeof text, format.c_str(), GammaLevel(value));
  else
    std::snprintf(text, sizeof text, format.c_str(), static_cast<unsigned>(value));
  return text;
}

std::span<const std::string_view> FlagNames() {
  static constexpr std::array<std::string_view, 27> kFlags = {
      "Duskwright", "Load custom flag from file...", "Argentina", "Australia", "Brazil", "Canada", "Denmark",
      "EU", "Finland", "France", "Germany", "Greece", "Iceland", "Ireland", "Israel", "Italy", "Japan",
      "Mexico", "Netherlands", "New Zealand", "Norway", "Russia", "Spain", "Sweden", "Switzerland",
      "United Kingdom", "United States"};
  return kFlags;
}

std::span<const std::string_view> FiringPeriodNames() {
  static constexpr std::array<std::string_view, 6> kPeriods = {"1 min.",  "5 min.",  "10 min.",
                                                               "15 min.", "30 min.", "60 min."};
  return kPeriods;
}

double GammaLevel(std::int32_t gammaControl) { return gammaControl * 0.01 + 0.5; }

std::int32_t FiringPeriodMinutes(std::int32_t firingPeriod) {
  static constexpr std::array<std::int32_t, 6> kMinutes = {1, 5, 10, 15, 30, 60};
  if (firingPeriod < 0 || firingPeriod >= static_cast<std::int32_t>(kMinutes.size())) return 1;
  return kMinutes[static_cast<std::size_t>(firingPeriod)];
}

}  // namespace brisane
