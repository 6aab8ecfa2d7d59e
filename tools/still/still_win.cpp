// The show's still frames through the Windows program's own device, off
// screen (see still_show.h): still_win ASSETS_DIR OUTDIR [--size WxH] --shot ...
// Writes OUTDIR/NAME.ppm per shot. Exit code 0; 2 for bad arguments, 3 when
// the resources are missing, 5 when the display cannot be brought up, 6 when
// the show or a picture fails.
#include <windows.h>

#include <cstdio>

#include "win32/d3d7_device.h"
#include "win32/texture_surface.h"
#include "render/state_filter.h"
#include "tools/scene_view/offscreen.h"
#include "tools/still/still_show.h"

using namespace brisane;

int main(int argc, char** argv) {
  const auto options = still::ParseArguments(argc, argv);
  if (!options) {
    std::fputs(still::kUsage, stderr);
    return 2;
  }
  MemoryResourceSource resources;
  if (!still::LoadAssetFolder(WindowsPath(options->assets), resources)) {
    std::fprintf(stderr, "still: no generated resources in %s\n", options->assets.c_str());
    return 3;
  }
  HWND window = MakeToolWindow("StillWindow");
  Offscreen display;
  if (const std::string failed = BringUp(window, options->width, options->height, display); !failed.empty()) {
    std::fprintf(stderr, "still: display bring-up failed at %s\n", failed.c_str());
    return 5;
  }
  std::string error;
  {
    D3D7Device d3d(display.d3d.Get(), display.device.Get(), display.target.Get());
    StateFilter device(d3d);  // as the program draws
    TextureFactory textures(display.directDraw.Get(), display.device.Get(), display.target.Get(), true);
    const std::string outDir = WindowsPath(options->outDir);
    error = still::TakeStills(device, textures, resources, options->width, options->height, display.anisotropic,
                              options->shots, [] { return kOk; },
                              [&](const still::Shot& shot, const still::Picture& picture) {
                                return still::WritePpm(outDir + "\\" + shot.name + ".ppm", picture);
                              });
  }
  DestroyWindow(window);
  std::printf("anisotropic=%d\n", display.anisotropic ? 1 : 0);
  if (!error.empty()) {
    std::fprintf(stderr, "still: %s\n", error.c_str());
    return 6;
  }
  return 0;
}
