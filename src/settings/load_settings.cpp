#include "settings/load_settings.h"

#include "settings/settings.h"
#include "settings/settings_keys.h"

namespace brisane {

namespace {

std::int32_t MultiTextureDefault(const DeviceInfo& device) {
  return device.description.maxSimultaneousTextures >= 2 ? 1 : 0;
}

DisplayDefaults DefaultsOf(const DeviceTable& table) {
  return {table.current, table.Current().desktopModeIndex, MultiTextureDefault(table.Current()) != 0};
}

std::int32_t DefaultValue(const SettingSpec& spec, const DisplayDefaults& display) {
  switch (spec.deviceDefault) {
    case DeviceDefault::DefaultDevice:
      return static_cast<std::int32_t>(display.device);
    case DeviceDefault::DesktopMode:
      return static_cast<std::int32_t>(display.desktopMode);
    case DeviceDefault::MultiTexture:
      return display.multiTexture ? 1 : 0;
    case DeviceDefault::None:
      break;
  }
  return spec.defaultValue;
}

void PutDefaults(Node& root, const DisplayDefaults& display) {
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == ValueType::Int) root.Get(spec.key) = Value(DefaultValue(spec, display));
  // The flag path has no default: it stays absent until the user picks one.
}

// A stored value of the wrong type (hand-edited, or written by something
// else) would read as 0 everywhere; the default serves the user better.
void RepairTypes(Node& root, const DisplayDefaults& display) {
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == ValueType::Int && !root.Has(spec.key, ValueType::Int))
      root.Get(spec.key) = Value(DefaultValue(spec, display));
}

}  // namespace

HResult LoadSettings(Node& root, SettingsKey& currentUser, DeviceTable& table, const FatalSink& fatal) {
  if (Failed(SelectDefaultDevice(table, fatal))) return kEFail;
  const DisplayDefaults defaults = DefaultsOf(table);
  PutDefaults(root, defaults);

  if (!root.Load(currentUser, SettingsKeyPath())) return kOk;
  RepairTypes(root, defaults);

  const std::int32_t deviceNum = root.Get(key::DeviceNum).AsInt();
  if (static_cast<std::uint32_t>(deviceNum) >= table.NumDevices()) {
    // The stored device is gone (or nonsense): the default device at the
    // desktop's resolution.
    if (Failed(SelectDefaultDevice(table, fatal))) return kEFail;
    const DeviceInfo& device = table.Current();
    root.Get(key::DeviceNum) = Value(static_cast<std::int32_t>(table.current));
    root.Get(key::UseDesktopRes) = Value(std::int32_t{1});
    root.Get(key::ModeNum) = Value(static_cast<std::int32_t>(device.desktopModeIndex));
    root.Get(key::EnableLightmaps) = Value(MultiTextureDefault(device));
    root.Get(key::EnableEnvWater) = Value(MultiTextureDefault(device));
    return kOk;
  }

  table.current = static_cast<std::uint32_t>(deviceNum);
  DeviceInfo& device = table.Current();
  if (device.modes.empty()) return kOk;  // enumeration never keeps such a device
  std::int32_t modeNum = root.Get(key::ModeNum).AsInt();
  if (static_cast<std::uint32_t>(modeNum) >= device.modes.size()) {
    // The mode list changed since the user chose: the desktop's mode of the
    // same device, leaving the desktop-resolution choice as stored.
    modeNum = static_cast<std::int32_t>(device.desktopModeIndex);
    root.Get(key::ModeNum) = Value(modeNum);
  }
  device.selectedMode = device.modes[static_cast<std::size_t>(modeNum)];
  if (device.description.maxSimultaneousTextures < 2) {
    root.Get(key::EnableLightmaps) = Value(std::int32_t{0});
    root.Get(key::EnableEnvWater) = Value(std::int32_t{0});
  }
  return kOk;
}

void LoadSettings(Node& root, SettingsKey& currentUser, const DisplayDefaults& display) {
  PutDefaults(root, display);
  if (root.Load(currentUser, SettingsKeyPath())) RepairTypes(root, display);
}

}  // namespace brisane
