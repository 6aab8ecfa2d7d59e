// The one Windows program of the tests: runs beside the screensaver under
// Wine and prints key=value lines: its windows, its preview (and, with the
// program's resources carried here, the preview code's own pixels), its
// sound device, activation taken, boxes answered, the registry; and, from the files beside
// it, its dialogs worked and the monitors.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver_support.h"
#include "win32/app.h"
#include "win32/direct_sound.h"
#include "settings/node.h"

namespace {

const char kSaverClass[] = "WindowsScreenSaverClass";

std::string TextOf(HWND window) {
  char buf[4096] = {};
  GetWindowTextA(window, buf, sizeof buf);
  return buf;
}

void PrintWindow(const char* prefix, HWND window) {
  RECT rect = {}, client = {};
  GetWindowRect(window, &rect);
  GetClientRect(window, &client);
  char className[256] = {};
  GetClassNameA(window, className, sizeof className);
  std::printf("%sclass=%s\n", prefix, className);
  std::printf("%stitle=%s\n", prefix, Escape(TextOf(window)).c_str());
  std::printf("%sstyle=0x%08lx\n", prefix, static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
  std::printf("%sexstyle=0x%08lx\n", prefix, static_cast<unsigned long>(GetWindowLongA(window, GWL_EXSTYLE)));
  std::printf("%sclassstyle=0x%lx\n", prefix, static_cast<unsigned long>(GetClassLongPtrA(window, GCL_STYLE)));
  std::printf("%srect=%ld,%ld,%ld,%ld\n", prefix, rect.left, rect.top, rect.right, rect.bottom);
  std::printf("%sclient=%ld,%ld\n", prefix, client.right, client.bottom);
  std::printf("%sparent=%llu\n", prefix,
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetAncestor(window, GA_PARENT) == GetDesktopWindow()
                                                                              ? nullptr
                                                                              : GetAncestor(window, GA_PARENT))));
}

// inspect TIMEOUT_MS: the full-screen window and the screen it covers.
int Inspect(DWORD timeout) {
  HWND w = WaitForWindow(kSaverClass, nullptr, timeout);
  std::printf("found=%d\nscreen=%d,%d\n", w ? 1 : 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  if (w) PrintWindow("", w);
  std::fflush(stdout);
  return 0;
}

HWND MakeTopWindow(const char* title, int width, int height) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "BrisaneTestHost";
  RegisterClassA(&wc);
  RECT r = {0, 0, width, height};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND w = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
  Pump(100);
  return w;
}

// The top-left width x height pixels of a window, as hex (rows top first, blue, green, red).
void PrintPixels(const char* key, HWND window, int width, int height) {
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::printf("%s=", key);
  if (dib && bits) {
    HGDIOBJ previous = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    for (int y = 0; y < height; ++y)
      for (int i = 0; i < width * 3; ++i) std::printf("%02x", static_cast<const BYTE*>(bits)[y * ((width * 3 + 3) & ~3) + i]);
    SelectObject(memory, previous);
    DeleteObject(dib);
  }
  std::printf("\n");
  DeleteDC(memory);
  ReleaseDC(window, dc);
}

// preview PROGRAM WIDTH HEIGHT PIXELS_W PIXELS_H: hosts "/p <hwnd>" as the
// display settings do and closes the host; then the preview code in this
// process, whose top-left pixels can be read back here, and its exit code.
int Preview(const char* program, int width, int height, int pixelsWidth, int pixelsHeight) {
  HWND host = MakeTopWindow("Brisane preview host", width, height);
  std::string command = std::string("\"") + program + "\" /p " +
                        std::to_string(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("started=0\n");
    return 1;
  }
  // The child's creation sends messages to this thread: keep pumping.
  HWND child = nullptr;
  for (DWORD start = GetTickCount(); !child && GetTickCount() - start < 20000;) {
    child = FindWindowExA(host, nullptr, kSaverClass, nullptr);
    if (!child) Pump(20);
  }
  std::printf("found=%d\n", child ? 1 : 0);
  if (child) {
    std::printf("host=%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
    PrintWindow("child.", child);
    std::printf("child.getparent=%llu\n", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetParent(child))));
    InvalidateRect(child, nullptr, TRUE);
    Pump(500);
    std::printf("alive=%d\n", WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT ? 1 : 0);
  }
  std::fflush(stdout);
  DestroyWindow(host);
  DWORD code = 999;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Pump(20);
  }
  GetExitCodeProcess(pi.hProcess, &code);
  std::printf("exit=%lu\n", static_cast<unsigned long>(code));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  host = MakeTopWindow("Brisane preview host", width, height);
  brisane::Node settings;  // the tree WinMain keeps, empty as on a fresh start
  brisane::App app(GetModuleHandleA(nullptr), settings);
  app.shell().preview = true;
  app.shell().parentWindow = host;
  app.InitWindow();
  if (const HWND own = app.shell().mainWindow) {
    RECT client = {};
    GetClientRect(own, &client);
    std::printf("own.client=%ld,%ld\n", client.right, client.bottom);
    InvalidateRect(own, nullptr, TRUE);
    Pump(300);
    PrintPixels("own.pixels", own, pixelsWidth, pixelsHeight);
  }
  DestroyWindow(host);
  for (DWORD start = GetTickCount(); GetTickCount() - start < 2000; Sleep(10)) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        std::printf("own.exit=%d\n", static_cast<int>(msg.wParam));
        return 0;
      }
      DispatchMessageA(&msg);
    }
  }
  return 0;
}

