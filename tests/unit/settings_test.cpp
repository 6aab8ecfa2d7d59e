#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/resource_ids.h"
#include "settings/load_settings.h"
#include "settings/memory_store.h"
#include "settings/node.h"
#include "settings/registry_text.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "tests/unit/support/device_fixtures.h"

namespace brisane {
namespace {

using namespace std::string_literals;

TEST(RegistryTextFormat, WritesTagColonBlankValueAndSkipsWhatIsNotWritten) {
  EXPECT_EQ(FormatRegistryText(Value(std::int32_t{21})), "2: 21");
  EXPECT_EQ(FormatRegistryText(Value(-1.25f)), "1: -1.250000");
  // An empty text never replaces a stored one.
  for (const Value& v : {Value(), Value(""), Value(std::make_unique<Node>())}) EXPECT_EQ(FormatRegistryText(v), std::nullopt);
  const std::string big = *FormatRegistryText(Value(std::numeric_limits<float>::max()));
  EXPECT_EQ(big.size(), 3u + 39u + 7u);  // written whole
  // What is written reads back.
  for (const Value& v : {Value(std::numeric_limits<std::int32_t>::min()), Value(-100.125f), Value(std::string(5000, 'z'))}) {
    const auto back = ParseRegistryText(*FormatRegistryText(v));
    EXPECT_TRUE(back && back->Type() == v.Type() && back->AsInt() == v.AsInt() && back->AsFloat() == v.AsFloat() &&
                back->AsString() == v.AsString());
  }
}

TEST(RegistryTextParse, EachTagReadsItsTypeAndAnythingElseIsAbsent) {
  const struct {
    std::string text;
    std::optional<Value> value;
  } cases[] = {
      {"2: 0x10", Value(16)}, {"2: 010", Value(8)}, {"2: 12abc", Value(12)},  // up to the first stray character
      {"2: 0xFFFFFFFF", Value(-1)},  // 32-bit patterns are taken as they are
      {"2: 0x1FFFFFFFF", std::nullopt}, {"2: -2147483649", std::nullopt}, {"2: abc", std::nullopt},
      {"1: -2.5e3", Value(-2500.0f)}, {"1: x", std::nullopt},
      {"3: abc\tmore", Value("abc")},  // text ends at the first tab
      {"3: C:\\My Flags\\a.jpg", Value("C:\\My Flags\\a.jpg")},
      {"3:abc", Value("abc")}, {"  3:   \t  abc", Value("abc")},  // the blank matches any run of white space
      {"2: 21\0"s, Value(21)}, {"3: ab\0cd"s, Value("ab")}, {"\0"s "2: 21"s, std::nullopt},  // a terminator ends it
      {"0: 5", std::nullopt}, {"4: 5", std::nullopt}, {"", std::nullopt}, {"2:", std::nullopt}, {"2 5", std::nullopt},
      {"x: 5", std::nullopt}, {"3: \t", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<Value> v = ParseRegistryText(c.text);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << '"' << c.text << '"';
    EXPECT_TRUE(!v || (v->Type() == c.value->Type() && v->AsInt() == c.value->AsInt() &&
                       v->AsFloat() == c.value->AsFloat() && v->AsString() == c.value->AsString())) << c.text;
  }
}

std::vector<std::string> Keys(const Node& node) {
  std::vector<std::string> keys;
  for (const auto& cell : node) keys.push_back(cell.first);
  return keys;
}

// Accessors never convert between types; assigning replaces the type.
TEST(NodeTest, GetCreatesCellsAndChildNodesOnTheWayAndHasNeverCreates) {
  EXPECT_EQ(std::tuple(Value(std::int32_t{7}).AsFloat(), Value(0.5f).AsInt(), Value("7").AsInt()), std::tuple(0.0f, 0, 0));
  Node node;
  EXPECT_TRUE(!node.Has("x/y", ValueType::None) && node.empty());
  Value& cell = node.Get("X");
  EXPECT_EQ(&node.Get("X"), &cell);
  cell = Value("text");
  cell = Value(std::int32_t{5});
  EXPECT_TRUE(node.Has("X", ValueType::Int));
  for (const char* key : {"\xE9", "B", "a/c/d"}) node.Get(key) = Value("deep");
  EXPECT_EQ(node.Get("a").AsNode()->Get("c/d").AsString(), "deep");
  // Only the first slash splits: a//b is a, then the empty key, then b.
  node.Get("a//b") = Value(std::int32_t{1});
  EXPECT_TRUE(node.Get("a").AsNode()->Has("", ValueType::Node) && !node.Has("a/b", ValueType::Int));
  // A path through a value throws, and the failed lookup changes nothing.
  EXPECT_THROW(node.Get("X/b"), Node::KeyNotFound);
  EXPECT_EQ(node.Get("X").AsInt(), 5);
  EXPECT_EQ(Keys(node), (std::vector<std::string>{"B", "X", "a", "\xE9"}));  // unsigned byte order
}

// Leaks are caught by the sanitizer build's leak check, which fails the run.
TEST(NodeTest, ReplacingChildrenReleasesEveryLevelAndValueCopiesShareThem) {
  Value copy;
  {
    Node root;
    root.Get("a/b/c/d/e") = Value(std::int32_t{1});
    root.Get("a/b/c") = Value(std::int32_t{0});
    EXPECT_FALSE(root.Has("a/b/c/d", ValueType::Node));
    copy = root.Get("a");
  }
  ASSERT_NE(copy.AsNode(), nullptr);
  EXPECT_TRUE(copy.AsNode()->Has("b/c", ValueType::Int));  // the copy outlives its tree
}

TEST(NodeTest, ATreeDeeperThanTheStackIsBuiltAndDestroyed) {
  std::string path;
  for (int i = 0; i < 200000; ++i) path += "k/";
  path += "leaf";
  auto root = std::make_unique<Node>();
  root->Get(path) = Value(std::int32_t{9});
  EXPECT_TRUE(root->Has(path, ValueType::Int));
  root.reset();  // would overflow the stack if children were destroyed recursively
}

const std::string kKey = "Control Panel\\Desktop\\ScreenSaver.Brisane 3D Screensaver";

class PersistenceTest : public ::testing::Test {
 protected:
  MemorySettingsStore store;
  std::unique_ptr<SettingsKey> root = store.Root();
};

TEST_F(PersistenceTest, SaveWritesOneTextPerCellInKeyOrderAndChildNodesAsSubKeys) {
  Node tree;
  tree.Get("SwitchPeriod") = Value(std::int32_t{21});
  tree.Get("Gamma") = Value(1.5f);
  tree.Get("Unset");  // an empty cell is never written
  tree.Get("Group/Deeper/Name") = Value("n");
  ASSERT_TRUE(SaveSettings(tree, *root) == 0);
  EXPECT_EQ(std::tuple(store.Find(kKey)->values.begin()->first, store.Find(kKey)->values.size()), std::tuple("Gamma", 2u));
  EXPECT_EQ(*store.Text(kKey + "\\Group\\Deeper", "Name"), "3: n");
  Node back;
  ASSERT_TRUE(LoadStoredSettings(back, *root));
  EXPECT_EQ(back.Get("Group/Deeper/Name").AsString(), "n");
}

TEST_F(PersistenceTest, LoadAssignsOverDefaultsAndKeepsWhatIsAbsent) {
  store.SetText(kKey, "SwitchPeriod", "2: 16");
  store.SetText(kKey, "ShowFPS", "7: 5");
  store.SetText(kKey, "EnableFiring", "3: now a string");
  Node tree;
  for (const char* key : {"SwitchPeriod", "ShowFPS", "EnableFiring", "Untouched"})
    tree.Get(key) = Value(std::int32_t{3});
  ASSERT_TRUE(tree.Load(*root, kKey));
  // An unknown tag keeps the default; a stored value replaces one of any type.
  EXPECT_EQ(std::tuple(tree.Get("SwitchPeriod").AsInt(), tree.Get("ShowFPS").AsInt(), tree.Get("Untouched").AsInt()), std::tuple(16, 3, 3));
  EXPECT_TRUE(tree.Has("EnableFiring", ValueType::String));
  EXPECT_TRUE(tree.Load(*root, kKey + "\\Absent") && !store.Find(kKey + "\\Absent"));
}

TEST_F(PersistenceTest, ItemsBeyondTheReadLimitsAreSkippedAndNamesAreKeysNotPaths) {
  const std::string longName(kMaxSettingsNameBytes, 'n');
  store.SetText(kKey, longName, "2: 1");
  store.SetText(kKey, "Huge", "3: " + std::string(kMaxSettingsDataBytes, 'x'));
  store.Make(kKey + "\\" + longName);
  store.SetText(kKey, "Fine", "2: 4");
  // A strange name must neither throw through an integer cell nor build children.
  store.SetText(kKey, "Count/x", "2: 1");
  store.Make(kKey + "\\Count");
  Node tree;
  tree.Get("Huge") = Value("default");
  tree.Get("Count") = Value(std::int32_t{5});
  ASSERT_TRUE(tree.Load(*root, kKey));
  EXPECT_EQ(std::tuple(tree.Get("Huge").AsString(), tree.Get("Fine").AsInt()), std::tuple("default", 4));
  EXPECT_TRUE(tree.Has("Count", ValueType::Node));  // a stored sub-key replaces a value of its name
  EXPECT_EQ(Keys(tree), (std::vector<std::string>{"Count", "Count/x", "Fine", "Huge"}));
}

// A child that cannot be saved stops the save there: later cells stay unwritten.
TEST_F(PersistenceTest, AKeyThatRefusesWritingFailsTheSaveWhereItStands) {
  Node tree;
  tree.Get("A") = Value(std::int32_t{1});
  store.Make(kKey + "\\B").refuseWrite = true;
  tree.Get("B/x") = Value(std::int32_t{2});
  tree.Get("C") = Value(std::int32_t{3});
  EXPECT_FALSE(tree.Save(*root, kKey));
  EXPECT_TRUE(*store.Text(kKey, "A") == "2: 1" && !store.Text(kKey, "C"));
}

using testing::Mode;

class LoadSettingsTest : public ::testing::Test {
 protected:
  void Store(const char* name, const char* text) { store.SetText(SettingsKeyPath(), name, text); }
  HResult Load() {
    auto user = store.Root();
    return LoadSettings(root, *user, table, [&](const std::string& m) { fatal += m; });
  }
  std::int32_t Int(std::string_view key) {
    EXPECT_TRUE(root.Has(key, ValueType::Int)) << key;
    return root.Get(key).AsInt();
  }
  MemorySettingsStore store;
  Node root;
  DeviceTable table = testing::WineLikeTable();  // HAL, T&L HAL (default), RGB
  std::string fatal;
};

TEST_F(LoadSettingsTest, AnEmptyRegistryGivesEveryDefault) {
  ASSERT_EQ(Load(), kOk);
  EXPECT_EQ(std::tuple(Int("DeviceNum"), Int("ModeNum")), std::tuple(1, 5));  // 1024x768x32, the desktop
  for (const SettingSpec& spec : SettingSpecs()) {
    EXPECT_EQ(FindSetting(spec.key), &spec) << spec.key;  // declared once
    if (spec.type == ValueType::Int && spec.deviceDefault == DeviceDefault::None) {
      EXPECT_EQ(Int(spec.key), spec.defaultValue) << spec.key;
      EXPECT_TRUE(spec.minimum <= spec.defaultValue && spec.defaultValue <= spec.maximum) << spec.key;
    }
  }
  EXPECT_EQ(std::tuple(root.size(), fatal), std::tuple(SettingSpecs().size() - 1, ""));  // all but the flag path
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
  EXPECT_EQ(std::tuple(Int("SwitchPeriod"), Int("LightDelay"), Int("ModeNum")), std::tuple(200, FindSetting(key::LightDelay)->defaultValue, 2));
  EXPECT_EQ(std::tuple(table.current, table.Current().selectedMode), std::tuple(2u, Mode(800, 600, 16)));
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
    EXPECT_EQ(std::tuple(table.current, Int("ModeNum"), Int("UseDesktopRes"), Int("EnableLightmaps")),
              std::tuple(static_cast<std::uint32_t>(row.deviceNum), 5, row.reset, row.reset));
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
    EXPECT_EQ(std::tuple(Int("EnableLightmaps"), Int("EnableEnvWater")), std::tuple(0, 0));
  }
}

TEST_F(LoadSettingsTest, WithoutAUsableDeviceNothingIsTouched) {
  for (DeviceInfo& device : table.devices) device.windowedCapable = false;
  root.Get("ShowFPS") = Value(std::int32_t{1});
  Store("ShowFPS", "2: 0");
  EXPECT_EQ(Load(), kEFail);
  EXPECT_NE(fatal, "");
  EXPECT_EQ(std::tuple(root.size(), Int("ShowFPS")), std::tuple(1u, 1));
}

TEST(SettingDialogTest, EachControlEditsOneSettingAndListsCoverTheirRange) {
  std::set<std::pair<int, int>> controls;
  for (const SettingSpec& spec : SettingSpecs()) {
    if (spec.dialog.kind == ControlKind::None) continue;
    EXPECT_TRUE(controls.insert({spec.dialog.dialog, spec.dialog.control}).second) << spec.key;
    EXPECT_TRUE(spec.dialog.dialog == IDD_CONFIG || spec.dialog.dialog == IDD_CAMERA) << spec.key;
    const bool check = spec.dialog.kind == ControlKind::CheckBox || spec.dialog.kind == ControlKind::InvertedCheckBox;
    EXPECT_TRUE(!check || (spec.minimum == 0 && spec.maximum == 1)) << spec.key;
  }
  EXPECT_EQ(controls.size(), SettingSpecs().size() - 1);  // all but the file path
  EXPECT_EQ(std::tuple(static_cast<std::int32_t>(FlagNames().size()) - 1, static_cast<std::int32_t>(FiringPeriodNames().size()) - 1),
            std::tuple(FindSetting(key::FlagNum)->maximum, FindSetting(key::FiringPeriod)->maximum));
  for (std::int32_t i = -1; i <= static_cast<std::int32_t>(FiringPeriodNames().size()); ++i) {
    const bool listed = i >= 0 && i < static_cast<std::int32_t>(FiringPeriodNames().size());
    // What the list shows is what the guns wait; an unknown entry is one minute.
    EXPECT_EQ(listed ? FiringPeriodNames()[static_cast<std::size_t>(i)] : "1 min.",
              std::to_string(FiringPeriodMinutes(i)) + " min.") << i;
  }
  EXPECT_EQ(FormatSettingLabel(*FindSetting(key::GammaControl), 75), "Gamma control: 1.25");
  EXPECT_EQ(FormatSettingLabel(*FindSetting(key::MasterVolume), -2500), "");
}

}  // namespace
}  // namespace brisane
