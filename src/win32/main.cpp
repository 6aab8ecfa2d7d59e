// Process entry: the screensaver host picks the run mode on the command line.
#include <windows.h>

#include "win32/app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
  // The settings of the whole run: every part reads them through the app.
  brisane::Node settings;
  brisane::App app(instance, settings);
  app.ApplyCommandLine(commandLine);
  if (FAILED(app.InitWindow())) return 0;
  return app.RunMessageLoop();
}
