// Process entry of the native show.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/native/native_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  brisane::NativeOptions options;
  std::string error;
  if (!brisane::ParseNativeOptions(arguments, options, error)) {
    std::fprintf(stderr, "brisane: %s\n%s", error.c_str(), brisane::NativeUsage());
    return 2;
  }
  if (options.help) {
    std::fputs(brisane::NativeUsage(), stdout);
    return 0;
  }
  return brisane::RunNative(options);
}
