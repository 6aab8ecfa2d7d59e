#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/memory_store.h"
#include "settings/node.h"
#include "settings/settings.h"

namespace brisane {
namespace {

const char kKey[] = "Control Panel\\Desktop\\ScreenSaver.Brisane 3D Screensaver";

std::vector<std::string> Names(const MemorySettingsStore::KeyData& key) {
  std::vector<std::string> names;
  for (const auto& value : key.values) names.push_back(value.first);
  return names;
}

class PersistenceTest : public ::testing::Test {
 protected:
  MemorySettingsStore store;
  std::unique_ptr<SettingsKey> root = store.Root();
};

TEST_F(PersistenceTest, SaveWritesOneTextPerCellInKeyOrder) {
  Node tree;
  tree.Get("SwitchPeriod") = Value(std::int32_t{21});
  tree.Get("DeviceNum") = Value(std::int32_t{0});
  tree.Get("Gamma") = Value(1.5f);
  tree.Get("Unset");  // an empty cell is never written
  ASSERT_TRUE(tree.Save(*root, kKey));

  const auto* key = store.Find(kKey);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Names(*key), (std::vector<std::string>{"DeviceNum", "Gamma", "SwitchPeriod"}));
  EXPECT_EQ(*store.Text(kKey, "SwitchPeriod"), "2: 21");
  EXPECT_EQ(*store.Text(kKey, "Gamma"), "1: 1.500000");
}

TEST_F(PersistenceTest, ChildNodesBecomeSubKeysAndComeBack) {
  Node tree;
  tree.Get("Top") = Value(std::int32_t{1});
  tree.Get("Group/Inner") = Value(std::int32_t{2});
  tree.Get("Group/Deeper/Name") = Value("n");
  ASSERT_TRUE(tree.Save(*root, kKey));
  EXPECT_EQ(*store.Text(std::string(kKey) + "\\Group\\Deeper", "Name"), "3: n");

  Node back;
  ASSERT_TRUE(back.Load(*root, kKey));
  EXPECT_EQ(back.Get("Top").AsInt(), 1);
  EXPECT_EQ(back.Get("Group/Inner").AsInt(), 2);
  EXPECT_EQ(back.Get("Group/Deeper/Name").AsString(), "n");
}

TEST_F(PersistenceTest, LoadAssignsOverDefaultsAndKeepsWhatIsAbsent) {
  store.SetText(kKey, "SwitchPeriod", "2: 0x10");
  store.SetText(kKey, "ShowFPS", "7: 5");
  store.SetText(kKey, "LightDelay", "2:");
  store.SetText(kKey, "Volume", "1: 0.25");
  store.SetText(kKey, "EnableFiring", "3: now a string");

  Node tree;
  tree.Get("SwitchPeriod") = Value(std::int32_t{21});
  tree.Get("ShowFPS") = Value(std::int32_t{0});
  tree.Get("LightDelay") = Value(std::int32_t{1});
  tree.Get("EnableFiring") = Value(std::int32_t{1});
  tree.Get("Untouched") = Value(std::int32_t{3});
  ASSERT_TRUE(tree.Load(*root, kKey));

  EXPECT_EQ(tree.Get("SwitchPeriod").AsInt(), 16);
  EXPECT_TRUE(tree.Has("ShowFPS", TypeInt)) << "an unknown tag keeps the default";
  EXPECT_EQ(tree.Get("LightDelay").AsInt(), 1) << "malformed data keeps the default";
  EXPECT_FLOAT_EQ(tree.Get("Volume").AsFloat(), 0.25f);
  EXPECT_TRUE(tree.Has("EnableFiring", TypeString)) << "a stored value replaces the default whatever its type";
  EXPECT_EQ(tree.Get("Untouched").AsInt(), 3);

  Node missing;
  missing.Get("SwitchPeriod") = Value(std::int32_t{21});
  EXPECT_TRUE(missing.Load(*root, std::string(kKey) + "\\Absent"));
  EXPECT_EQ(missing.Get("SwitchPeriod").AsInt(), 21);
  EXPECT_EQ(store.Find(std::string(kKey) + "\\Absent"), nullptr) << "loading creates nothing";
}

TEST_F(PersistenceTest, AnEmptyStringLeavesTheStoredTextInPlace) {
  store.SetText(kKey, "FlagPath", "3: C:\\old.jpg");
  Node tree;
  tree.Get("FlagPath") = Value("");
  ASSERT_TRUE(tree.Save(*root, kKey));
  EXPECT_EQ(*store.Text(kKey, "FlagPath"), "3: C:\\old.jpg");
  Node back;
  back.Load(*root, kKey);
  EXPECT_EQ(back.Get("FlagPath").AsString(), "C:\\old.jpg");
}

TEST_F(PersistenceTest, ItemsBeyondTheReadLimitsAreSkipped) {
  const std::string longName(kMaxSettingsNameBytes, 'n');
  store.SetText(kKey, longName, "2: 1");
  store.SetText(kKey, "Huge", "3: " + std::string(kMaxSettingsDataBytes, 'x'));
  store.Make(std::string(kKey) + "\\" + longName);
  store.SetText(kKey, "Fine", "2: 4");
  Node tree;
  tree.Get("Huge") = Value("default");
  ASSERT_TRUE(tree.Load(*root, kKey));
  EXPECT_FALSE(tree.Has(longName, TypeInt));
  EXPECT_FALSE(tree.Has(longName, TypeNode));
  EXPECT_EQ(tree.Get("Huge").AsString(), "default");
  EXPECT_EQ(tree.Get("Fine").AsInt(), 4);
}

TEST_F(PersistenceTest, StoredNamesAreKeysNotPaths) {
  // A strange name must neither throw through an integer cell nor build children.
  store.SetText(kKey, "Count/x", "2: 1");
  store.Make(std::string(kKey) + "\\Count");
  Node tree;
  tree.Get("Count") = Value(std::int32_t{5});
  ASSERT_TRUE(tree.Load(*root, kKey));
  EXPECT_TRUE(tree.Has("Count", TypeNode)) << "a stored sub-key replaces a value of its name";
  std::vector<std::string> keys;
  for (const auto& cell : tree) keys.push_back(cell.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"Count", "Count/x"}));
}

