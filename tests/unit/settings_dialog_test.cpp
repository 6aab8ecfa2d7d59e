#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "resources/resource_ids.h"
#include "settings/settings_keys.h"

namespace brisane {
namespace {

TEST(SettingDialogTest, EachControlEditsOneSettingAndListsCoverTheirRange) {
  std::set<std::pair<int, int>> controls;
  for (const SettingSpec& spec : SettingSpecs()) {
    if (spec.dialog.kind == ControlKind::None) continue;
    EXPECT_TRUE(controls.insert({spec.dialog.dialog, spec.dialog.control}).second) << spec.key;
    EXPECT_TRUE(spec.dialog.dialog == IDD_CONFIG || spec.dialog.dialog == IDD_CAMERA) << spec.key;
    if (spec.dialog.kind == ControlKind::CheckBox || spec.dialog.kind == ControlKind::InvertedCheckBox) {
      EXPECT_EQ(std::make_pair(spec.minimum, spec.maximum), std::make_pair(0, 1)) << spec.key;
    }
  }
  EXPECT_EQ(controls.size(), SettingSpecs().size() - 1);  // all but the file path
  EXPECT_EQ(static_cast<std::int32_t>(FlagNames().size()) - 1, FindSetting(key::FlagNum)->maximum);
  EXPECT_EQ(static_cast<std::int32_t>(FiringPeriodNames().size()) - 1, FindSetting(key::FiringPeriod)->maximum);
  for (std::int32_t i = -1; i <= static_cast<std::int32_t>(FiringPeriodNames().size()); ++i) {
    const bool listed = i >= 0 && i < static_cast<std::int32_t>(FiringPeriodNames().size());
    // What the list shows is what the guns wait; an unknown entry is one minute.
    EXPECT_EQ(listed ? FiringPeriodNames()[static_cast<std::size_t>(i)] : "1 min.",
              std::to_string(FiringPeriodMinutes(i)) + " min.") << i;
  }
}

TEST(SettingDialogTest, LabelsShowTheFormattedValue) {
  EXPECT_EQ(FormatSettingLabel(*FindSetting(key::GammaControl), 75), "Gamma control: 1.25");
  EXPECT_EQ(FormatSettingLabel(*FindSetting(key::LightDelay), 60), "Light delay: 60 min");
  EXPECT_EQ(FormatSettingLabel(*FindSetting(key::MasterVolume), -2500), "");
}

}  // namespace
}  // namespace brisane
