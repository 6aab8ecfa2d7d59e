// Brings the program's display code up under Wine and reports what it found,
// how fast frames go, and what a forced bring-up failure does.
//   list             the device table and the loaded device settings
//   frames SECONDS   the show's own window and frames: frame rates with the scene and
//                    without it (the reference), the back buffer's colours
//   badmode          a full-screen mode the display cannot take (fatal)
//   run PROGRAM ARGS  runs it and prints its exit code
//   eightbit         a mode the display takes but 3D cannot use (fatal after the change)
//   lost [W H]       the mode changed to W x H (800 x 600) by someone else under a
//                    running show, which must end by itself
//   fatalframe       a fatal error raised by a pass of the third frame (exit code 1)
//   tour SECONDS     the show's frames for that long: the cameras shown and the
//                    lowest gamma level the director set on the display
//   sea PREFIX       the show's frames with the sea mirroring, two of them a second
//                    apart saved as PREFIX-a.ppm and PREFIX-b.ppm with the ship's
//                    pose at each, then the same show without the mirror
//                    (PREFIX-plain.ppm); the frame rates of both and where the
//                    ship's water points lie on the screen
//   figures SECONDS  seconds from process creation to the show set up and to
//                    its first frame, frames a second and peak memory, as
//                    bench/floor prints them
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/app.h"
#include "platform/win32/fatal_error.h"
#include "settings/node.h"
#include "show/ship_contract.h"

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
  const HRESULT loaded = app.display().LoadSettings(app.settings());
  const DeviceTable& devices = app.display().devices();
  std::printf("loaded=%ld\nenumerated=%u\ndevices=%u\ncurrent=%u\n", static_cast<long>(loaded),
              devices.numEnumerated, devices.NumDevices(), devices.current);
  for (std::uint32_t i = 0; i < devices.NumDevices(); ++i) {
    const DeviceInfo& d = devices.devices[i];
    std::string modes;
    for (const DisplayMode& m : d.modes) {
      if (!modes.empty()) modes += ',';
      modes += ModeText(m);
    }
    std::printf("device.%u.name=%s\ndevice.%u.tnlhal=%d\ndevice.%u.windowed=%d\ndevice.%u.textures=%u\n", i,
                d.name.c_str(), i, d.IsTnLHal() ? 1 : 0, i, d.windowedCapable ? 1 : 0, i,
                d.description.maxSimultaneousTextures);
    std::printf("device.%u.modes=%s\ndevice.%u.default=%u\ndevice.%u.desktop=%u\ndevice.%u.selected=%s\n", i,
                modes.c_str(), i, d.defaultModeIndex, i, d.desktopModeIndex, i, ModeText(d.selectedMode).c_str());
  }
  for (const char* key : {"DeviceNum", "ModeNum", "UseDesktopRes", "EnableLightmaps", "EnableEnvWater"})
    std::printf("setting.%s=%d\n", key, static_cast<int>(SettingsRoot.Get(key).AsInt()));
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

// The mean colour of a band of rows, as R,G,B.
std::string MeanColour(const std::vector<std::uint32_t>& pixels, LONG width, LONG top, LONG bottom) {
  double sum[3] = {};
  for (LONG y = top; y < bottom; ++y)
    for (LONG x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
      sum[0] += (p >> 16) & 0xFF;
      sum[1] += (p >> 8) & 0xFF;
      sum[2] += p & 0xFF;
    }
  const double n = double(width) * double(bottom - top);
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d", int(sum[0] / n), int(sum[1] / n), int(sum[2] / n));
  return text;
}

// The show's window, brought up by the program's own creation handler, and
// its frames for that many seconds; then, in the same process and mode, the
// bare frame (clear and present, no scene) for as long, as the reference.
// Prints both rates and what the back buffer held after the show's frames.
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
  std::printf("screenscale=%.4f\n", app.show() ? app.show()->show.screenScale() : 0.0f);
  std::vector<std::uint32_t> pixels;
  const LONG width = display.viewportRect().right, height = display.viewportRect().bottom;
  const HResult read = display.device() ? display.device()->ReadBackBuffer({0, 0, width, height}, pixels) : E_FAIL;
  std::printf("readback=%ld\n", static_cast<long>(read));
  if (SUCCEEDED(read) && pixels.size() == static_cast<std::size_t>(width * height)) {
    std::printf("distinct=%zu\n", std::set<std::uint32_t>(pixels.begin(), pixels.end()).size());
    std::printf("top=%s\nbottom=%s\n", MeanColour(pixels, width, 0, height / 10).c_str(),
                MeanColour(pixels, width, height - height / 10, height).c_str());
  }

  app.DropShow();  // the same frames without the scene
  const double clearRate = DrawFrames(app, seconds, "clear.");
  std::printf("ratio=%.4f\n", clearRate > 0 ? sceneRate / clearRate : 0.0);
  // Everything released by its owner: nothing may still hold the device.
  std::printf("cleanup=%ld\n", static_cast<long>(app.CleanupDisplay()));
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

