// harness monitors                 monitor=left,top,right,bottom,primary per monitor
//   cover TIMEOUT_MS [X,Y...]       the show's cover of another monitor (rect, exstyle, class cursor),
//                                   then a mouse move posted to it at each point
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "driver_support.h"

namespace {

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  std::printf("monitor=%ld,%ld,%ld,%ld,%d\n", r.left, r.top, r.right, r.bottom,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  return TRUE;
}

int Cover(DWORD timeout, int count, char** points) {
  HWND cover = WaitForWindow("BrisaneMonitorCover", nullptr, timeout);
  if (!cover) {
    std::printf("found=0\n");
    return 0;
  }
  RECT r = {};
  GetWindowRect(cover, &r);
  std::printf("found=1\nrect=%ld,%ld,%ld,%ld\nexstyle=0x%08lx\ncursor=%d\n", r.left, r.top, r.right, r.bottom,
              static_cast<unsigned long>(GetWindowLongA(cover, GWL_EXSTYLE)),
              GetClassLongPtrA(cover, GCLP_HCURSOR) ? 1 : 0);
  for (int i = 0; i < count; ++i) {
    long x = 0, y = 0;
    if (std::sscanf(points[i], "%ld,%ld", &x, &y) != 2) continue;
    PostMessageA(cover, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    Sleep(300);
  }
  return 0;
}

}  // namespace

int MonitorDriver(int argc, char** argv) {
  if (argc >= 3 && std::string_view(argv[1]) == "cover")
    return Cover(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)), argc - 3, argv + 3);
  return EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0) ? 0 : 1;
}
