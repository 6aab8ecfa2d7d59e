#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "shell/command_line.h"
#include "shell/fatal_report.h"

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
