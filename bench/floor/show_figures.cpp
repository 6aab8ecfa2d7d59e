// The show's side of the bare program's figures (floor.cpp): the program's
// own window, scene and frames, carrying its resources. Prints seconds from
// the process's creation to the show set up and to its first frame
// presented, frames a second over the run, the processor time the frames
// took, and peak memory. "unpaced" blits frames as fast as they come; "bare"
// draws the bare frame (clear and present) after the first, as a display
// that draws the scene faster than it refreshes would.
//   show_figures [SECONDS] [unpaced] [bare]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "win32/app.h"
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

// User and kernel time of this process so far, in seconds.
double ProcessorSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  bool paced = true, bare = false;
  for (int i = 2; i < argc; ++i) {
    paced = paced && std::string(argv[i]) != "unpaced";
    bare = bare || std::string(argv[i]) == "bare";
  }
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  app.display().SetBlitPacing(paced);
  app.InitWindow();
  const bool scene = app.show() != nullptr;
  const double setUp = SecondsSinceProcessStart();
  const double setUpMemory = Memory().WorkingSetSize / 1048576.0;
  app.RenderFrame();
  const double firstFrame = SecondsSinceProcessStart();
  if (bare) app.DropShow();
  const double processorStart = ProcessorSeconds();
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
  const double processor = ProcessorSeconds() - processorStart;
  const DisplayMode& mode = app.display().devices().Current().selectedMode;
  std::printf("cpu_s=%.3f\npaced_hz=%lu\n", processor, static_cast<unsigned long>(app.display().pacedHz()));
  std::printf("cleanup=%ld\n", static_cast<long>(app.CleanupDisplay()));
  std::printf("scene=%d\nset_up_s=%.3f\nfirst_frame_s=%.3f\nfps=%.2f\nset_up_memory_mb=%.1f\npeak_memory_mb=%.1f\n"
              "mode=%lux%lux%lu\n",
              scene ? 1 : 0, setUp, firstFrame, frames / elapsed, setUpMemory,
              Memory().PeakWorkingSetSize / 1048576.0, static_cast<unsigned long>(mode.width),
              static_cast<unsigned long>(mode.height), static_cast<unsigned long>(mode.bitCount));
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}
