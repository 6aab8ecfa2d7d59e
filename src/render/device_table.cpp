#include "render/device_table.h"

#include <algorithm>
#include <tuple>

namespace brisane {

bool CompareModes(const DisplayMode& a, const DisplayMode& b) {
  return std::tie(a.width, a.height, a.bitCount) < std::tie(b.width, b.height, b.bitCount);
}

void SortModes(std::vector<DisplayMode>& modes) { std::stable_sort(modes.begin(), modes.end(), CompareModes); }

std::vector<DisplayMode> FilterModes(const std::vector<DisplayMode>& modes, std::uint32_t renderBitDepths) {
  std::vector<DisplayMode> kept;
  for (const DisplayMode& mode : modes) {
    const bool renders = (mode.bitCount == 32 && (renderBitDepths & kDepthBit32)) ||
                         (mode.bitCount == 24 && (renderBitDepths & kDepthBit24)) ||
                         (mode.bitCount == 16 && (renderBitDepths & kDepthBit16));
    if (renders) kept.push_back(mode);
  }
  return kept;
}

bool AddDevice(DeviceTable& table, const DriverRecord& driver, const DeviceDescription& device,
               const DisplayMode& desktop) {
  ++table.numEnumerated;
  if (!(device.devCaps & kDevCapsHwRasterization)) return false;
  // The table is fixed in size; a machine with more devices than that offers
  // the first ones only.
  if (table.devices.size() >= kMaxDevices) return false;

  DeviceInfo info;
  info.description = device;
  info.hardware = true;
  info.halCaps2 = driver.halCaps2;
  info.primaryDriver = driver.primary;
  if (!driver.primary) info.driverGuid = driver.driverGuid;
  info.windowedCapable = driver.primary && (driver.halCaps2 & kCaps2CanRenderWindowed);
  // A secondary driver's devices are known by the driver's name, since every
  // driver calls its devices alike.
  info.name = (driver.primary ? device.name : driver.description).substr(0, kMaxDeviceNameChars);

  info.modes = FilterModes(driver.modes, device.renderBitDepths);
  if (info.modes.empty()) return false;

  for (std::uint32_t i = 0; i < info.modes.size(); ++i) {
    const DisplayMode& mode = info.modes[i];
    // Later (deeper) matches win.
    if (mode.width == 640 && mode.height == 480 && mode.bitCount >= 16) {
      info.selectedMode = mode;
      info.defaultModeIndex = i;
    }
    if (mode.width == desktop.width && mode.height == desktop.height && mode.bitCount == desktop.bitCount)
      info.desktopModeIndex = i;
  }
  info.desktopResolution = false;
  table.devices.push_back(std::move(info));
  return true;
}

std::int32_t SelectDefaultDevice(DeviceTable& table, const FatalSink& fatal) {
  std::int32_t tnl = -1;
  std::int32_t other = -1;
  for (std::uint32_t i = 0; i < table.NumDevices(); ++i) {
    const DeviceInfo& device = table.devices[i];
    if (!device.windowedCapable) continue;
    if (device.IsTnLHal())
      tnl = static_cast<std::int32_t>(i);
    else
      other = static_cast<std::int32_t>(i);
  }
  const std::int32_t chosen = tnl >= 0 ? tnl : other;
  if (chosen < 0) {
    if (fatal) fatal("FATAL ERROR in SelectDefaultDevice(): No compatible devices found");
    return kEFail;
  }
  table.current = static_cast<std::uint32_t>(chosen);
  return 0;
}

}  // namespace brisane
