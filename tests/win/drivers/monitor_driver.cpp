// Prints the monitors the system reports, one line each:
// monitor=left,top,right,bottom,primary
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM count) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  std::printf("monitor=%ld,%ld,%ld,%ld,%d\n", r.left, r.top, r.right, r.bottom,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

}  // namespace

int main() {
  int count = 0;
  EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, reinterpret_cast<LPARAM>(&count));
  std::printf("count=%d\nscreen=%d,%d\n", count, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return 0;
}
