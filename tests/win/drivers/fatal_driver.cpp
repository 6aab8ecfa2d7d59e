// Raises the program's fatal report, as a failure deep in the show would.
#include <string>

#include "platform/win32/fatal_error.h"

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "";
  if (kind == "long") {
    const std::string detail = std::string(480, 'a') + std::string(200, 'b');
    brisane::FatalError("FATAL ERROR in Test(): %s", detail.c_str());
  }
  brisane::FatalError("FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = %u", 0x80004005u);
}
