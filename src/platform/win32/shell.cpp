// Window creation and the message loop that drives the show.
#include <windows.h>

#include "platform/win32/fatal_error.h"
#include "platform/win32/shell_state.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

namespace brisane {

ShellState g_Shell;

HRESULT InitWindow() {
  WNDCLASSA wc = {};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = g_Shell.instance;
  wc.hIcon = LoadIconA(g_Shell.instance, MAKEINTRESOURCEA(IDI_BRISANE));
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "WindowsScreenSaverClass";
  if (!RegisterClassA(&wc)) {
    FatalError("FATAL ERROR in InitWindow(): RegisterClass return NULL");
  }

  HWND window = nullptr;
  if (g_Shell.preview) {
    RECT client = {};
    GetClientRect(g_Shell.parentWindow, &client);
    window = CreateWindowExA(0, wc.lpszClassName, kProgramName, WS_CHILD, 0, 0, client.right - client.left,
                             client.bottom - client.top, g_Shell.parentWindow, nullptr, g_Shell.instance, nullptr);
  } else {
    window = CreateWindowExA(0, wc.lpszClassName, kProgramName, WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, g_Shell.instance, nullptr);
  }
  g_Shell.mainWindow = window;
  if (!window) {
    FatalError("FATAL ERROR in InitWindow(): CreateWindow return NULL");
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return S_OK;
}

int RunMessageLoop() {
  MSG msg = {};
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  while (msg.message != WM_QUIT) {
    bool got;
    if (g_Shell.active) {
      got = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != 0;
    } else {
      const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
      if (r == -1) return 0;  // the queue is gone; nothing more will arrive
      got = true;             // WM_QUIT (r == 0) ends the loop at the test above
    }
    if (got) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else if (g_Shell.active) {
      if (g_Shell.preview) {
        WaitMessage();  // the preview only repaints its picture
      } else {
        RenderFrame();
      }
    }
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace brisane
