// Recorded enumerations of display drivers and devices, as the platform layer
// reports them, for tests of the device table and the settings loader.
#pragma once

#include <string>
#include <vector>

#include "render/device_table.h"

namespace brisane::testing {

inline DisplayMode Mode(std::uint32_t w, std::uint32_t h, std::uint32_t bits) { return {w, h, bits, 0}; }

// A primary driver that renders windowed, with 8/16/32-bit modes of three sizes.
inline DriverRecord PrimaryDriver() {
  DriverRecord driver;
  driver.description = "Primary Display Driver";
  driver.primary = true;
  driver.halCaps2 = kCaps2CanRenderWindowed;
  driver.modes = {Mode(1024, 768, 32), Mode(640, 480, 8),  Mode(640, 480, 32), Mode(800, 600, 16),
                  Mode(640, 480, 16),  Mode(1024, 768, 8), Mode(1024, 768, 16), Mode(800, 600, 32)};
  SortModes(driver.modes);
  return driver;
}

inline Guid GuidOf(std::uint8_t tag) {
  Guid g{};
  g[0] = tag;
  return g;
}

inline DeviceDescription HardwareDevice(const std::string& name, std::uint8_t tag, std::uint32_t textures = 8,
                                        std::uint32_t depths = kDepthBit16 | kDepthBit24 | kDepthBit32) {
  DeviceDescription d;
  d.name = name;
  d.deviceGuid = GuidOf(tag);
  d.devCaps = kDevCapsHwRasterization;
  d.renderBitDepths = depths;
  d.maxSimultaneousTextures = textures;
  return d;
}

inline DeviceDescription TnLHalDevice(std::uint32_t textures = 8) {
  DeviceDescription d = HardwareDevice("Wine D3D7 T&L HAL", 0);
  d.deviceGuid = kTnLHalDeviceGuid;
  d.maxSimultaneousTextures = textures;
  return d;
}

// What Wine reports on a 1024x768x32 screen: HAL, T&L HAL and RGB devices in
// that order, all rasterising in hardware.
inline DeviceTable WineLikeTable(std::uint32_t textures = 8) {
  DeviceTable table;
  const DriverRecord driver = PrimaryDriver();
  const DisplayMode desktop = Mode(1024, 768, 32);
  AddDevice(table, driver, HardwareDevice("Wine D3D7 HAL", 1, textures), desktop);
  AddDevice(table, driver, TnLHalDevice(textures), desktop);
  AddDevice(table, driver, HardwareDevice("Wine D3D7 RGB", 2, textures), desktop);
  return table;
}

}  // namespace brisane::testing