// activate MILLISECONDS: a window of our own takes the foreground.
int Activate(DWORD milliseconds) {
  HWND w = MakeTopWindow("Brisane activation thief", 200, 100);
  SetForegroundWindow(w);
  SetActiveWindow(w);
  Pump(milliseconds);
  DestroyWindow(w);
  return 0;
}

// sound: the program's sound device plays a 0.2 s tone once, then in a loop:
// whether each is playing at once and 0.6 s later.
int Sound() {
  HWND window = MakeTopWindow("Brisane sound", 100, 100);
  brisane::DirectSoundDevice device;
  if (FAILED(device.Init(window))) return 3;
  const brisane::WaveFormat format{1, 1, 22050, 44100, 2, 16, {}};
  std::vector<std::uint8_t> tone(8820);  // a square wave, 16-bit mono
  for (std::size_t i = 1; i < tone.size(); i += 2) tone[i] = i % 100 < 50 ? 0x40 : 0xC0;
  for (const bool looping : {false, true}) {
    brisane::HResult result = 0;
    const auto buffer = device.CreateBuffer(format, static_cast<std::uint32_t>(tone.size()), result);
    bool atOnce = false, later = false;
    if (buffer && SUCCEEDED(buffer->Fill(tone)) && SUCCEEDED(buffer->Play(looping))) {
      buffer->IsPlaying(atOnce);
      Sleep(600);
      buffer->IsPlaying(later);
    }
    std::printf("%s=%d,%d\n", looping ? "loop" : "once", atOnce ? 1 : 0, later ? 1 : 0);
  }
  std::fflush(stdout);
  DestroyWindow(window);
  return 0;
}

// answer TITLE TIMEOUT_MS BUTTON_ID: reads a message box or dialog and presses a button.
int Answer(const char* title, DWORD timeout, int button) {
  HWND box = WaitForWindow("#32770", title, timeout);
  std::printf("found=%d\n", box ? 1 : 0);
  if (!box) return 0;
  HWND text = GetDlgItem(box, 0xFFFF);  // the message text of a message box
  if (text) std::printf("text=%s\n", Escape(TextOf(text)).c_str());
  HWND icon = GetDlgItem(box, 0x0440);  // its icon
  std::printf("icon=%d\n", icon && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0 ? 1 : 0);
  std::fflush(stdout);
  HWND control = GetDlgItem(box, button);
  std::printf("button=%s\n", control ? Escape(TextOf(control)).c_str() : "");
  if (control) SendMessageA(control, BM_CLICK, 0, 0);
  else PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  std::fflush(stdout);
  return 0;
}

// regdump SUBKEY: every value under HKCU\SUBKEY as stored: the wide calls
// give the bytes untouched (the narrow ones may add a terminator).
int RegDump(const char* subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    std::printf("open=0\n");
    return 0;
  }
  std::printf("open=1\n");
  auto narrow = [](const wchar_t* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) out += text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
    return out;
  };
  for (DWORD i = 0;; ++i) {
    wchar_t name[1024];
    DWORD nameLength = 1024;
    std::wstring data(1 << 16, L'\0');
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
      break;
    std::printf("value=%s|%lu|%lu|%s\n", Escape(narrow(name, nameLength)).c_str(), static_cast<unsigned long>(type),
                static_cast<unsigned long>(size), Escape(narrow(data.data(), size / sizeof(wchar_t))).c_str());
  }
  RegCloseKey(key);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  auto arg = [&](int i, const char* fallback) { return argc > i ? argv[i] : fallback; };
  if (command == "inspect") return Inspect(std::strtoul(arg(2, "10000"), nullptr, 10));
  if (command == "preview" && argc > 2)
    return Preview(argv[2], std::atoi(arg(3, "320")), std::atoi(arg(4, "240")), std::atoi(arg(5, "152")),
                   std::atoi(arg(6, "112")));
  if (command == "sound") return Sound();
  if (command == "activate") return Activate(std::strtoul(arg(2, "1000"), nullptr, 10));
  if (command == "answer" && argc > 2)
    return Answer(argv[2], std::strtoul(arg(3, "10000"), nullptr, 10), std::atoi(arg(4, "1")));
  if (command == "regdump" && argc > 2) return RegDump(argv[2]);
  if (command == "dialog") return DialogDriver(argc - 1, argv + 1);
  if (command == "monitors") return MonitorDriver(argc - 1, argv + 1);
  std::fprintf(stderr, "usage: harness inspect|preview|sound|activate|answer|regdump|dialog|monitors ...\n");
  return 2;
}
