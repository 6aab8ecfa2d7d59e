#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "shell/hack_options.h"

namespace brisane {
namespace {

std::string ReadPage(const char* name) {
  std::ifstream in(std::string(BRISANE_PACKAGING_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
};

// The start tags of the settings page with their attributes; the page uses
// no entities, so values are taken as written.
std::vector<Element> Elements(const std::string& xml) {
  std::vector<Element> elements;
  static const std::regex tag(R"(<([A-Za-z_][\w-]*)([^>]*)>)");
  static const std::regex attribute(R"(([\w-]+)\s*=\s*"([^"]*)\")");
  for (auto t = std::sregex_iterator(xml.begin(), xml.end(), tag); t != std::sregex_iterator(); ++t) {
    Element e{(*t)[1], {}};
    const std::string rest = (*t)[2];
    for (auto a = std::sregex_iterator(rest.begin(), rest.end(), attribute); a != std::sregex_iterator(); ++a)
      e.attributes[(*a)[1]] = (*a)[2];
    elements.push_back(std::move(e));
  }
  return elements;
}

// The daemon splits the command at blanks and puts a slider's value for "%".
HackParseResult ParseArgument(const std::string& arg, const std::string& value = {}) {
  std::vector<std::string> words = {"brisane"};
  std::istringstream in(std::regex_replace(arg, std::regex("%"), value));
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  return ParseHackOptions(static_cast<int>(argv.size()), argv.data(), nullptr);
}

// The one setting an argument of the page sets, by key and value.
std::pair<std::string, std::int32_t> SettingOf(const std::string& arg, const std::string& value = {}) {
  const HackParseResult parsed = ParseArgument(arg, value);
  EXPECT_TRUE(parsed.ok()) << arg << " " << value << ": " << parsed.error;
  if (!parsed.ok() || parsed.options.overrides.empty()) return {};
  const HackOverride& last = parsed.options.overrides.back();
  return {std::string(last.key), last.value.AsInt()};
}

std::int32_t DefaultOf(const std::string& key) {
  const SettingSpec* spec = FindSetting(key);
  return spec ? spec->defaultValue : -1;
}

TEST(HackPagesTest, EveryArgumentOfTheSettingsPageIsAcceptedAndTellsTheTablesTruth) {
  const std::vector<Element> elements = Elements(ReadPage("brisane.xml"));
  ASSERT_FALSE(elements.empty());
  const std::set<std::string> layout = {"screensaver", "hgroup", "vgroup", "_description"};
  int checked = 0;
  std::string select;  // the key of the select being read
  int selectDefaults = 0;
  for (const Element& e : elements) {
    const auto& at = e.attributes;
    const auto get = [&](const char* name) { return at.count(name) ? at.at(name) : std::string(); };
    if (e.name == "command") {
      EXPECT_TRUE(ParseArgument(get("arg")).ok()) << get("arg");
    } else if (e.name == "number") {
      // The slider's ends and its resting place are the table's.
      const auto [key, atDefault] = SettingOf(get("arg"), get("default"));
      const SettingSpec* spec = FindSetting(key);
      ASSERT_NE(spec, nullptr) << get("arg");
      EXPECT_EQ(atDefault, spec->defaultValue) << get("arg");
      EXPECT_EQ(SettingOf(get("arg"), get("low")).second, spec->minimum) << get("arg");
      EXPECT_EQ(SettingOf(get("arg"), get("high")).second, spec->maximum) << get("arg");
    } else if (e.name == "boolean") {
      // A box shows the default when the daemon writes nothing: checking or
      // clearing it must change the setting from the table's default.
      const std::string arg = get("arg-set").empty() ? get("arg-unset") : get("arg-set");
      const auto [key, value] = SettingOf(arg);
      EXPECT_NE(value, DefaultOf(key)) << arg;
    } else if (e.name == "select") {
      select.clear();
      selectDefaults = 0;
    } else if (e.name == "option") {
      if (get("arg-set").empty()) {
        ++selectDefaults;
        EXPECT_EQ(selectDefaults, 1) << "a select has one entry without an argument: " << get("_label");
        continue;
      }
      const auto [key, value] = SettingOf(get("arg-set"));
      if (select.empty()) select = key;
      EXPECT_EQ(key, select) << get("arg-set");
      EXPECT_NE(value, DefaultOf(key)) << get("arg-set");
      if (key == key::FlagNum) {
        ASSERT_LT(static_cast<std::size_t>(value), FlagNames().size());
        EXPECT_EQ(get("_label"), FlagNames()[static_cast<std::size_t>(value)]);
      }
    } else if (e.name == "file") {
      EXPECT_TRUE(ParseArgument(get("arg"), "/home/me/flag.jpg").ok()) << get("arg");
    } else {
      EXPECT_TRUE(layout.count(e.name)) << "unchecked element <" << e.name << ">";
      continue;
    }
    ++checked;
  }
  EXPECT_GT(checked, 20);
}

// Option names as a text writes them: "--camera-delay" from the help,
// "\-\-camera\-delay" from the manual page, both as "camera-delay". A dash
// starts an option only after a blank, a bracket, a bar or a font change.
std::set<std::string> OptionNames(const std::string& text, const std::regex& pattern) {
  std::set<std::string> names;
  for (auto m = std::sregex_iterator(text.begin(), text.end(), pattern); m != std::sregex_iterator(); ++m)
    names.insert(std::regex_replace(m->str(1), std::regex(R"(\\-)"), "-"));
  return names;
}

TEST(HackPagesTest, ManualPageDescribesExactlyTheOptionsOfTheHelp) {
  const std::set<std::string> help =
      OptionNames(HackUsage("brisane"), std::regex(R"((?:^|[\s,(])--?([a-z][a-z-]*))"));
  const std::set<std::string> manual = OptionNames(ReadPage("brisane.6"), std::regex(R"((?:^|[\s\[(|]|\\f[BIR])\\-(?:\\-)?([a-z](?:[a-z]|\\-)*))"));
  ASSERT_GT(help.size(), 25u);
  for (const std::string& name : help) EXPECT_TRUE(manual.count(name)) << "the manual page lacks --" << name;
  for (const std::string& name : manual) EXPECT_TRUE(help.count(name)) << "the help lacks --" << name;
}

}  // namespace
}  // namespace brisane
