#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "shell/hack_options.h"

namespace brisane {
namespace {

HackParseResult Parse(std::initializer_list<const char*> args, const char* windowEnv = nullptr) {
  std::vector<const char*> argv = {"brisane"};
  argv.insert(argv.end(), args);
  return ParseHackOptions(static_cast<int>(argv.size()), argv.data(), windowEnv);
}

// The settings tree after the options, over one where every setting holds a
// value no option writes, so an override that misses its key shows.
std::int32_t After(std::initializer_list<const char*> args, std::string_view key) {
  const HackParseResult parsed = Parse(args);
  EXPECT_TRUE(parsed.ok()) << parsed.error;
  Node settings;
  for (const SettingSpec& spec : SettingSpecs()) settings.Get(spec.key) = std::int32_t{-7};
  ApplyHackOverrides(settings, parsed.options);
  EXPECT_EQ(settings.Get(key).Type(), ValueType::Int) << key;
  return settings.Get(key).AsInt();
}

struct OptionCase {
  std::vector<std::string> args;  // with two dashes; also tried with one
  std::string_view key;
  std::int32_t value;
};

TEST(HackOptionsTest, EachOptionReachesItsKeyWithOneOrTwoDashes) {
  const std::vector<OptionCase> cases = {
      {{"--camera-delay", "30"}, key::SwitchPeriod, 30},  {{"--random-cameras"}, key::RandomView, 1},
      {{"--no-random-cameras"}, key::RandomView, 0},      {{"--lighting"}, key::EnableLighting, 1},
      {{"--no-lighting"}, key::EnableLighting, 0},        {{"--light-delay", "7"}, key::LightDelay, 7},
      {{"--change-delay", "60"}, key::ChangeDelay, 60},   {{"--firing"}, key::EnableFiring, 1},
      {{"--no-firing"}, key::EnableFiring, 0},            {{"--firing-period", "15"}, key::FiringPeriod, 3},
      {{"--firing-period", "1"}, key::FiringPeriod, 0},   {{"--firing-period", "60"}, key::FiringPeriod, 5},
      {{"--flag", "26"}, key::FlagNum, 26},               {{"--sound"}, key::DisableSound, 0},
      {{"--no-sound"}, key::DisableSound, 1},             {{"--volume", "-12.5"}, key::MasterVolume, -1250},
      {{"--volume", "-50"}, key::MasterVolume, -5000},    {{"--volume", "0"}, key::MasterVolume, 0},
      {{"--mirror"}, key::EnableEnvWater, 1},             {{"--no-mirror"}, key::EnableEnvWater, 0},
      {{"--lightmaps"}, key::EnableLightmaps, 1},         {{"--no-lightmaps"}, key::EnableLightmaps, 0},
      {{"--flares"}, key::EnableLensFlares, 1},           {{"--no-flares"}, key::EnableLensFlares, 0},
      {{"--fps"}, key::ShowFPS, 1},                       {{"--no-fps"}, key::ShowFPS, 0},
      {{"--gamma", "1.25"}, key::GammaControl, 75},       {{"--gamma", "0.5"}, key::GammaControl, 0},
      {{"--gamma", "1,15"}, key::GammaControl, 65},       {{"--gamma", "1.5"}, key::GammaControl, 100},
      {{"--camera", "3"}, key::Camera3, 1},               {{"--no-camera", "7"}, key::Camera7, 0},
  };
  for (const OptionCase& c : cases) {
    for (const bool oneDash : {false, true}) {
      std::vector<std::string> args = c.args;
      if (oneDash) args[0] = args[0].substr(1);
      std::vector<const char*> argv = {"brisane"};
      for (const std::string& a : args) argv.push_back(a.c_str());
      const HackParseResult parsed = ParseHackOptions(static_cast<int>(argv.size()), argv.data(), nullptr);
      ASSERT_TRUE(parsed.ok()) << args[0] << ": " << parsed.error;
      Node settings;
      ApplyHackOverrides(settings, parsed.options);
      EXPECT_EQ(settings.Get(c.key).AsInt(), c.value) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
  }
}

TEST(HackOptionsTest, CameraListsFlagFilesAndLaterOptionsWin) {
  for (std::string_view key : {key::Camera1, key::Camera2, key::Camera4})
    EXPECT_EQ(After({"--cameras", "1,2,4"}, key), 1) << key;
  for (std::string_view key : {key::Camera3, key::Camera5, key::Camera6, key::Camera7})
    EXPECT_EQ(After({"--cameras", "1,2,4"}, key), 0) << key;
  EXPECT_EQ(After({"--cameras", "7"}, key::Camera7), 1);
  EXPECT_EQ(After({"--cameras", "7"}, key::Camera1), 0);
  EXPECT_EQ(After({"--cameras", "1", "--camera", "2"}, key::Camera2), 1);
  EXPECT_EQ(After({"--camera-delay", "9", "-camera-delay", "40"}, key::SwitchPeriod), 40);

  // A picture file is the custom flag; a later --flag still picks a stock one.
  HackParseResult parsed = Parse({"--flag-file", "/home/me/my flag.jpg"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  Node settings;
  ApplyHackOverrides(settings, parsed.options);
  EXPECT_EQ(std::filesystem::path(settings.Get(key::FlagPath).AsString()),
            std::filesystem::absolute("/home/me/my flag.jpg"));
  EXPECT_EQ(settings.Get(key::FlagNum).AsInt(), kCustomFlag);
  // A relative path is kept as the full path it names now.
  parsed = Parse({"--flag-file", "flags/mine.jpg"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  ApplyHackOverrides(settings, parsed.options);
  EXPECT_EQ(std::filesystem::path(settings.Get(key::FlagPath).AsString()),
            std::filesystem::current_path() / "flags" / "mine.jpg");
  EXPECT_EQ(After({"--flag-file", "a.jpg", "--flag", "9"}, key::FlagNum), 9);
}

TEST(HackOptionsTest, WhereToDrawFollowsTheOptionsThenTheDaemonsWindow) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* env;
    HackTarget target;
    std::uint32_t window;
  };
  for (const Case& c : {Case{{}, nullptr, HackTarget::FullScreen, 0}, Case{{}, "", HackTarget::FullScreen, 0},
                        Case{{"--root"}, nullptr, HackTarget::Root, 0},
                        Case{{"--root"}, "0x2A00007", HackTarget::Window, 0x2A00007},
                        Case{{}, "123", HackTarget::Window, 123},
                        Case{{"-window-id", "0x1a2B"}, "77", HackTarget::Window, 0x1a2b},
                        Case{{"--window-id", "4294967295", "-window"}, nullptr, HackTarget::Window, 4294967295u},
                        Case{{"-window"}, "77", HackTarget::OwnWindow, 0},
                        Case{{"-window", "-root"}, nullptr, HackTarget::Root, 0}}) {
    const HackParseResult parsed = Parse(c.args, c.env);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.target, c.target) << (c.env ? c.env : "no env");
    EXPECT_EQ(parsed.options.windowId, c.window);
  }

  HackParseResult parsed = Parse({"--window", "800X600", "--seconds", "2.5", "-figures", "--save"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  EXPECT_EQ(parsed.options.target, HackTarget::OwnWindow);
  EXPECT_EQ(parsed.options.width, 800);
  EXPECT_EQ(parsed.options.height, 600);
  EXPECT_EQ(parsed.options.seconds, 2.5);
  EXPECT_TRUE(parsed.options.figures);
  EXPECT_TRUE(parsed.options.save);
  // A bare -window leaves the next option alone.
  EXPECT_EQ(After({"-window", "-fps"}, key::ShowFPS), 1);
  EXPECT_TRUE(Parse({"-fps", "--help", "--no-such-option"}).options.help);
}

TEST(HackOptionsTest, BadValuesGiveOneLineNamingTheOptionAndWhatItTakes) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* env;
    std::string message;
  };
  for (const Case& c : {
           Case{{"--camera-delay", "abc"}, nullptr, R"(--camera-delay: "abc" is not a number; it takes 5 to 60 seconds)"},
           Case{{"-camera-delay", "61"}, nullptr, R"(-camera-delay: "61" is out of range; it takes 5 to 60 seconds)"},
           Case{{"--light-delay", "0"}, nullptr, R"(--light-delay: "0" is out of range; it takes 1 to 60 minutes)"},
           Case{{"--change-delay"}, nullptr, "--change-delay needs a value: 1 to 60 minutes"},
           Case{{"--flag", "27"}, nullptr, R"(--flag: "27" is out of range; it takes 0 to 26)"},
           Case{{"--flag", "99999999999999999999999"}, nullptr,
                R"(--flag: "99999999999999999999999" is out of range; it takes 0 to 26)"},
           Case{{"--gamma", "1.51"}, nullptr, R"(--gamma: "1.51" is out of range; it takes 0.50 to 1.50)"},
           Case{{"--gamma", "1e9"}, nullptr, R"(--gamma: "1e9" is not a number; it takes 0.50 to 1.50)"},
           Case{{"--gamma", "nan"}, nullptr, R"(--gamma: "nan" is not a number; it takes 0.50 to 1.50)"},
           Case{{"--volume", "1"}, nullptr, R"(--volume: "1" is out of range; it takes -50 to 0 dB)"},
           Case{{"--volume", "-1,2,5"}, nullptr, R"(--volume: "-1,2,5" is not a number; it takes -50 to 0 dB)"},
           Case{{"--firing-period", "7"}, nullptr,
                R"(--firing-period: "7" is out of range; it takes 1, 5, 10, 15, 30 or 60 minutes)"},
           Case{{"--cameras", "1,,2"}, nullptr,
                R"(--cameras: "1,,2" is not a number; it takes camera numbers from 1 to 7, separated by commas)"},
           Case{{"--cameras", "8"}, nullptr,
                R"(--cameras: "8" is out of range; it takes camera numbers from 1 to 7, separated by commas)"},
           Case{{"--no-camera", "0"}, nullptr, R"(--no-camera: "0" is out of range; it takes 1 to 7)"},
           Case{{"--flag-file", ""}, nullptr, "--flag-file needs a value: the path of a JPEG picture"},
           Case{{"--window-id", "0"}, nullptr, R"(--window-id: "0" is not a window; it takes an X window id, decimal or 0x hex)"},
           Case{{"-window-id", "4294967296"}, nullptr,
                R"(-window-id: "4294967296" is not a window; it takes an X window id, decimal or 0x hex)"},
           Case{{"--window-id", "0x"}, nullptr, R"(--window-id: "0x" is not a window; it takes an X window id, decimal or 0x hex)"},
           Case{{"--root"}, "junk", R"(XSCREENSAVER_WINDOW: "junk" is not a window; it takes an X window id, decimal or 0x hex)"},
           Case{{"--window", "800x0"}, nullptr, R"(--window: "800x0" is not a size; it takes WIDTHxHEIGHT, 1 to 16384 pixels each)"},
           Case{{"--seconds", "0"}, nullptr, R"(--seconds: "0" is out of range; it takes more than 0, up to 86400 seconds)"},
           Case{{"--lighting=1"}, nullptr, R"(unknown option "--lighting=1"; --help lists the options)"},
           Case{{"---fps"}, nullptr, R"(unknown option "---fps"; --help lists the options)"},
           Case{{"fps"}, nullptr, R"(unexpected argument "fps"; --help lists the options)"},
       }) {
    const HackParseResult parsed = Parse(c.args, c.env);
    EXPECT_EQ(parsed.error, c.message);
    EXPECT_TRUE(parsed.options.overrides.empty()) << c.message;
  }
  // Options before the bad one are not half applied.
  EXPECT_TRUE(Parse({"--no-sound", "--volume", "x"}).options.overrides.empty());
}

// The lines of the help text that describe an option: its own and the
// indented ones after it (a long name wraps).
std::string HelpLine(const std::string& help, const std::string& option) {
  std::size_t at = help.find("\n  " + option);
  if (at == std::string::npos) return {};
  std::size_t end = help.find('\n', at + 1);
  while (end != std::string::npos && help.compare(end, 6, "\n     ") == 0) end = help.find('\n', end + 1);
  return help.substr(at + 1, end - at - 1);
}

TEST(HackOptionsTest, HelpGivesTheTablesRangesAndDefaults) {
  const std::string help = HackUsage("brisane");
  const auto range = [](std::string_view key) {
    const SettingSpec& spec = *FindSetting(key);
    return std::to_string(spec.minimum) + " to " + std::to_string(spec.maximum);
  };
  const auto defaultOf = [](std::string_view key) { return "[" + std::to_string(FindSetting(key)->defaultValue) + "]"; };
  for (const auto& [option, key] : {std::pair{"--camera-delay", key::SwitchPeriod}, std::pair{"--light-delay", key::LightDelay},
                                    std::pair{"--change-delay", key::ChangeDelay}, std::pair{"--flag N", key::FlagNum}}) {
    const std::string line = HelpLine(help, option);
    EXPECT_NE(line.find(range(key)), std::string::npos) << line;
    EXPECT_NE(line.find(defaultOf(key)), std::string::npos) << line;
  }
  const bool soundOn = FindSetting(key::DisableSound)->defaultValue == 0;
  EXPECT_NE(HelpLine(help, "--sound").find(soundOn ? "[on]" : "[off]"), std::string::npos);
  const bool randomOn = FindSetting(key::RandomView)->defaultValue != 0;
  EXPECT_NE(HelpLine(help, "--random-cameras").find(randomOn ? "[on]" : "[off]"), std::string::npos);
  char gamma[16];
  std::snprintf(gamma, sizeof gamma, "[%.2f]", GammaLevel(FindSetting(key::GammaControl)->defaultValue));
  EXPECT_NE(HelpLine(help, "--gamma").find(gamma), std::string::npos);
  EXPECT_NE(HelpLine(help, "--firing-period").find(
                "[" + std::to_string(FiringPeriodMinutes(FindSetting(key::FiringPeriod)->defaultValue)) + "]"),
            std::string::npos);
  EXPECT_NE(help.find("26 United States"), std::string::npos);
}

}  // namespace
}  // namespace brisane
