#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "shell/command_line.h"
#include "shell/fatal_report.h"
#include "shell/host_rules.h"
#include "settings/settings_keys.h"

namespace brisane {
namespace {

// Only a preview with a window gets one; case and position matter, and
// anything unknown is the show.
TEST(CommandLineTest, EachLineGivesItsModeAndOnlyAPreviewAWindow) {
  for (const auto& [text, mode, window] :
       {std::tuple{"/p 1234", RunMode::Preview, 1234u}, std::tuple{"/p\t  4294967295 x", RunMode::Preview, 4294967295u},
        std::tuple{"/p1234", RunMode::Preview, 1234u}, std::tuple{"/p 0", RunMode::FullScreen, 0u},
        std::tuple{"/p abc", RunMode::FullScreen, 0u}, std::tuple{"", RunMode::Configuration, 0u},
        std::tuple{"/c:1234", RunMode::Configuration, 0u}, std::tuple{"/P 123", RunMode::FullScreen, 0u},
        std::tuple{" /c", RunMode::FullScreen, 0u}, std::tuple{"/s", RunMode::FullScreen, 0u}}) {
    const CommandLine line = ParseCommandLine(text);
    EXPECT_EQ(line.mode, mode) << '"' << text << '"';
    EXPECT_EQ(line.parentWindow, std::uintptr_t{window}) << '"' << text << '"';
  }
}

// The program tests move the mouse far: the first position as the reference
// and the one-pixel rule are pinned here.
TEST(HostRules, InputEndsTheShowAsOnWindows) {
  InputRules rules(true);
  EXPECT_TRUE(rules.KeyDown(false, false, false));
  EXPECT_FALSE(rules.KeyDown(true, false, false) || rules.KeyDown(false, true, false) || rules.KeyDown(false, false, true));
  EXPECT_TRUE(rules.MouseButton());
  EXPECT_FALSE(rules.MouseMoved(100, 200));  // the first position is the reference
  EXPECT_FALSE(rules.MouseMoved(100, 200));
  EXPECT_TRUE(rules.MouseMoved(101, 200));  // one pixel is enough
  EXPECT_TRUE(rules.MouseMoved(100, 199));
  InputRules still(false);  // mouse movement turned off in the settings
  EXPECT_FALSE(still.MouseMoved(0, 0) || still.MouseMoved(500, 500));
}

// A daemon's runs, one a monitor: each finds the monitor holding its window;
// one over several monitors (the whole screen) is the first.
TEST(HostRules, EachRunFindsItsMonitorAndOnlyTheFirstPlays) {
  const ScreenRect monitors[] = {{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}, {-1024, 0, 1024, 768}};
  const auto at = [&](ScreenRect window) { return PlaceAmong(window, monitors).index; };
  EXPECT_EQ(at({0, 0, 1920, 1080}), 1u);
  EXPECT_EQ(at({1920, 0, 1280, 1024}), 0u);
  EXPECT_EQ(at({-1024, 0, 1024, 768}), 2u);
  EXPECT_EQ(at({0, 0, 1921, 1080}), 0u);  // one pixel over the edge: not within
  EXPECT_EQ(at({-1024, 0, 4224, 1080}), 0u);
  EXPECT_TRUE(PlaceAmong({1920, 0, 1280, 1024}, monitors).plays());
  EXPECT_FALSE(PlaceAmong({0, 0, 1920, 1080}, monitors).plays());
}

// Sound off opens nothing; a device that does not start silences this run
// in the tree only.
TEST(HostRules, SoundOffOrAFailedDeviceIsSilence) {
  Node settings;
  int opened = 0;
  const auto none = [&]() -> AudioDevice* { return ++opened, nullptr; };
  settings.Get(key::DisableSound) = Value(std::int32_t{1});
  EXPECT_EQ(OpenShowSound(settings, none), nullptr);
  EXPECT_EQ(opened, 0);
  settings.Get(key::DisableSound) = Value(std::int32_t{0});
  EXPECT_EQ(OpenShowSound(settings, none), nullptr);
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(settings.Get(key::DisableSound).AsInt(), 1);
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatFatalMessage(format, args);
  va_end(args);
  return s;
}

TEST(FatalReportTest, MessagesAreCutAtTheLimitAndEndWithTheSupportLine) {
  const std::string exact(496, 'e');
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
  EXPECT_EQ(Format("%stail", exact.c_str()), exact);
  EXPECT_EQ(Format(nullptr), "");
  EXPECT_EQ(ComposeFatalReport("FATAL ERROR in X(): failed"),
            std::string("FATAL ERROR in X(): failed\n\nIf you see this message then please contact us at ") +
                kSupportAddress + "\n");
}

}  // namespace
}  // namespace brisane
