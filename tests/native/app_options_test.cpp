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

}  // namespace
}  // namespace brisane