// The show's side of the bare program's figures (bench/floor): seconds from
// the process's creation to the show set up and to its first frame
// presented, frames a second over the run, peak memory.
int Figures(double seconds) {
  const auto workingSet = [] {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return memory;
  };
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  const double setUp = SecondsSinceProcessStart();
  const double setUpMemory = workingSet().WorkingSetSize / 1048576.0;
  app.RenderFrame();
  const double firstFrame = SecondsSinceProcessStart();
  const double rate = DrawFrames(app, seconds, "");
  const PROCESS_MEMORY_COUNTERS memory = workingSet();
  std::printf("scene=%d\nset_up_s=%.3f\nfirst_frame_s=%.3f\nfps=%.2f\nset_up_memory_mb=%.1f\npeak_memory_mb=%.1f\n"
              "mode=%s\n",
              app.show() ? 1 : 0, setUp, firstFrame, rate, setUpMemory, memory.PeakWorkingSetSize / 1048576.0,
              ModeText(app.display().devices().Current().selectedMode).c_str());
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
  HWND window = CreateWindowExA(0, wc.lpszClassName, "display driver", WS_POPUP | WS_VISIBLE, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                wc.hInstance, nullptr);
  return window;
}

int BadMode() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  HWND window = PlainWindow();
  app.display().EnumerateDevices();
  app.display().LoadSettings(app.settings());
  app.display().devices().Current().selectedMode = {1000, 700, 32, 0};  // no display offers this
  app.display().InitDirectDraw(window, false);
  return 2;  // not reached: the failure is fatal
}

// Reads the fatal box this process shows, notes the screen size while it is
// up, and presses OK: inside a virtual desktop another process cannot be
// relied on to find it.
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

// An 8-bit mode: the display takes it, but 3D rendering cannot run there,
// so bring-up fails after the mode has changed.
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

// The display taken away under a running show: a mode change by someone
// else. The show must end by itself, cleanly.
int Lost(DWORD width, DWORD height) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  MSG msg = {};
  unsigned frames = 0;
  const DWORD start = GetTickCount();
  bool changed = false;
  // Long enough for a few frames of the ship under a software rasteriser.
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
      mode.dmPelsWidth = width;
      mode.dmPelsHeight = height;
      mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
      std::printf("change=%ld\n", ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr));
      IDirectDrawSurface7* primary = app.display().primary();
      std::printf("lost=%d\n", primary && primary->IsLost() == DDERR_SURFACELOST ? 1 : 0);
    }
  }
  std::printf("quit=%d\nquitcode=%d\nactive=%d\nframes=%u\nwindow=%d\nshow=%d\ndevice=%d\n",
              msg.message == WM_QUIT ? 1 : 0, static_cast<int>(msg.wParam), app.shell().active ? 1 : 0, frames,
              IsWindow(app.shell().mainWindow) ? 1 : 0, app.show() ? 1 : 0, app.display().d3dDevice() ? 1 : 0);
  ChangeDisplaySettingsExA(nullptr, nullptr, nullptr, 0, nullptr);
  return 0;
}

// A pass of the frame that fails the way a lost render target does, on the
// third frame: the fatal report must stay up over the show's window.
class FailingPass : public FramePass {
 public:
  std::string_view Name() const override { return "failing"; }
  void Run(FrameContext&) override {
    if (++frames_ == 3) FatalError("FATAL ERROR in renderReflection(): SetRenderTarget failed, hr = %u", 0x887601C2u);
  }

 private:
  int frames_ = 0;
};

int Tour(double seconds) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  if (!app.show() || !app.show()->show.director()) return 3;
  Show& show = app.show()->show;
  const DWORD start = GetTickCount();
  std::string shown = show.scene().currentCamera() ? show.scene().currentCamera()->name() : "";
  std::printf("camera.0=%s\n", shown.c_str());
  float lowest = show.director()->level();
  unsigned frames = 0, changes = 0;
  MSG msg;
  while (GetTickCount() - start < seconds * 1000) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    app.RenderFrame();
    ++frames;
    lowest = std::min(lowest, show.director()->level());
    const Camera* camera = show.scene().currentCamera();
    if (camera && camera->name() != shown) {
      shown = camera->name();
      ++changes;
      std::printf("camera.%u=%s\ncamera.%u.ms=%lu\n", changes, shown.c_str(), changes,
                  static_cast<unsigned long>(GetTickCount() - start));
    }
  }
  std::printf("frames=%u\nchanges=%u\nlowest=%.3f\nlevel=%.3f\n", frames, changes, lowest,
              show.director()->level());
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

// The back buffer as a binary PPM.
bool SaveBackBuffer(App& app, const std::string& path) {
  const RECT& rect = app.display().viewportRect();
  const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
  std::vector<std::uint32_t> pixels;
  if (!app.display().device() || FAILED(app.display().device()->ReadBackBuffer({0, 0, width, height}, pixels)) ||
      pixels.size() != static_cast<std::size_t>(width * height))
    return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%ld %ld\n255\n", width, height);
  std::vector<unsigned char> row;
  for (std::uint32_t p : pixels)
    row.insert(row.end(), {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                           static_cast<unsigned char>(p)});
  const bool written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
  return std::fclose(file) == 0 && written;
}

