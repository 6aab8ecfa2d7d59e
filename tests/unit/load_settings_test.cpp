#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "settings/load_settings.h"
#include "settings/memory_store.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "tests/unit/support/device_fixtures.h"

namespace brisane {
namespace {

using testing::Mode;

class LoadSettingsTest : public ::testing::Test {
 protected:
  void Store(const char* name, const char* text) { store.SetText(SettingsKeyPath(), name, text); }
  HResult Load() {
    auto user = store.Root();
    return LoadSettings(root, *user, table, [&](const std::string& m) { fatal += m; });
  }
  std::int32_t Int(std::string_view key) {
    EXPECT_TRUE(root.Has(key, TypeInt)) << key;
    return root.Get(key).AsInt();
  }
  MemorySettingsStore store;
  Node root;
  DeviceTable table = testing::WineLikeTable();  // HAL, T&L HAL (default), RGB
  std::string fatal;
};

TEST_F(LoadSettingsTest, AnEmptyRegistryGivesEveryDefault) {
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(Int("DeviceNum"), 1);
  EXPECT_EQ(Int("ModeNum"), 5);  // 1024x768x32, the desktop
  for (const SettingSpec& spec : SettingSpecs()) {
    EXPECT_EQ(FindSetting(spec.key), &spec) << spec.key;  // declared once
    if (spec.type == TypeInt && spec.deviceDefault == DeviceDefault::None) {
      EXPECT_EQ(Int(spec.key), spec.defaultValue) << spec.key;
      EXPECT_TRUE(spec.minimum <= spec.defaultValue && spec.defaultValue <= spec.maximum) << spec.key;
    }
  }
  EXPECT_EQ(root.size(), SettingSpecs().size() - 1);  // all but the flag path
  EXPECT_EQ(fatal, "");
}

TEST_F(LoadSettingsTest, StoredValuesReplaceTheDefaultsAndDefaultsReplaceOldMemory) {
  root.Get("SwitchPeriod") = Value(std::int32_t{7});  // from an earlier load
  root.Get("LightDelay") = Value(std::int32_t{3});
  Store("FlagPath", "3: C:\\flags\\mine.jpg");
  Store("SwitchPeriod", "2: 200");  // outside the dialog's range, used as it is
  Store("DeviceNum", "2: 2");
  Store("ModeNum", "2: 2");
  Store("UseDesktopRes", "2: 0");
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(root.Get("FlagPath").AsString(), "C:\\flags\\mine.jpg");
  EXPECT_EQ(Int("SwitchPeriod"), 200);
  EXPECT_EQ(Int("LightDelay"), FindSetting(key::LightDelay)->defaultValue);
  EXPECT_EQ(table.current, 2u);
  EXPECT_EQ(table.Current().selectedMode, Mode(800, 600, 16));
  EXPECT_EQ(Int("UseDesktopRes"), 0);
  EXPECT_EQ(Int("ModeNum"), 2);
}

// A device that is gone resets device, mode, desktop flag and lightmaps; a
// mode past the list falls back to the desktop mode and keeps the rest.
TEST_F(LoadSettingsTest, AStoredDeviceOrModeThatIsGoneFallsBack) {
  const struct {
    const char *device, *mode;
    std::int32_t deviceNum, reset;
  } rows[] = {{"2: 3", "2: 0", 1, 1}, {"2: -1", "2: 0", 1, 1}, {"2: 0", "2: 6", 0, 0}, {"2: 0", "2: -3", 0, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.device) + " " + row.mode);
    Store("DeviceNum", row.device);
    Store("ModeNum", row.mode);
    Store("UseDesktopRes", "2: 0");
    Store("EnableLightmaps", "2: 0");
    ASSERT_EQ(Load(), kOk);
    EXPECT_EQ(table.current, static_cast<std::uint32_t>(row.deviceNum));
    EXPECT_EQ(Int("ModeNum"), 5);
    EXPECT_EQ(Int("UseDesktopRes"), row.reset);
    EXPECT_EQ(Int("EnableLightmaps"), row.reset);
    EXPECT_TRUE(row.reset || table.Current().selectedMode == Mode(1024, 768, 32));
  }
  // Memory only: the registry keeps what the user stored.
  EXPECT_EQ(*store.Text(SettingsKeyPath(), "ModeNum"), "2: -3");
}

TEST_F(LoadSettingsTest, OneTextureDevicesTurnLightmapsAndWaterReflectionOff) {
  table = testing::WineLikeTable(1);
  // Stored on, on a reset device, and as the defaults when nothing is stored.
  for (const char* device : {"2: 0", "2: 9", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(device ? device : "nothing stored");
    store = MemorySettingsStore();
    for (const char* key : {"EnableLightmaps", "EnableEnvWater"})
      if (device) Store(key, "2: 1");
    if (device) Store("DeviceNum", device);
    ASSERT_EQ(Load(), kOk);
    EXPECT_EQ(Int("EnableLightmaps"), 0);
    EXPECT_EQ(Int("EnableEnvWater"), 0);
  }
}

TEST_F(LoadSettingsTest, WithoutAUsableDeviceNothingIsTouched) {
  for (DeviceInfo& device : table.devices) device.windowedCapable = false;
  root.Get("ShowFPS") = Value(std::int32_t{1});
  Store("ShowFPS", "2: 0");
  EXPECT_EQ(Load(), kEFail);
  EXPECT_NE(fatal, "");
  EXPECT_EQ(root.size(), 1u);
  EXPECT_EQ(Int("ShowFPS"), 1);
}

}  // namespace
}  // namespace brisane
