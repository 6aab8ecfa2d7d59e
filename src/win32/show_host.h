// The show of the full-screen run over a display: the clock, the random
// source, the resources and the texture factory live exactly as long as the
// show, which borrows them.
#pragma once

#include <windows.h>

#include "win32/display.h"
#include "win32/module_resources.h"
#include "win32/texture_surface.h"
#include "show/show.h"

namespace brisane {

struct ShowHost {
  // The display is up (InitDirect3D succeeded). overlay may be null.
  ShowHost(Display& display, Node& settings, TextOverlay* overlay);

  MultimediaClock clock;
  CrtRandom random;
  ModuleResourceSource resources;
  TextureFactory textures;
  Show show;
};

}  // namespace brisane
