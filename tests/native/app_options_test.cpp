#include <gtest/gtest.h>

#include "platform/native/native_app.h"

namespace brisane {
namespace {

NativeOptions Parse(std::vector<std::string> arguments, bool ok = true) {
  NativeOptions options;
  std::string error;
  EXPECT_EQ(ParseNativeOptions(arguments, options, error), ok) << error;
  if (!ok) {
    EXPECT_FALSE(error.empty());
  }
  return options;
}

TEST(NativeOptions, TakeEitherSpellingAndTheirValues) {
  EXPECT_EQ(Parse({}).mode, NativeOptions::Mode::FullScreen);
  NativeOptions window = Parse({"--window", "640x480", "-seconds", "2.5", "--figures"});
  EXPECT_EQ(window.mode, NativeOptions::Mode::Window);
  EXPECT_EQ(window.width, 640u);
  EXPECT_EQ(window.height, 480u);
  EXPECT_EQ(window.seconds, 2.5);
  EXPECT_TRUE(window.figures);
  EXPECT_FALSE(window.save);
  NativeOptions embedded = Parse({"-window-id", "0x2a00007"});
  EXPECT_EQ(embedded.mode, NativeOptions::Mode::Embedded);
  EXPECT_EQ(embedded.windowId, 0x2a00007u);
  EXPECT_EQ(Parse({"--window-id", "123"}).windowId, 123u);
}

TEST(NativeOptions, RefuseWhatCannotBeMeant) {
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"--window"},
                                             {"--window", "640"},
                                             {"--window", "0x480"},
                                             {"--window", "640x480x"},
                                             {"--window", "99999x10"},
                                             {"--window-id", "0"},
                                             {"--window-id", "-5"},
                                             {"--window-id", "12ab"},
                                             {"--seconds", "0"},
                                             {"--seconds", "-1"},
                                             {"--seconds", "nan"},
                                             {"--seconds", "5s"},
                                             {"--fast"},
                                             {"window"}}) {
    SCOPED_TRACE(bad[0] + (bad.size() > 1 ? " " + bad[1] : ""));
    Parse(bad, false);
  }
}

TEST(InputRules, EndTheShowAsTheWindowsRunDoes) {
  InputRules rules(true);
  EXPECT_TRUE(rules.KeyDown(false, false, false));
  EXPECT_FALSE(rules.KeyDown(true, false, false));   // Alt itself
  EXPECT_FALSE(rules.KeyDown(false, true, false));   // with Alt held
  EXPECT_FALSE(rules.KeyDown(false, false, true));   // F10
  EXPECT_TRUE(rules.MouseButton());
  EXPECT_FALSE(rules.MouseMoved(100, 200));  // the first position is the reference
  EXPECT_FALSE(rules.MouseMoved(100, 200));
  EXPECT_TRUE(rules.MouseMoved(101, 200));   // one pixel is enough
  EXPECT_TRUE(rules.MouseMoved(100, 199));

  InputRules still(false);  // mouse movement turned off in the settings
  EXPECT_FALSE(still.MouseMoved(0, 0));
  EXPECT_FALSE(still.MouseMoved(500, 500));
  EXPECT_TRUE(still.KeyDown(false, false, false));
}

}  // namespace
}  // namespace brisane
