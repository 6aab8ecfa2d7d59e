// The show's still frames through the native device, in a hidden window (see
// still_show.h): still_native ASSETS_DIR OUTDIR [--size WxH] --shot ...
// Writes OUTDIR/NAME.ppm per shot; exit codes as still_win's.
#include <SDL.h>
#include <epoxy/gl.h>

#include <cstdio>
#include <memory>

#include "native/gl_display.h"
#include "tools/still/still_show.h"

using namespace brisane;

namespace {

int Run(const still::Options& options, const ResourceSource& resources) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  const std::unique_ptr<SDL_Window, void (*)(SDL_Window*)> window(
      SDL_CreateWindow("still", 0, 0, int(options.width), int(options.height), SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN),
      SDL_DestroyWindow);
  const std::unique_ptr<void, void (*)(SDL_GLContext)> context(window ? SDL_GL_CreateContext(window.get()) : nullptr,
                                                              SDL_GL_DeleteContext);
  if (!context) {
    std::fprintf(stderr, "still: %s\n", SDL_GetError());
    return 5;
  }
  GlDisplay display;  // goes before the context
  std::string error;
  if (!display.Init(options.width, options.height, error)) {
    std::fprintf(stderr, "still: %s\n", error.c_str());
    return 5;
  }
  // As the program asks for it: anisotropic filtering where GL has it.
  const bool anisotropic = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                           epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
  error = still::TakeStills(*display.device(), display.textures(), resources, options.width, options.height,
                            anisotropic, options.shots, [] { return kOk; },
                            [&](const still::Shot& shot, const still::Picture& picture) {
                              return still::WritePpm(options.outDir + "/" + shot.name + ".ppm", picture);
                            });
  if (!error.empty()) {
    std::fprintf(stderr, "still: %s\n", error.c_str());
    return 6;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = still::ParseArguments(argc, argv);
  if (!options) {
    std::fputs(still::kUsage, stderr);
    return 2;
  }
  MemoryResourceSource resources;
  if (!still::LoadAssetFolder(options->assets, resources)) {
    std::fprintf(stderr, "still: no generated resources in %s\n", options->assets.c_str());
    return 3;
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "still: %s\n", SDL_GetError());
    return 5;
  }
  const int result = Run(*options, resources);
  SDL_Quit();
  return result;
}
