#include "win32/show_host.h"

#include "win32/fatal_error.h"

namespace brisane {

ShowHost::ShowHost(Display& display, Node& settings, TextOverlay* overlay)
    : textures(display.directDraw(), display.d3dDevice(), display.primary(), display.devices().Current().hardware),
      show({clock, random, resources, &textures, settings, &display, overlay, nullptr,
            [](const std::string& message) { FatalError("%s", message.c_str()); }}) {}

}  // namespace brisane
