#include <gtest/gtest.h>

#include "platform/native/native_app.h"

namespace brisane {
namespace {

// The daemon's ways of naming where to draw reach the run.
TEST(NativeOptions, FollowTheCommandLinesTarget) {
  const auto run = [](std::vector<const char*> args, const char* env = nullptr) {
    args.insert(args.begin(), "brisane");
    const HackParseResult parsed = ParseHackOptions(static_cast<int>(args.size()), args.data(), env);
    EXPECT_TRUE(parsed.ok()) << parsed.error;
    return ToNativeOptions(parsed.options);
  };
  EXPECT_EQ(run({}).mode, NativeOptions::Mode::FullScreen);
  const NativeOptions window = run({"--window", "640x480", "-seconds", "2.5", "--no-sound"});
  EXPECT_EQ(window.mode, NativeOptions::Mode::Window);
  EXPECT_EQ(window.width, 640u);
  EXPECT_EQ(window.height, 480u);
  EXPECT_EQ(window.seconds, 2.5);
  ASSERT_EQ(window.overrides.size(), 1u);
  const NativeOptions own = run({"-window"});
  EXPECT_EQ(own.mode, NativeOptions::Mode::Window);
  EXPECT_GT(own.width * own.height, 0u);
  const NativeOptions embedded = run({"--root"}, "0x2a00007");
  EXPECT_EQ(embedded.mode, NativeOptions::Mode::Embedded);
  EXPECT_EQ(embedded.windowId, 0x2a00007u);
  EXPECT_EQ(run({"-root"}).mode, NativeOptions::Mode::Root);
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
