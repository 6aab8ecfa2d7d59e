#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <tuple>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "native/idle_watch.h"
#include "native/options.h"
#include "native/wayland_session.h"

namespace brisane {
namespace {

OptionsParseResult Parse(const std::vector<std::string>& args, const char* windowEnv = nullptr) {
  std::vector<const char*> argv = {"brisane"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseNativeOptions(static_cast<int>(argv.size()), argv.data(), windowEnv);
}

// The settings tree after the options, over one where every setting holds a
// value no option writes, so an override that misses its key shows.
std::int32_t After(const std::vector<std::string>& args, std::string_view key) {
  const OptionsParseResult parsed = Parse(args);
  EXPECT_TRUE(parsed.ok()) << parsed.error;
  Node settings;
  for (const SettingSpec& spec : SettingSpecs()) settings.Get(spec.key) = std::int32_t{-7};
  ApplyOverrides(settings, parsed.options);
  EXPECT_EQ(settings.Get(key).Type(), ValueType::Int) << key;
  return settings.Get(key).AsInt();
}

// The daemon passes "--root" where its file says "-root": both spellings of each.
TEST(NativeOptionsTest, EachOptionReachesItsKeyWithOneOrTwoDashes) {
  const struct {
    std::vector<std::string> args;  // with two dashes
    std::string_view key;
    std::int32_t value;
  } cases[] = {
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
      {{"--max-fps", "0"}, kMaxFrameRateKey, 0},          {{"--delay", "16667"}, kMaxFrameRateKey, 60},  // rounded
      {{"--delay", "0"}, kMaxFrameRateKey, 0},            {{"--delay", "1000000"}, kMaxFrameRateKey, 1},
  };
  for (const auto& c : cases)
    for (const bool oneDash : {false, true}) {
      std::vector<std::string> args = c.args;
      if (oneDash) args[0] = args[0].substr(1);
      EXPECT_EQ(After(args, c.key), c.value) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
}

TEST(NativeOptionsTest, CameraListsFlagFilesAndLaterOptionsWin) {
  const std::string_view cameras[] = {key::Camera1, key::Camera2, key::Camera3, key::Camera4,
                                      key::Camera5, key::Camera6, key::Camera7};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(After({"--cameras", "1,2,4"}, cameras[i]), i == 0 || i == 1 || i == 3) << i;
  EXPECT_EQ(After({"--cameras", "7"}, key::Camera7), 1);
  EXPECT_EQ(After({"--cameras", "7"}, key::Camera1), 0);
  EXPECT_EQ(After({"--cameras", "1", "--camera", "2"}, key::Camera2), 1);
  EXPECT_EQ(After({"--camera-delay", "9", "-camera-delay", "40"}, key::SwitchPeriod), 40);

  // A picture file is the custom flag, kept as the full path it names now; a
  // later --flag still picks a stock one.
  const auto flagPath = [](const std::string& file) {
    const OptionsParseResult parsed = Parse({"--flag-file", file});
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    Node settings;
    ApplyOverrides(settings, parsed.options);
    EXPECT_EQ(settings.Get(key::FlagNum).AsInt(), kCustomFlag);
    return std::filesystem::path(settings.Get(key::FlagPath).AsString());
  };
  EXPECT_EQ(flagPath("/home/me/my flag.jpg"), std::filesystem::absolute("/home/me/my flag.jpg"));
  EXPECT_EQ(flagPath("flags/mine.jpg"), std::filesystem::current_path() / "flags" / "mine.jpg");
  EXPECT_EQ(After({"--flag-file", "a.jpg", "--flag", "9"}, key::FlagNum), 9);
  // The page's picture control names the picture and leaves the flag to the menu.
  EXPECT_EQ(After({"--flag", "9", "--flag-picture", "/a.jpg"}, key::FlagNum), 9);
  const std::vector<SettingOverride> picture = Parse({"-flag-picture", "/a.jpg"}).options.overrides;
  EXPECT_TRUE(picture.size() == 1 && picture[0].key == key::FlagPath && picture[0].value.AsString() != "");
}

TEST(NativeOptionsTest, WhereToDrawFollowsTheOptionsThenTheDaemonsWindow) {
  struct Case {
    std::vector<std::string> args;
    const char* env;
    RunTarget target;
    std::uint32_t window;
  };
  for (const Case& c : {Case{{}, nullptr, RunTarget::FullScreen, 0}, Case{{}, "", RunTarget::FullScreen, 0},
                        Case{{"--root"}, nullptr, RunTarget::Root, 0},
                        Case{{"--root"}, "0x2A00007", RunTarget::ForeignWindow, 0x2A00007},
                        Case{{}, "123", RunTarget::ForeignWindow, 123},
                        Case{{"-window-id", "0x1a2B"}, "77", RunTarget::ForeignWindow, 0x1a2b},
                        Case{{"--window-id", "4294967295", "-window"}, nullptr, RunTarget::ForeignWindow, 4294967295u},
                        Case{{"-window"}, "77", RunTarget::OwnWindow, 0},
                        Case{{"-window", "-root"}, nullptr, RunTarget::Root, 0}}) {
    const OptionsParseResult parsed = Parse(c.args, c.env);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.options.target, c.target) << (c.env ? c.env : "no env");
    EXPECT_EQ(parsed.options.windowId, c.window);
  }

  OptionsParseResult parsed = Parse({"--window", "800X600", "--seconds", "2.5", "-figures", "--save"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  const NativeOptions& o = parsed.options;
  EXPECT_EQ(std::tuple(o.target, o.width, o.height, o.seconds, o.figures, o.save, o.noSettingsFile),
            std::tuple(RunTarget::OwnWindow, 800, 600, 2.5, true, true, false));
  EXPECT_TRUE(Parse({"-root", "-no-settings-file"}).options.noSettingsFile);
  // A bare -window leaves the next option alone.
  EXPECT_EQ(After({"-window", "-fps"}, key::ShowFPS), 1);
  EXPECT_TRUE(Parse({"-fps", "--help", "--no-such-option"}).options.help);
}

TEST(NativeOptionsTest, BadValuesGiveOneLineNamingTheOptionAndWhatItTakes) {
  const std::string id = " is not a window; it takes an X window id, decimal or 0x hex",
                    cams = "; it takes camera numbers from 1 to 7, separated by commas", help = "; --help lists the options";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--camera-delay", "abc"}, R"(--camera-delay: "abc" is not a number; it takes 5 to 60 seconds)"},
      {{"-camera-delay", "61"}, R"(-camera-delay: "61" is out of range; it takes 5 to 60 seconds)"},
      {{"--light-delay", "0"}, R"(--light-delay: "0" is out of range; it takes 1 to 60 minutes)"},
      {{"--change-delay"}, "--change-delay needs a value: 1 to 60 minutes"},
      {{"--flag", "27"}, R"(--flag: "27" is out of range; it takes 0 to 26)"},
      {{"--flag", "99999999999999999999999"}, R"(--flag: "99999999999999999999999" is out of range; it takes 0 to 26)"},
      {{"--gamma", "1.51"}, R"(--gamma: "1.51" is out of range; it takes 0.50 to 1.50)"},
      {{"--gamma", "1e9"}, R"(--gamma: "1e9" is not a number; it takes 0.50 to 1.50)"},
      {{"--gamma", "nan"}, R"(--gamma: "nan" is not a number; it takes 0.50 to 1.50)"},
      {{"--volume", "1"}, R"(--volume: "1" is out of range; it takes -50 to 0 dB)"},
      {{"--volume", "-1,2,5"}, R"(--volume: "-1,2,5" is not a number; it takes -50 to 0 dB)"},
      {{"--firing-period", "7"}, R"(--firing-period: "7" is out of range; it takes 1, 5, 10, 15, 30 or 60 minutes)"},
      {{"--cameras", "1,,2"}, R"(--cameras: "1,,2" is not a number)" + cams},
      {{"--cameras", "8"}, R"(--cameras: "8" is out of range)" + cams},
      {{"--no-camera", "0"}, R"(--no-camera: "0" is out of range; it takes 1 to 7)"},
      {{"--flag-file", ""}, "--flag-file needs a value: the path of a JPEG picture"},
      {{"--window-id", "0"}, R"(--window-id: "0")" + id},
      {{"-window-id", "4294967296"}, R"(-window-id: "4294967296")" + id},
      {{"--window-id", "0x"}, R"(--window-id: "0x")" + id},
      {{"--window", "800x0"}, R"(--window: "800x0" is not a size; it takes WIDTHxHEIGHT, 1 to 16384 pixels each)"},
      {{"--seconds", "0"}, R"(--seconds: "0" is out of range; it takes more than 0, up to 86400 seconds)"},
      {{"--max-fps", "1001"}, R"(--max-fps: "1001" is out of range; it takes 0 (the display's rate) to 1000 frames a second)"},
      {{"--lighting=1"}, R"(unknown option "--lighting=1")" + help},
      {{"---fps"}, R"(unknown option "---fps")" + help},
      {{"--no-settings-file", "-camera-delay", "9", "-save"},
       "--save and --no-settings-file cannot go together: the settings file would get the defaults"},
      {{"fps"}, R"(unexpected argument "fps")" + help},
      // Options before the bad one are not half applied.
      {{"--no-sound", "--volume", "x"}, R"(--volume: "x" is not a number; it takes -50 to 0 dB)"},
  };
  for (const auto& [args, message] : cases) {
    const OptionsParseResult parsed = Parse(args);
    EXPECT_EQ(parsed.error, message);
    EXPECT_TRUE(parsed.options.overrides.empty()) << message;
  }
  const OptionsParseResult fromDaemon = Parse({"--root"}, "junk");
  EXPECT_EQ(fromDaemon.error, R"(XSCREENSAVER_WINDOW: "junk")" + id);
}

// Each option's line of the help (with the indented ones after it: a long
// name wraps) gives the range and default of the table it reads.
TEST(NativeOptionsTest, HelpGivesTheTablesRangesAndDefaults) {
  const std::string help = NativeUsage("brisane");
  const auto line = [&](const std::string& option) {
    std::size_t at = help.find("\n  " + option), end = at;
    if (at == std::string::npos) return std::string();
    do end = help.find('\n', end + 1);
    while (end != std::string::npos && help.compare(end, 6, "\n     ") == 0);
    return help.substr(at + 1, end - at - 1);
  };
  const auto spec = [](std::string_view key) { return *FindSetting(key); };
  for (const auto& [option, key] : {std::pair{"--camera-delay", key::SwitchPeriod}, std::pair{"--light-delay", key::LightDelay},
                                    std::pair{"--change-delay", key::ChangeDelay}, std::pair{"--flag N", key::FlagNum}}) {
    const SettingSpec s = spec(key);
    EXPECT_NE(line(option).find(std::to_string(s.minimum) + " to " + std::to_string(s.maximum)), std::string::npos) << option;
    EXPECT_NE(line(option).find("[" + std::to_string(s.defaultValue) + "]"), std::string::npos) << option;
  }
  EXPECT_NE(line("--sound").find(spec(key::DisableSound).defaultValue == 0 ? "[on]" : "[off]"), std::string::npos);
  EXPECT_NE(line("--random-cameras").find(spec(key::RandomView).defaultValue ? "[on]" : "[off]"), std::string::npos);
  char gamma[16];
  std::snprintf(gamma, sizeof gamma, "[%.2f]", GammaLevel(spec(key::GammaControl).defaultValue));
  EXPECT_NE(line("--gamma").find(gamma), std::string::npos);
  const std::int32_t period = FiringPeriodMinutes(spec(key::FiringPeriod).defaultValue);
  EXPECT_NE(line("--firing-period").find("[" + std::to_string(period) + "]"), std::string::npos);
  EXPECT_NE(help.find("26 United States"), std::string::npos);
}

}  // namespace
}  // namespace brisane

namespace brisane {
namespace {

// The watch passes the settings options on to each show as given, values
// that begin with a dash included, and keeps its own and the run options back.
TEST(NativeOptionsTest, TheIdleWatchTakesSettingsOptionsForItsShowsAndNoPlaceToDraw) {
  OptionsParseResult parsed = Parse({"-no-sound", "--install-idle", "--volume", "-12", "--idle-after", "90",
                                     "--flag-picture", "my flag$.jpg"});
  ASSERT_TRUE(parsed.ok()) << parsed.error;
  const NativeOptions& o = parsed.options;
  EXPECT_EQ(std::tuple(o.idle, o.idleSeconds), std::tuple(IdleAction::Install, 90));
  const std::string flag = std::filesystem::absolute("my flag$.jpg").string();
  EXPECT_EQ(o.showArguments, (std::vector<std::string>{"-no-sound", "--volume", "-12", "--flag-picture", flag}));
  EXPECT_EQ(IdleAutostartEntry("/opt/a b/brisane", o),
            "[Desktop Entry]\nType=Application\nName=Brisane 3D Screensaver\n"
            "Comment=The ship at sea when the session has been idle a while\n"
            "Exec=\"/opt/a b/brisane\" --idle --idle-after 90 -no-sound --volume -12 --flag-picture \"" +
                std::filesystem::absolute("my flag\\\\$.jpg").string() +
                "\"\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n");
  // A plain run passes nothing on.
  EXPECT_TRUE(Parse({"--no-sound"}).options.showArguments.empty());

  for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--idle", "--window"}, "--window cannot go with --idle, --install-idle or --remove-idle, which start the "
                                    "show full screen on every monitor"},
           {{"--monitor", "1", "--remove-idle"}, "--monitor cannot go with --idle, --install-idle or --remove-idle, "
                                                 "which start the show full screen on every monitor"},
           {{"--idle", "--idle-after", "0"}, R"(--idle-after: "0" is out of range; it takes 1 to 86400 seconds)"},
           {{"--monitor", "65"}, R"(--monitor: "65" is out of range; it takes 1 to 64)"}})
    EXPECT_EQ(Parse(args).error, message);
}

// On a Wayland session the compositor is drawn to, unless it has no seat
// (SDL would crash) or the window is an X one.
TEST(NativeOptionsTest, TheVideoDriverIsTheCompositorsWhenItCanBeUsed) {
  const WaylandOffer seat{true, true, 1}, noSeat{true, false, 1}, none{};
  const struct {
    bool xWindow;
    const char *asked, *wayland, *display;
    WaylandOffer offer;
    std::string driver;
    bool error;
  } cases[] = {
      {false, nullptr, "wayland-0", ":0", seat, "wayland", false},
      {true, nullptr, "wayland-0", ":0", seat, "x11", false},
      {false, "x11", "wayland-0", ":0", seat, "", false},
      {false, nullptr, nullptr, ":0", none, "", false},
      {false, nullptr, "wayland-0", ":0", none, "", false},
      {false, nullptr, "wayland-0", ":0", noSeat, "x11", false},
      {false, "wayland", "wayland-0", "", noSeat, "", true},
  };
  for (const auto& c : cases) {
    const DriverChoice choice = ChooseVideoDriver(c.xWindow, c.asked, c.wayland, c.display, c.offer);
    EXPECT_EQ(std::tuple(choice.driver, choice.error.empty()), std::tuple(c.driver, !c.error))
        << c.xWindow << " " << (c.asked ? c.asked : "-") << " " << c.offer.connected << c.offer.seat;
  }
}

}  // namespace
}  // namespace brisane
