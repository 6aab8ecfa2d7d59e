#include <gtest/gtest.h>

#include "native/native_app.h"

namespace brisane {
namespace {

// Each target of the command line becomes its run, and the settings file
// stays unread when it says so (parsing is the shell's test's); no program
// test draws on the root window itself.
TEST(NativeOptions, FollowTheCommandLinesTarget) {
  using Mode = NativeOptions::Mode;
  HackOptions hack;
  for (const auto& [target, mode] : {std::pair{HackTarget::FullScreen, Mode::FullScreen},
                                     std::pair{HackTarget::Window, Mode::Embedded}, std::pair{HackTarget::Root, Mode::Root},
                                     std::pair{HackTarget::OwnWindow, Mode::Window}}) {
    hack.target = target;
    EXPECT_EQ(ToNativeOptions(hack).mode, mode);
  }
  hack.noSettingsFile = true;
  EXPECT_TRUE(ToNativeOptions(hack).noSettingsFile);
}

// The program tests move the mouse far: the first position as the reference
// and the one-pixel rule are pinned here.
TEST(InputRules, EndTheShowAsTheWindowsRunDoes) {
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

}  // namespace
}  // namespace brisane