// The ship's pose and the sea's phase now, as NAME.* lines.
void PrintSea(Show& show, const char* name) {
  const SceneNode* ship = show.scene().findNode(std::string(contract::kShipRoot));
  if (ship) {
    const Matrix& m = ship->local();
    std::printf("%s.pose=%.5f,%.5f,%.5f,%.5f,%.5f,%.5f\n", name, m(3, 0), m(3, 1), m(3, 2), m(0, 2), m(1, 2), m(2, 2));
  }
  std::printf("%s.phase=%.3f\n", name, show.water() ? show.water()->phase() : -1.0f);
}

// Where a world point lands on the screen, through the device's view and
// projection as the last frame left them.
void PrintOnScreen(App& app, const char* name, const Vector3& p) {
  Device& device = *app.display().device();
  DeviceMatrix view, projection;
  device.GetTransform(TransformState::View, view);
  device.GetTransform(TransformState::Projection, projection);
  DeviceViewport viewport;
  device.GetViewport(viewport);
  float v[4], c[4];
  for (int j = 0; j < 4; ++j) v[j] = p.x * view.m[0][j] + p.y * view.m[1][j] + p.z * view.m[2][j] + view.m[3][j];
  for (int j = 0; j < 4; ++j)
    c[j] = v[0] * projection.m[0][j] + v[1] * projection.m[1][j] + v[2] * projection.m[2][j] +
           v[3] * projection.m[3][j];
  std::printf("%s.screen=%d,%d\n", name, static_cast<int>((c[0] / c[3] + 1) * 0.5f * float(viewport.width)),
              static_cast<int>((1 - c[1] / c[3]) * 0.5f * float(viewport.height)));
}

int Sea(const std::string& prefix) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  if (!app.show() || !app.show()->show.water()) return 3;
  std::printf("mirror=%d\n", app.show()->show.water()->environmentWater() ? 1 : 0);
  DrawFrames(app, 2.0, "warm.");
  const double mirrored = DrawFrames(app, 3.0, "mirror.");
  PrintSea(app.show()->show, "a");
  std::printf("a.saved=%d\n", SaveBackBuffer(app, prefix + "-a.ppm") ? 1 : 0);
  const DWORD apart = GetTickCount();
  MSG msg;
  while (GetTickCount() - apart < 1000) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    app.RenderFrame();
  }
  PrintSea(app.show()->show, "b");
  std::printf("b.saved=%d\n", SaveBackBuffer(app, prefix + "-b.ppm") ? 1 : 0);
  for (std::size_t i = 0; i < contract::kWaterPoints.size(); ++i) {
    const SceneNode* point = app.show()->show.scene().findNode(std::string(contract::kWaterPoints[i]));
    if (point)
      PrintOnScreen(app, ("point" + std::to_string(i + 1)).c_str(), {point->position().x, point->position().y, 0});
  }

  // The same show without the mirror, in the same process and mode.
  app.DropShow();
  SettingsRoot.Get("EnableEnvWater") = Value(std::int32_t{0});
  if (FAILED(app.SetupShow())) return 4;
  std::printf("plain.mirror=%d\n", app.show()->show.water()->environmentWater() ? 1 : 0);
  DrawFrames(app, 2.0, "warm2.");
  const double plain = DrawFrames(app, 3.0, "plain.");
  std::printf("plain.saved=%d\n", SaveBackBuffer(app, prefix + "-plain.ppm") ? 1 : 0);
  std::printf("mirror.ratio=%.4f\n", plain > 0 ? mirrored / plain : 0.0);
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

int FatalFrame() {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  if (!app.show()) return 3;
  FailingPass failing;
  app.show()->show.passes().Add(FrameStep::Water, failing);
  app.RunMessageLoop();
  return 4;  // not reached: the failure is fatal
}

// Runs a program to its end and prints its exit code: a virtual desktop's
// launcher does not pass the code on.
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
  if (command == "badmode") return BadMode();
  if (command == "eightbit") return EightBit();
  if (command == "lost")
    return argc > 3 ? Lost(std::strtoul(argv[2], nullptr, 10), std::strtoul(argv[3], nullptr, 10)) : Lost(800, 600);
  if (command == "fatalframe") return FatalFrame();
  if (command == "figures") return Figures(argc > 2 ? std::atof(argv[2]) : 10.0);
  if (command == "tour") return Tour(argc > 2 ? std::atof(argv[2]) : 10.0);
  if (command == "sea" && argc > 2) return Sea(argv[2]);
  if (command == "run" && argc > 2) return Run(argc, argv);
  std::fprintf(stderr,
               "usage: display_driver list|frames SECONDS|badmode|eightbit|lost [W H]|fatalframe|tour SECONDS|"
               "sea PREFIX|run PROGRAM ARGS\n");
  return 2;
}
