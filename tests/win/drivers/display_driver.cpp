// Brings the program's display code up under Wine and reports what it found,
// how fast frames go, and what a forced bring-up failure does.
//   list             the device table and the loaded device settings
//   frames SECONDS   the show's own window and frames: frame rates with the scene and
//                    without it (the reference), then its cleanup
//   run PROGRAM ARGS  runs it and prints its exit code
//   eightbit         a mode the display takes but 3D cannot use (fatal after the change)
//   lost             the mode changed to 640 x 480 by someone else under a
//                    running show, which must end by itself
//   fatalframe       a fatal error raised by a pass of the third frame (exit code 1)
//   refused          the show's window refused at its creation (exit code 1)
//   displayoff       a running show given the system's display-off and display-on
//                    reports, one a line of standard input ("off", "on")
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "win32/app.h"
#include "win32/fatal_error.h"
#include "settings/node.h"

#include "driver_support.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

std::string ModeText(const DisplayMode& m) {
  return std::to_string(m.width) + "x" + std::to_string(m.height) + "x" + std::to_string(m.bitCount);
}

int List() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.display().EnumerateDevices();
  app.display().LoadSettings(app.settings());
  const DeviceTable& devices = app.display().devices();
  std::printf("devices=%u\ncurrent=%u\n", devices.NumDevices(), devices.current);
  for (std::uint32_t i = 0; i < devices.NumDevices(); ++i) {
    const DeviceInfo& d = devices.devices[i];
    std::string modes;
    for (const DisplayMode& m : d.modes) {
      if (!modes.empty()) modes += ',';
      modes += ModeText(m);
    }
    std::printf("device.%u.tnlhal=%d\ndevice.%u.modes=%s\ndevice.%u.default=%u\ndevice.%u.desktop=%u\n", i,
                d.IsTnLHal() ? 1 : 0, i, modes.c_str(), i, d.defaultModeIndex, i, d.desktopModeIndex);
  }
  return 0;
}

// Frames as the message loop draws them, for that many seconds; the rate.
double DrawFrames(App& app, double seconds, const char* prefix) {
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  unsigned frames = 0;
  MSG msg;
  for (;;) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    QueryPerformanceCounter(&now);
    const double elapsed = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    if (elapsed >= seconds) {
      std::printf("%sframes=%u\n%sseconds=%.3f\n%sfps=%.2f\n", prefix, frames, prefix, elapsed, prefix,
                  frames / elapsed);
      return frames / elapsed;
    }
    app.RenderFrame();
    ++frames;
  }
}

// The show's frames, then the bare frame (clear and present) in the same
// process and mode as the reference rate; then
// whether the cleanup left any reference to the device or DirectDraw.
int Frames(double seconds) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  app.InitWindow();
  QueryPerformanceCounter(&now);
  std::printf("setup.seconds=%.2f\nscene=%d\n", double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart),
              app.show() ? 1 : 0);
  const double sceneRate = DrawFrames(app, seconds, "");

  const Display& display = app.display();
  const DeviceInfo& device = app.display().devices().Current();
  const RECT& screen = display.screenRect();
  std::printf("desktopres=%d\nscreen=%ld,%ld,%ld,%ld\nmode=%s\n", device.desktopResolution ? 1 : 0, screen.left,
              screen.top, screen.right, screen.bottom, ModeText(device.selectedMode).c_str());

  app.DropShow();  // the same frames without the scene
  const double clearRate = DrawFrames(app, seconds, "clear.");
  std::printf("ratio=%.4f\n", clearRate > 0 ? sceneRate / clearRate : 0.0);
  std::printf("cleanup=%ld\n", static_cast<long>(app.CleanupDisplay()));
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

HWND PlainWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "DisplayDriverWindow";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "display driver", WS_POPUP | WS_VISIBLE, 0, 0,
                         GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, wc.hInstance,
                         nullptr);
}

// Reads this process's fatal box and the screen size while it is up, and
// presses OK: inside a virtual desktop another process may not find it.
DWORD WINAPI AnswerFatalBox(LPVOID) {
  for (int i = 0; i < 400; ++i) {
    HWND box = FindWindowA("#32770", "Error!");
    if (box) {
      char text[1024] = {};
      GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
      std::printf("box=%s\nscreen.atbox=%d,%d\n", Escape(text).c_str(), GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN));
      std::fflush(stdout);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return 0;
    }
    Sleep(50);
  }
  return 0;
}

// An 8-bit mode: the display takes it, 3D cannot, so bring-up fails after the change.
int EightBit() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  HWND window = PlainWindow();
  app.display().EnumerateDevices();
  app.display().LoadSettings(app.settings());
  app.display().devices().Current().selectedMode = {800, 600, 8, 0};
  CloseHandle(CreateThread(nullptr, 0, AnswerFatalBox, nullptr, 0, nullptr));
  if (FAILED(app.display().InitDirectDraw(window, false))) return 3;
  std::printf("changed=%d,%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  std::fflush(stdout);
  app.display().InitDirect3D();
  return 4;  // not reached: the failure is fatal
}

