// The table of hardware 3D devices and the display modes each can render in.
// The platform layer enumerates the drivers and devices and feeds them in
// here; choosing modes and the default device is plain logic over that data.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/device.h"

namespace brisane {

// Render depth bits of a device description (DDBD_*).
inline constexpr std::uint32_t kDepthBit16 = 0x400;
inline constexpr std::uint32_t kDepthBit24 = 0x200;
inline constexpr std::uint32_t kDepthBit32 = 0x100;
// D3DDEVCAPS_HWRASTERIZATION.
inline constexpr std::uint32_t kDevCapsHwRasterization = 0x00080000;
// DDCAPS2_CANRENDERWINDOWED.
inline constexpr std::uint32_t kCaps2CanRenderWindowed = 0x00080000;

inline constexpr std::size_t kMaxDevices = 20;
inline constexpr std::size_t kMaxDeviceNameChars = 38;

using Guid = std::array<std::uint8_t, 16>;

// IID_IDirect3DTnLHalDevice {f5049e78-4861-11d2-a407-00a0c90629a8}, bytes as
// a GUID lies in memory.
inline constexpr Guid kTnLHalDeviceGuid = {0x78, 0x9e, 0x04, 0xf5, 0x61, 0x48, 0xd2, 0x11,
                                           0xa4, 0x07, 0x00, 0xa0, 0xc9, 0x06, 0x29, 0xa8};

struct DisplayMode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t bitCount = 0;
  std::uint32_t refreshRate = 0;

  bool operator==(const DisplayMode&) const = default;
};

// Width ascending, then height, then bit count.
bool CompareModes(const DisplayMode& a, const DisplayMode& b);

// What the platform learned about one DirectDraw driver.
struct DriverRecord {
  std::string description;
  bool primary = true;  // the primary display driver (no driver GUID)
  Guid driverGuid{};
  std::uint32_t halCaps2 = 0;          // dwCaps2 of the hardware caps
  std::vector<DisplayMode> modes;      // sorted by CompareModes
};

// The parts of one Direct3D device description the program uses.
struct DeviceDescription {
  std::string name;
  Guid deviceGuid{};
  std::uint32_t devCaps = 0;
  std::uint32_t renderBitDepths = 0;  // kDepthBit* flags
  std::uint32_t maxSimultaneousTextures = 0;
  std::uint32_t textureCaps = 0;
  std::uint32_t minTextureWidth = 0, minTextureHeight = 0;
  std::uint32_t maxTextureWidth = 0, maxTextureHeight = 0;
  std::uint32_t maxTextureAspectRatio = 0;
};

struct DeviceInfo {
  std::string name;  // at most kMaxDeviceNameChars
  DeviceDescription description;
  bool hardware = false;
  bool primaryDriver = true;
  Guid driverGuid{};
  std::uint32_t halCaps2 = 0;
  DisplayMode selectedMode;
  bool desktopResolution = false;  // set by bring-up at desktop resolution
  std::vector<DisplayMode> modes;
  std::uint32_t defaultModeIndex = 0;
  std::uint32_t desktopModeIndex = 0;
  bool windowedCapable = false;

  bool IsTnLHal() const { return description.deviceGuid == kTnLHalDeviceGuid; }
};

struct DeviceTable {
  std::vector<DeviceInfo> devices;  // at most kMaxDevices
  std::uint32_t numEnumerated = 0;  // every device reported, accepted or not
  std::uint32_t current = 0;

  std::uint32_t NumDevices() const { return static_cast<std::uint32_t>(devices.size()); }
  DeviceInfo& Current() { return devices.at(current); }
  const DeviceInfo& Current() const { return devices.at(current); }
};

// Called with a fatal message when no choice is possible; the Windows program
// shows it and ends, tests record it.
using FatalSink = std::function<void(const std::string& message)>;

// Sorts a driver's modes in place by CompareModes.
void SortModes(std::vector<DisplayMode>& modes);

// One device reported by a driver: counted, then accepted when it rasterises
// in hardware and can render in at least one of the driver's modes. Devices
// beyond the table's capacity are counted but not kept. Returns whether the
// device entered the table.
bool AddDevice(DeviceTable& table, const DriverRecord& driver, const DeviceDescription& device,
               const DisplayMode& desktop);

// The modes of the driver the device can render in, in the driver's order.
std::vector<DisplayMode> FilterModes(const std::vector<DisplayMode>& modes, std::uint32_t renderBitDepths);

// Makes the default device current: among windowed-capable devices the last
// hardware transform-and-lighting device, else the last one. Returns 0, or
// E_FAIL after reporting "No compatible devices found".
std::int32_t SelectDefaultDevice(DeviceTable& table, const FatalSink& fatal);

}  // namespace brisane
