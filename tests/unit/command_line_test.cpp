#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace brisane {
namespace {

TEST(CommandLineTest, EachLineGivesItsModeAndOnlyAPreviewAWindow) {
  const struct {
    const char* text;
    RunMode mode;
    std::uintptr_t window;
  } cases[] = {
      {"/p 1234", RunMode::Preview, 1234}, {"/p1234", RunMode::Preview, 1234},
      {"/p\t  1234 extra", RunMode::Preview, 1234}, {"/p +1234", RunMode::Preview, 1234},
      {"/p 4294967295", RunMode::Preview, 4294967295u},
      // A preview without a window has nowhere to draw.
      {"/p", RunMode::FullScreen, 0}, {"/p abc", RunMode::FullScreen, 0}, {"/p 0", RunMode::FullScreen, 0},
      {"", RunMode::Configuration, 0}, {"/c", RunMode::Configuration, 0}, {"/c:1234", RunMode::Configuration, 0},
      // Case and position matter; anything else is the show.
      {"/s", RunMode::FullScreen, 0}, {"/P 123", RunMode::FullScreen, 0}, {"/C", RunMode::FullScreen, 0},
      {" /c", RunMode::FullScreen, 0}, {"-s", RunMode::FullScreen, 0}, {"/", RunMode::FullScreen, 0},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.text);
    EXPECT_EQ(line.mode, c.mode) << '"' << c.text << '"';
    EXPECT_EQ(line.parentWindow, c.window) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace brisane
