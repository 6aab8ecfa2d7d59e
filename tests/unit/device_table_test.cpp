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

TEST(DeviceTableTest, ModesSortByWidthHeightAndDepthAndOnlyRenderableOnesAreKept) {
  std::vector<DisplayMode> modes = {Mode(800, 600, 32), Mode(640, 480, 32), Mode(800, 500, 16), Mode(640, 480, 16)};
  SortModes(modes);
  EXPECT_EQ(modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(640, 480, 32), Mode(800, 500, 16), Mode(800, 600, 32)}));
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("only16", 1, 2, kDepthBit16), kDesktop));
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("all", 2), kDesktop));
  EXPECT_EQ(table.devices[0].modes, (std::vector<DisplayMode>{Mode(640, 480, 16), Mode(800, 600, 16), Mode(1024, 768, 16)}));
  // Never eight bits. The default is the deepest 640x480, the desktop mode
  // matches exactly or is 0.
  EXPECT_EQ(table.devices[1].modes.size(), 6u);
  EXPECT_EQ(table.devices[1].defaultModeIndex, 1u);
  EXPECT_EQ(table.devices[1].desktopModeIndex, 5u);
  EXPECT_EQ(table.devices[0].desktopModeIndex, 0u);
  DriverRecord large = PrimaryDriver();
  large.modes = {Mode(800, 600, 32), Mode(1024, 768, 32)};
  ASSERT_TRUE(AddDevice(table, large, HardwareDevice("dev", 3), kDesktop));
  EXPECT_EQ(table.devices[2].selectedMode, DisplayMode{});  // no 640x480 mode
  EXPECT_EQ(table.devices[2].desktopModeIndex, 1u);
}

TEST(DeviceTableTest, SoftwareDevicesAndDevicesWithoutModesAreCountedButNotKept) {
  DeviceTable table;
  DeviceDescription software = HardwareDevice("ramp", 1);
  software.devCaps = 0;
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), software, kDesktop));
  EXPECT_FALSE(AddDevice(table, PrimaryDriver(), HardwareDevice("no depth", 2, 8, 0), kDesktop));
  EXPECT_EQ(table.NumDevices(), 0u);
  EXPECT_EQ(table.numEnumerated, 2u);
  // At most twenty are kept.
  for (int i = 0; i < 25; ++i) AddDevice(table, PrimaryDriver(), HardwareDevice("dev", 1), kDesktop);
  EXPECT_EQ(table.NumDevices(), kMaxDevices);
  EXPECT_EQ(table.numEnumerated, 27u);
}

TEST(DeviceTableTest, SecondaryDriversNameTheirDevicesAndCannotRenderWindowed) {
  DriverRecord secondary = PrimaryDriver();
  secondary.primary = false;
  secondary.driverGuid = testing::GuidOf(9);
  secondary.description = "A secondary adapter with a rather long description text";
  DeviceTable table;
  ASSERT_TRUE(AddDevice(table, secondary, HardwareDevice("Direct3D HAL", 1), kDesktop));
  ASSERT_TRUE(AddDevice(table, PrimaryDriver(), HardwareDevice("Direct3D HAL", 2), kDesktop));
  EXPECT_EQ(table.devices[0].name, secondary.description.substr(0, 38));
  EXPECT_EQ(table.devices[0].driverGuid, testing::GuidOf(9));
  EXPECT_FALSE(table.devices[0].windowedCapable);
  EXPECT_TRUE(table.devices[1].windowedCapable);
}

TEST(SelectDefaultDeviceTest, PrefersTheLastTnLHalThenTheLastWindowedDevice) {
  DeviceTable table = testing::WineLikeTable();  // HAL, T&L HAL, RGB
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
  // A primary driver that cannot render windowed offers no default.
  DriverRecord driver = PrimaryDriver();
  driver.halCaps2 = 0;
  DeviceTable none;
  AddDevice(none, driver, TnLHalDevice(), kDesktop);
  int reports = 0;
  EXPECT_EQ(SelectDefaultDevice(none, [&](const std::string&) { ++reports; }), kEFail);
  EXPECT_EQ(reports, 1);
}

}  // namespace
}  // namespace brisane
