#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "native/options.h"

namespace brisane {
namespace {

// The daemon splits a control's command at blanks and puts the value for "%".
OptionsParseResult ParseArgument(const std::string& arg, const std::string& value) {
  std::vector<std::string> words = {"brisane"};
  std::istringstream in(std::regex_replace(arg, std::regex("%"), value));
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  return ParseNativeOptions(static_cast<int>(argv.size()), argv.data(), nullptr);
}

// Every control of the settings page hands the program an argument it takes;
// a slider's ends and resting place are the setting's range and default, so
// the page offers what the settings file can hold.
TEST(HackPagesTest, EveryControlOfTheSettingsPageGivesAnArgumentTheProgramTakes) {
  std::ifstream in(std::string(BRISANE_PACKAGING_DIR) + "/brisane.xml", std::ios::binary);
  const std::string page{std::istreambuf_iterator<char>(in), {}};
  // The page uses no entities, so values are taken as written.
  static const std::regex tag(R"(<(\w+)\s([^>]*)>)"), attribute(R"(([\w-]+)\s*=\s*"([^"]*)\")");
  int checked = 0;
  std::string commands;
  std::set<std::int32_t> flags;
  for (auto t = std::sregex_iterator(page.begin(), page.end(), tag); t != std::sregex_iterator(); ++t) {
    std::map<std::string, std::string> at;
    const std::string body = (*t)[2];
    for (auto a = std::sregex_iterator(body.begin(), body.end(), attribute); a != std::sregex_iterator(); ++a)
      at[(*a)[1]] = (*a)[2];
    for (const char* name : {"arg", "arg-set", "arg-unset"}) {
      if (!at.count(name)) continue;
      const std::string& arg = at[name];
      ++checked;
      if ((*t)[1] != "number") {
        const OptionsParseResult parsed = ParseArgument(arg, "/home/me/flag.jpg");
        EXPECT_TRUE(parsed.ok()) << arg;
        if ((*t)[1] == "command") commands += " " + arg;
        for (const SettingOverride& set : parsed.options.overrides) {
          if (set.key != key::FlagNum) continue;
          EXPECT_EQ((*t)[1], "option") << arg << ": only the flag menu chooses the flag";
          flags.insert(set.value.AsInt());
        }
        continue;
      }
      for (const auto& [value, end] : {std::pair{"low", &SettingSpec::minimum}, std::pair{"high", &SettingSpec::maximum},
                                       std::pair{"default", &SettingSpec::defaultValue}}) {
        const OptionsParseResult parsed = ParseArgument(arg, at[value]);
        ASSERT_TRUE(parsed.ok() && !parsed.options.overrides.empty()) << arg << " " << at[value] << ": " << parsed.error;
        const SettingOverride& set = parsed.options.overrides.back();
        if (set.key == kMaxFrameRateKey) {  // the frame rate as a delay: its resting place is the default rate
          EXPECT_TRUE(std::string(value) != "default" || set.value.AsInt() == kDefaultMaxFrameRate) << arg;
          continue;
        }
        const SettingSpec* spec = FindSetting(set.key);
        ASSERT_NE(spec, nullptr) << arg;
        EXPECT_EQ(set.value.AsInt(), spec->*end) << arg << " at its " << value;
      }
    }
  }
  EXPECT_GT(checked, 20);
  // The menu holds every flag but its default, the own picture among them; the
  // daemon's run is the page's settings over the defaults, not over the file.
  std::set<std::int32_t> every;
  for (std::int32_t i = 1; i < static_cast<std::int32_t>(FlagNames().size()); ++i) every.insert(i);
  EXPECT_EQ(flags, every);
  const OptionsParseResult run = ParseArgument(commands, "");
  EXPECT_TRUE(run.ok() && run.options.noSettingsFile && run.options.target == RunTarget::Root) << commands;
}

}  // namespace
}  // namespace brisane
