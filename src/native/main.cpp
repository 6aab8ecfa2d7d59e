// Process entry of the native show: by hand, or as a screensaver daemon's
// display mode (its window through -window-id or XSCREENSAVER_WINDOW).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "native/idle_watch.h"
#include "native/native_app.h"

int main(int argc, char** argv) {
  const brisane::OptionsParseResult parsed = brisane::ParseNativeOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"));
  if (!parsed.ok()) {
    std::fprintf(stderr, "brisane: %s\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(brisane::NativeUsage("brisane").c_str(), stdout);
    return 0;
  }
  // The watch starts the program it is, wherever it was started from.
  std::error_code error;
  std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error) self = argv[0];
  switch (parsed.options.idle) {
    case brisane::IdleAction::Watch:
      return brisane::RunIdleWatch(parsed.options, self);
    case brisane::IdleAction::Install:
    case brisane::IdleAction::Remove:
      return brisane::InstallIdle(parsed.options, self);
    case brisane::IdleAction::None:
      break;
  }
  return brisane::RunNative(parsed.options);
}
