#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace brisane {
namespace {

TEST(CommandLineTest, PreviewTakesTheWindowNumber) {
  for (const char* text : {"/p 1234", "/p1234", "/p   1234", "/p\t1234", "/p 1234 extra", "/p +1234"}) {
    const CommandLine c = ParseCommandLine(text);
    EXPECT_EQ(c.mode, RunMode::Preview) << text;
    EXPECT_EQ(c.parentWindow, 1234u) << text;
  }
  EXPECT_EQ(ParseCommandLine("/p 4294967295").parentWindow, 4294967295u);
}

TEST(CommandLineTest, PreviewWithoutAWindowRunsTheShow) {
  for (const char* text : {"/p", "/p ", "/p abc", "/p 0", "/p -"}) {
    const CommandLine c = ParseCommandLine(text);
    EXPECT_EQ(c.mode, RunMode::FullScreen) << text;
    EXPECT_EQ(c.parentWindow, 0u) << text;
  }
}

TEST(CommandLineTest, ConfigurationOnSlashCOrNothing) {
  for (const char* text : {"", "/c", "/c:1234", "/c 55", "/cfoo"}) {
    EXPECT_EQ(ParseCommandLine(text).mode, RunMode::Configuration) << '"' << text << '"';
  }
}

TEST(CommandLineTest, EverythingElseRunsTheShow) {
  for (const char* text : {"/s", "/S", "/P 123", "/C", "-s", "/a", " /c", " ", "s", "/"}) {
    const CommandLine c = ParseCommandLine(text);
    EXPECT_EQ(c.mode, RunMode::FullScreen) << '"' << text << '"';
    EXPECT_EQ(c.parentWindow, 0u);
  }
}

}  // namespace
}  // namespace brisane
