#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/device_table.h"
#include "tests/unit/support/device_fixtures.h"

namespace brisane {
namespace {

using testing::HardwareDevice;
using testing::Mode;
using testing::PrimaryDriver;
using testing::TnLHalDevice;

const DisplayMode kDesktop = Mode(1024, 768, 32);

TEST(CompareModesTest, OrdersByWidthThenHeightThenDepth) {
  std::vector<DisplayMode> modes = {Mode(800, 600, 32), Mode(640, 480, 32), Mode(800, 500, 16),
                                    Mode(640, 480, 16), Mode(1280, 400, 8)};
  SortModes(modes);
  EXPECT_EQ(modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(640, 480, 32), Mode(800, 500, 16),
                                             Mode(800, 600, 32), Mode(1280, 400, 8)}));
  EXPECT_FALSE(CompareModes(Mode(640, 480, 16), Mode(640, 480, 16)));
}

TEST(DeviceTableTest, KeepsTheModesTheDeviceRendersInAndNeverEightBits) {
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("only16", 1, 2, kDepthBit16), kDesktop));
  const DeviceInfo& device = table.devices.at(0);
  EXPECT_EQ(device.modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(800, 600, 16), Mode(1024, 768, 16)}));

  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("all", 2), kDesktop));
  for (const DisplayMode& mode : table.devices.at(1).modes) EXPECT_NE(mode.bitCount, 8u);
  EXPECT_EQ(table.devices.at(1).modes.size(), 6u);
}

TEST(DeviceTableTest, DefaultModeIsTheDeepest640x480AndDesktopModeMatchesExactly) {
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("dev", 1), kDesktop));
  const DeviceInfo& device = table.devices.at(0);
  // 640x480x16, 640x480x32, 800x600x16, 800x600x32, 1024x768x16, 1024x768x32
  EXPECT_EQ(device.defaultModeIndex, 1u);
  EXPECT_EQ(device.selectedMode, Mode(640, 480, 32));
  EXPECT_EQ(device.desktopModeIndex, 5u);
  EXPECT_FALSE(device.desktopResolution);

  // A 16-bit-only device has no 1024x768x32 mode: its desktop index stays 0.
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("only16", 2, 2, kDepthBit16), kDesktop));
  EXPECT_EQ(table.devices.at(1).desktopModeIndex, 0u);
  EXPECT_EQ(table.devices.at(1).defaultModeIndex, 0u);
}

TEST(DeviceTableTest, WithoutA640x480ModeTheDefaultIndexIsZeroAndNoModeIsSelected) {
  DriverRecord driver = PrimaryDriver();
  driver.modes = {Mode(800, 600, 32), Mode(1024, 768, 32)};
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, driver, HardwareDevice("dev", 1), kDesktop));
  EXPECT_EQ(table.devices[0].defaultModeIndex, 0u);
  EXPECT_EQ(table.devices[0].selectedMode, DisplayMode{});
  EXPECT_EQ(table.devices[0].desktopModeIndex, 1u);
}

TEST(DeviceTableTest, SoftwareDevicesAndDevicesWithoutModesAreCountedButNotKept) {
  DeviceTable table;
  DeviceDescription software = HardwareDevice("ramp", 1);
  software.devCaps = 0;
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), software, kDesktop));
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), HardwareDevice("no depth", 2, 8, 0), kDesktop));
  EXPECT_EQ(table.NumDevices(), 0u);
  EXPECT_EQ(table.numEnumerated, 2u);
  // Which makes bring-up impossible.
  std::string message;
  EXPECT_EQ(SelectDefaultDevice(table, [&](const std::string& m) { message = m; }), kEFail);
  EXPECT_EQ(message, "FATAL ERROR in SelectDefaultDevice(): No compatible devices found");
}

TEST(DeviceTableTest, SecondaryDriversNameTheirDevicesAndCannotRenderWindowed) {
  DriverRecord secondary = PrimaryDriver();
  secondary.primary = false;
  secondary.driverGuid = testing::GuidOf(9);
  secondary.description = "A secondary adapter with a rather long description text";
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, secondary, HardwareDevice("Direct3D HAL", 1), kDesktop));
  const DeviceInfo& device = table.devices[0];
  EXPECT_EQ(device.name, secondary.description.substr(0, 38));
  EXPECT_FALSE(device.primaryDriver);
  EXPECT_EQ(device.driverGuid, testing::GuidOf(9));
  EXPECT_FALSE(device.windowedCapable);

  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("Direct3D HAL", 2), kDesktop));
  EXPECT_EQ(table.devices[1].name, "Direct3D HAL");
  EXPECT_EQ(table.devices[1].driverGuid, Guid{});
  EXPECT_TRUE(table.devices[1].windowedCapable);
}

TEST(DeviceTableTest, HoldsAtMostTwentyDevices) {
  DeviceTable table;
  for (int i = 0; i < 25; ++i) AddDevice(table, PrimaryDriver(), HardwareDevice("dev", 1), kDesktop);
  EXPECT_EQ(table.NumDevices(), kMaxDevices);
  EXPECT_EQ(table.numEnumerated, 25u);
}

TEST(SelectDefaultDeviceTest, PrefersTheLastTnLHalThenTheLastWindowedDevice) {
  DeviceTable table = testing::WineLikeTable();  // HAL, T&L HAL, RGB
  ASSERT_EQ(table.NumDevices(), 3u);
  EXPECT_EQ(SelectDefaultDevice(table, nullptr), kOk);
  EXPECT_EQ(table.current, 1u);

  AddDevice(table, PrimaryDriver(), TnLHalDevice(), kDesktop);
  EXPECT_EQ(SelectDefaultDevice(table, nullptr), kOk);
  EXPECT_EQ(table.current, 3u);

  DeviceTable plain;
  AddDevice(plain, PrimaryDriver(), HardwareDevice("a", 1), kDesktop);
  AddDevice(plain, PrimaryDriver(), HardwareDevice("b", 2), kDesktop);
  DriverRecord secondary = PrimaryDriver();
  secondary.primary = false;
  AddDevice(plain, secondary, TnLHalDevice(), kDesktop);  // not windowed-capable
  EXPECT_EQ(SelectDefaultDevice(plain, nullptr), kOk);
  EXPECT_EQ(plain.current, 1u);
}

TEST(SelectDefaultDeviceTest, APrimaryDriverThatCannotRenderWindowedOffersNoDefault) {
  DriverRecord driver = PrimaryDriver();
  driver.halCaps2 = 0;
  DeviceTable table;
  AddDevice(table, driver, TnLHalDevice(), kDesktop);
  table.current = 0;
  int reports = 0;
  EXPECT_EQ(SelectDefaultDevice(table, [&](const std::string&) { ++reports; }), kEFail);
  EXPECT_EQ(reports, 1);
}

}  // namespace
}  // namespace brisane