// Someone else changes the mode under a running show: it must end by itself.
int Lost() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  MSG msg = {};
  unsigned frames = 0;
  const DWORD start = GetTickCount();
  bool changed = false;
  while (GetTickCount() - start < 30000) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) break;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      continue;
    }
    if (app.shell().active) {
      app.RenderFrame();
      ++frames;
    }
    if (!changed && frames == 3) {
      changed = true;
      DEVMODEA mode = {};
      mode.dmSize = sizeof mode;
      mode.dmPelsWidth = 640;
      mode.dmPelsHeight = 480;
      mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
      std::printf("change=%ld\n", ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr));
      IDirectDrawSurface7* primary = app.display().primary();
      std::printf("lost=%d\n", primary && primary->IsLost() == DDERR_SURFACELOST ? 1 : 0);
    }
  }
  std::printf("quit=%d\nquitcode=%d\nframes=%u\nwindow=%d\nshow=%d\ndevice=%d\n",
              msg.message == WM_QUIT ? 1 : 0, static_cast<int>(msg.wParam), frames,
              IsWindow(app.shell().mainWindow) ? 1 : 0, app.show() ? 1 : 0, app.display().d3dDevice() ? 1 : 0);
  ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
  return 0;
}

// Fails on the third frame the way a lost render target does.
class FailingPass : public FramePass {
 public:
  std::string_view Name() const override { return "failing"; }
  void Run(FrameContext&) override {
    if (++frames_ == 3) FatalError("FATAL ERROR in renderReflection(): SetRenderTarget failed, hr = %u", 0x887601C2u);
  }

 private:
  int frames_ = 0;
};

int FatalFrame() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  if (!app.show()) return 3;
  FailingPass failing;
  app.show()->show.passes().Add(FrameStep::Water, failing);
  app.RunMessageLoop();
  return 4;  // not reached: the failure is fatal
}

// The show's window refused by its creation handler, as a bring-up that
// finds no device does: Windows destroys the window inside its creation (the
// program's own WM_DESTROY handling runs; Wine skips that message, so it is
// sent here), and the creation's fatal box must wait to be read.
WNDPROC g_ShowProc = nullptr;

LRESULT CALLBACK RefusingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_CREATE) return CallWindowProcA(g_ShowProc, window, message, wParam, lParam);
  CallWindowProcA(g_ShowProc, window, WM_DESTROY, 0, 0);
  return -1;
}

LRESULT CALLBACK RefuseShowWindow(int code, WPARAM wParam, LPARAM lParam) {
  char name[64] = {};
  if (code == HCBT_CREATEWND && !g_ShowProc && GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) &&
      std::string(name) == "WindowsScreenSaverClass")
    g_ShowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(reinterpret_cast<HWND>(wParam), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RefusingProc)));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

int Refused() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  SetWindowsHookExA(WH_CBT, RefuseShowWindow, nullptr, GetCurrentThreadId());
  app.InitWindow();
  return 4;  // not reached: the failure is fatal
}

// A virtual desktop's launcher does not pass the exit code on: print it.
// Each line of standard input, "off" or "on", reported to the show as a
// system reports the console display's state; its end closes the show.
DWORD WINAPI ReportDisplayStates(LPVOID window) {
  char line[16];
  while (std::fgets(line, sizeof line, stdin)) {
    const DWORD state = std::strncmp(line, "off", 3) == 0 ? 0 : 1;
    struct { GUID setting; DWORD length, state; } setting = {
        {0x6FE69556, 0x704A, 0x47A0, {0x8F, 0x24, 0xC2, 0x8D, 0x93, 0x6F, 0xDA, 0x47}}, sizeof(DWORD), state};
    SendMessageA(static_cast<HWND>(window), WM_POWERBROADCAST, 0x8013, reinterpret_cast<LPARAM>(&setting));
    std::printf("state=%s\n", state ? "on" : "off");
    std::fflush(stdout);
  }
  PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}

int DisplayOff() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  if (FAILED(app.InitWindow())) return 1;
  CloseHandle(CreateThread(nullptr, 0, ReportDisplayStates, app.shell().mainWindow, 0, nullptr));
  return app.RunMessageLoop();
}

int Run(int argc, char** argv) {
  std::string line;
  for (int i = 2; i < argc; ++i) line += std::string(i > 2 ? " " : "") + "\"" + argv[i] + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return 2;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit=%lu\n", code);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "list") return List();
  if (command == "frames") return Frames(argc > 2 ? std::atof(argv[2]) : 3.0);
  if (command == "eightbit") return EightBit();
  if (command == "lost") return Lost();
  if (command == "fatalframe") return FatalFrame();
  if (command == "refused") return Refused();
  if (command == "displayoff") return DisplayOff();
  if (command == "run" && argc > 2) return Run(argc, argv);
  std::fprintf(stderr,
               "usage: display_driver list|frames SECONDS|eightbit|lost|fatalframe|refused|run PROGRAM ARGS\n");
  return 2;
}