TEST_F(PersistenceTest, AKeyThatRefusesWritingFailsTheSave) {
  store.Make(kKey).refuseWrite = true;
  Node tree;
  tree.Get("A") = Value(std::int32_t{1});
  EXPECT_FALSE(tree.Save(*root, kKey));
  EXPECT_TRUE(store.Find(kKey)->values.empty());

  // A child that cannot be saved stops the save there: later cells stay unwritten.
  store.Make(kKey).refuseWrite = false;
  store.Make(std::string(kKey) + "\\B").refuseWrite = true;
  Node parent;
  parent.Get("A") = Value(std::int32_t{1});
  parent.Get("B/x") = Value(std::int32_t{2});
  parent.Get("C") = Value(std::int32_t{3});
  EXPECT_FALSE(parent.Save(*root, kKey));
  EXPECT_EQ(*store.Text(kKey, "A"), "2: 1");
  EXPECT_EQ(store.Text(kKey, "C"), nullptr);
}

TEST_F(PersistenceTest, SaveSettingsWritesTheTreeAtItsKey) {
  Node settings;
  settings.Get("PersistenceProbe") = Value(std::int32_t{77});
  EXPECT_EQ(SaveSettings(settings, *root), 0);
  EXPECT_EQ(*store.Text(kKey, "PersistenceProbe"), "2: 77");
  settings.Get("PersistenceProbe") = Value(std::int32_t{0});
  EXPECT_TRUE(LoadStoredSettings(settings, *root));
  EXPECT_EQ(settings.Get("PersistenceProbe").AsInt(), 77);
}

}  // namespace
}  // namespace brisane
