// The show of the full-screen run over the display objects: the scene's
// clock, its resources and its texture factory live exactly as long as it.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/win32/module_resources.h"
#include "platform/win32/texture_surface.h"
#include "show/show.h"

namespace brisane {

struct ShowHost {
  // The display objects are up (InitDirect3D succeeded).
  ShowHost();

  MultimediaClock clock;
  ModuleResourceSource resources;
  TextureFactory textures;
  Show show;
};

// Made by SetupShow; released by CleanupDisplay before the device, since
// its textures are surfaces of that device.
extern std::unique_ptr<ShowHost> g_Show;

// After InitDirect3D: the scene from the program's resources, the first
// camera, the render states. S_OK even when the scene is missing (the show
// then presents empty frames); E_FAIL without a display.
HRESULT SetupShow();

}  // namespace brisane
