// Process entry of the native show: by hand, or as a screensaver daemon's
// display mode (its window through -window-id or XSCREENSAVER_WINDOW).
#include <cstdio>
#include <cstdlib>
#include <string>

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
  return brisane::RunNative(parsed.options);
}
