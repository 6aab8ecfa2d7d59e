// The screensaver window: what starts the show, what ends it.
#include <windows.h>

#include "platform/win32/display.h"
#include "platform/win32/fatal_error.h"
#include "platform/win32/preview_picture.h"
#include "platform/win32/shell_state.h"
#include "platform/win32/show_host.h"
#include "settings/node.h"

namespace brisane {

namespace {

constexpr std::uint16_t kPreviewPicture = 150;  // JPEGFILE

// Window-level state of the run.
struct WindowState {
  HBITMAP previewPicture = nullptr;
  bool mouseReferenceSet = false;
  short mouseX = 0;
  short mouseY = 0;
};
WindowState g_Window;

LRESULT CreatePreview(HWND window) {
  g_Shell.mainWindow = window;
  // A picture that cannot be made leaves the preview unpainted, not refused.
  HDC dc = GetDC(window);
  if (dc) {
    g_Window.previewPicture = CreateBitmapFromJpegResource(dc, kPreviewPicture);
    ReleaseDC(window, dc);
  }
  return 0;
}

void PaintPreview(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc && g_Window.previewPicture) {
    RECT client = {};
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
      HGDIOBJ previous = SelectObject(memory, g_Window.previewPicture);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
    }
  }
  EndPaint(window, &ps);
}

// The show comes up in a fixed order; -1 refuses the window, which ends in
// the window creation's fatal report.
LRESULT StartShow(HWND window) {
  g_Shell.mainWindow = window;
  if (GetDirectXVersion() < 0x700) {
    MessageBoxA(nullptr, "Incorrect DirectX version. Please install DirectX 7 or later", "Error!", MB_ICONERROR);
    FatalError("Incorrect DirectX version!");
  }
  if (FAILED(EnumerateDevices())) {
    MessageBoxA(nullptr, "No 3D devices was found", "Error!", MB_ICONERROR);
    return -1;
  }
  if (FAILED(LoadSettings())) return -1;
  if (FAILED(InitDirectDraw(window, SettingsRoot.Get("UseDesktopRes").AsInt() != 0))) return -1;
  if (FAILED(InitDirect3D())) return -1;
  if (FAILED(SetupShow())) return -1;
  // Next: the ambient sounds, the guns and the overlay font.
  return 0;
}

void StopShow() {
  g_Shell.active = false;  // no frame after this point
  // The overlay font and the ambient sounds go before the display objects,
  // and the sound device after them.
  CleanupDisplay();
  PostQuitMessage(0);
}

// Any movement after the first mouse message ends the show.
void TestMouseMove(HWND window, LPARAM lParam) {
  if (SettingsRoot.Get("DisableOnMouseActivate").AsInt() != 0) return;
  const short x = static_cast<short>(LOWORD(lParam));
  const short y = static_cast<short>(HIWORD(lParam));
  if (!g_Window.mouseReferenceSet) {
    g_Window.mouseReferenceSet = true;
    g_Window.mouseX = x;
    g_Window.mouseY = y;
    return;
  }
  if (x != g_Window.mouseX || y != g_Window.mouseY) SendMessageA(window, WM_CLOSE, 0, 0);
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool preview = g_Shell.preview;
  switch (message) {
    case WM_CREATE:
      return preview ? CreatePreview(window) : StartShow(window);
    case WM_DESTROY:
      if (preview) {
        if (g_Window.previewPicture) DeleteObject(g_Window.previewPicture);
        g_Window.previewPicture = nullptr;
        PostQuitMessage(0);
      } else {
        StopShow();
      }
      return 0;
    case WM_PAINT:
      if (preview) PaintPreview(window);
      break;
    case WM_ERASEBKGND:
      return 0;  // the background is never erased
    case WM_SETCURSOR:
      if (!preview) SetCursor(nullptr);  // no pointer over the show
      return 1;
    case WM_KEYDOWN:
      SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_SYSKEYDOWN:
      return 0;  // Alt and F10 combinations do nothing
    case WM_ACTIVATEAPP:
      if (wParam == FALSE) SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case WM_MOUSEMOVE:
      if (!preview) TestMouseMove(window, lParam);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace brisane
