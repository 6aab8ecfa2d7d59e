#include <windows.h>

#include "platform/win32/shell_state.h"

namespace brisane {

// Until the renderer draws the scene, a frame is the window cleared to black.
void RenderFrame() {
  HWND window = g_Shell.mainWindow;
  if (!window) return;
  HDC dc = GetDC(window);
  if (!dc) return;
  RECT client = {};
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(window, dc);
}

}  // namespace brisane
