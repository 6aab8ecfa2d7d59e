#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

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

}  // namespace
}  // namespace brisane
