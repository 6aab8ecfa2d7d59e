#include "win32/other_monitors.h"

namespace brisane {

namespace {

constexpr char kCoverClass[] = "BrisaneMonitorCover";

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY)) {
    reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
  }
  return TRUE;
}

HWND ShowWindowOf(HWND cover) { return reinterpret_cast<HWND>(GetWindowLongPtrA(cover, GWLP_USERDATA)); }

}  // namespace

int OtherMonitors::Cover(HINSTANCE instance, HWND showWindow) {
  Uncover();
  std::vector<RECT> monitors;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
  if (monitors.empty()) return 0;

  instance_ = instance;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CoverProc;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kCoverClass;  // no cursor: none is shown over a cover
  classRegistered_ = RegisterClassA(&wc) != 0;
  if (!classRegistered_) return 0;

  for (const RECT& r : monitors) {
    // Never activated: the show window keeps the keyboard and the activation
    // whose loss ends the show.
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kCoverClass, "", WS_POPUP,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                                 showWindow);
    if (!cover) continue;
    windows_.push_back(cover);
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    UpdateWindow(cover);
  }
  return static_cast<int>(windows_.size());
}

void OtherMonitors::Uncover() {
  for (HWND cover : windows_) {
    if (IsWindow(cover)) DestroyWindow(cover);
  }
  windows_.clear();
  if (classRegistered_) UnregisterClassA(kCoverClass, instance_);
  classRegistered_ = false;
}

LRESULT CALLBACK OtherMonitors::CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_SYSKEYDOWN:
      return 0;  // as over the show: Alt and F10 combinations do nothing
    case WM_KEYDOWN: {
      HWND show = ShowWindowOf(window);
      if (IsWindow(show)) SendMessageA(show, WM_KEYDOWN, wParam, lParam);
      return 0;
    }
    case WM_MOUSEMOVE: {
      // In the show window's coordinates, so that its one reference point
      // measures movement across every monitor.
      HWND show = ShowWindowOf(window);
      if (!IsWindow(show)) return 0;
      POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      MapWindowPoints(window, show, &p, 1);
      SendMessageA(show, WM_MOUSEMOVE, wParam,
                   MAKELPARAM(static_cast<WORD>(static_cast<short>(p.x)), static_cast<WORD>(static_cast<short>(p.y))));
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace brisane
