#include "win32/fatal_error.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>

#include "win32/app.h"
#include "shell/fatal_report.h"

namespace brisane {

void FatalError(const char* format, ...) {
  // Leave exclusive mode first so the box is shown on the normal desktop,
  // and keep the show's window from closing under the box.
  if (App* app = App::Current()) app->PrepareForFatalReport();
  va_list args;
  va_start(args, format);
  const std::string message = FormatFatalMessage(format, args);
  va_end(args);
  // A quit already posted (the show's window destroyed when its creation
  // was refused) would end the box's own message loop before anyone read
  // it; the process ends after the box anyway.
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  MessageBoxA(nullptr, ComposeFatalReport(message).c_str(), "Error!", MB_ICONERROR);
  std::exit(1);
}

}  // namespace brisane
