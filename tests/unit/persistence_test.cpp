#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/memory_store.h"
#include "settings/node.h"
#include "settings/settings.h"

namespace brisane {
namespace {

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
  std::vector<std::string> names;
  for (const auto& value : store.Find(kKey)->values) names.push_back(value.first);
  EXPECT_EQ(names, (std::vector<std::string>{"Gamma", "SwitchPeriod"}));
  EXPECT_EQ(*store.Text(kKey, "SwitchPeriod"), "2: 21");
  EXPECT_EQ(*store.Text(kKey + "\\Group\\Deeper", "Name"), "3: n");
  Node back;
  ASSERT_TRUE(LoadStoredSettings(back, *root));
  EXPECT_EQ(back.Get("Group/Deeper/Name").AsString(), "n");
}

TEST_F(PersistenceTest, LoadAssignsOverDefaultsAndKeepsWhatIsAbsent) {
  store.SetText(kKey, "SwitchPeriod", "2: 0x10");
  store.SetText(kKey, "ShowFPS", "7: 5");
  store.SetText(kKey, "EnableFiring", "3: now a string");
  Node tree;
  for (const char* key : {"SwitchPeriod", "ShowFPS", "EnableFiring", "Untouched"})
    tree.Get(key) = Value(std::int32_t{3});
  ASSERT_TRUE(tree.Load(*root, kKey));
  EXPECT_EQ(tree.Get("SwitchPeriod").AsInt(), 16);
  EXPECT_EQ(tree.Get("ShowFPS").AsInt(), 3);  // an unknown tag keeps the default
  EXPECT_TRUE(tree.Has("EnableFiring", TypeString));  // whatever its type
  EXPECT_EQ(tree.Get("Untouched").AsInt(), 3);
  EXPECT_TRUE(tree.Load(*root, kKey + "\\Absent"));
  EXPECT_EQ(store.Find(kKey + "\\Absent"), nullptr);
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
  EXPECT_EQ(tree.Get("Huge").AsString(), "default");
  EXPECT_EQ(tree.Get("Fine").AsInt(), 4);
  EXPECT_TRUE(tree.Has("Count", TypeNode));  // a stored sub-key replaces a value of its name
  std::vector<std::string> keys;
  for (const auto& cell : tree) keys.push_back(cell.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"Count", "Count/x", "Fine", "Huge"}));
}

TEST_F(PersistenceTest, AKeyThatRefusesWritingFailsTheSaveWhereItStands) {
  // A child that cannot be saved stops the save there: later cells stay unwritten.
  Node tree;
  tree.Get("A") = Value(std::int32_t{1});
  store.Make(kKey + "\\B").refuseWrite = true;
  tree.Get("B/x") = Value(std::int32_t{2});
  tree.Get("C") = Value(std::int32_t{3});
  EXPECT_FALSE(tree.Save(*root, kKey));
  EXPECT_EQ(*store.Text(kKey, "A"), "2: 1");
  EXPECT_EQ(store.Text(kKey, "C"), nullptr);
}

}  // namespace
}  // namespace brisane
