// Process entry: the screensaver host picks the run mode on the command line.
#include <windows.h>

#include <cstdlib>

#include "platform/win32/config_dialog.h"
#include "platform/win32/shell_state.h"
#include "resources/resource_ids.h"
#include "shell/command_line.h"

namespace brisane {

// Sets the preview flag and parent window, or runs the configuration dialog
// and ends the process.
void ApplyCommandLine(const char* text) {
  const CommandLine parsed = ParseCommandLine(text ? std::string_view(text) : std::string_view());
  switch (parsed.mode) {
    case RunMode::Configuration:
      DialogBoxParamA(g_Shell.instance, MAKEINTRESOURCEA(IDD_CONFIG), GetForegroundWindow(), ConfigDialogProc, 0);
      std::exit(0);
    case RunMode::Preview:
      g_Shell.preview = true;
      g_Shell.parentWindow = reinterpret_cast<HWND>(parsed.parentWindow);
      break;
    case RunMode::FullScreen:
      break;
  }
}

}  // namespace brisane

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int /*show*/) {
  brisane::g_Shell.instance = instance;
  brisane::ApplyCommandLine(commandLine);
  if (FAILED(brisane::InitWindow())) return 0;
  return brisane::RunMessageLoop();
}
