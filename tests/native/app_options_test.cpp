#include <gtest/gtest.h>

#include "platform/native/native_app.h"

namespace brisane {
namespace {

// Each target of the command line becomes its run (parsing is the shell's test's).
TEST(NativeOptions, FollowTheCommandLinesTarget) {
  using Mode = NativeOptions::Mode;
  HackOptions hack;
  for (const auto& [target, mode] : {std::pair{HackTarget::FullScreen, Mode::FullScreen},
                                     std::pair{HackTarget::Window, Mode::Embedded}, std::pair{HackTarget::Root, Mode::Root},
                                     std::pair{HackTarget::OwnWindow, Mode::Window}}) {
    hack.target = target;
    EXPECT_EQ(ToNativeOptions(hack).mode, mode);
  }
  const NativeOptions own = ToNativeOptions(hack);
  EXPECT_GT(own.width * own.height, 0u) << "a window of some size when none was asked";
  hack.windowId = 0x2a00007u, hack.width = 640, hack.height = 480, hack.seconds = 2.5;
  hack.overrides.push_back({});
  const NativeOptions run = ToNativeOptions(hack);
  EXPECT_EQ(run.windowId, 0x2a00007u);
  EXPECT_EQ(std::pair(run.width, run.height), std::pair(640u, 480u));
  EXPECT_EQ(run.seconds, 2.5);
  EXPECT_EQ(run.overrides.size(), 1u);
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
