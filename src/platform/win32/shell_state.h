// State of the screensaver shell, alive from entry to the end of the process.
#pragma once

#include <windows.h>

namespace brisane {

struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  bool preview = false;
  HWND parentWindow = nullptr;
  bool active = true;  // while set, the loop polls and draws frames
};

extern ShellState g_Shell;

// Registers the window class and creates the screensaver window for the run
// mode; reports failure through FatalError.
HRESULT InitWindow();
// Runs until WM_QUIT; returns its wParam.
int RunMessageLoop();
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// One frame of the show; called whenever the message queue is empty.
void RenderFrame();

}  // namespace brisane
