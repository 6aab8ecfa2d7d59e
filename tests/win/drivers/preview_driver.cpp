// The preview window of the program's own window code, hosted in this
// process (which carries the program's resources), and its pixels read back.
//   preview_driver WIDTH HEIGHT PIXELS_W PIXELS_H
// prints found=, client=, then pixels= as hex (rows top first, blue, green,
// red) of the child's top-left PIXELS_W x PIXELS_H, and exit= of its loop.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/win32/app.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        std::printf("exit=%d\n", static_cast<int>(msg.wParam));
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < milliseconds);
}

void PrintPixels(HWND window, int width, int height) {
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::printf("pixels=");
  if (dib && bits) {
    HGDIOBJ previous = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y) {
      const BYTE* row = static_cast<const BYTE*>(bits) + y * stride;
      for (int i = 0; i < width * 3; ++i) std::printf("%02x", row[i]);
    }
    SelectObject(memory, previous);
  }
  std::printf("\n");
  if (dib) DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "PreviewDriverHost";
  RegisterClassA(&wc);
  RECT r = {0, 0, width, height};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND host = CreateWindowExA(0, wc.lpszClassName, "preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  Pump(100);

  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.shell().preview = true;
  app.shell().parentWindow = host;
  app.InitWindow();
  const HWND preview = app.shell().mainWindow;
  std::printf("found=%d\n", preview ? 1 : 0);
  if (preview) {
    RECT client = {};
    GetClientRect(preview, &client);
    std::printf("client=%ld,%ld\n", client.right, client.bottom);
    InvalidateRect(preview, nullptr, TRUE);
    Pump(300);
    PrintPixels(preview, std::atoi(argv[3]), std::atoi(argv[4]));
  }
  DestroyWindow(host);  // takes the preview with it, which ends its loop
  Pump(200);
  std::fflush(stdout);
  return 0;
}
