// The show's side of the bare program's figures (floor.cpp): the program's
// own window, scene and frames, carrying its resources. Prints seconds from
// the process's creation to the show set up and to its first frame
// presented, frames a second over the run and peak memory.
//   show_figures [SECONDS]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/app.h"
#include "settings/node.h"
#include "bench/floor/process_clock.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  return memory;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.InitWindow();
  const double setUp = SecondsSinceProcessStart();
  const double setUpMemory = Memory().WorkingSetSize / 1048576.0;
  app.RenderFrame();
  const double firstFrame = SecondsSinceProcessStart();
  unsigned frames = 0;
  double elapsed = 0;
  for (const double start = firstFrame; (elapsed = SecondsSinceProcessStart() - start) < seconds; ++frames) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    app.RenderFrame();
  }
  const DisplayMode& mode = app.display().devices().Current().selectedMode;
  std::printf("scene=%d\nset_up_s=%.3f\nfirst_frame_s=%.3f\nfps=%.2f\nset_up_memory_mb=%.1f\npeak_memory_mb=%.1f\n"
              "mode=%lux%lux%lu\ncleanup=%ld\n",
              app.show() ? 1 : 0, setUp, firstFrame, frames / elapsed, setUpMemory,
              Memory().PeakWorkingSetSize / 1048576.0, static_cast<unsigned long>(mode.width),
              static_cast<unsigned long>(mode.height), static_cast<unsigned long>(mode.bitCount),
              static_cast<long>(app.CleanupDisplay()));
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}
