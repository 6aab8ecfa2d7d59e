#include "platform/win32/show_host.h"

namespace brisane {

ShowHost::ShowHost(Display& display, Node& settings, TextOverlay* overlay)
    : textures(display.directDraw(), display.d3dDevice(), display.primary(), display.devices().Current().hardware),
      show({clock, random, resources, &textures, settings, &display, overlay}) {}

}  // namespace brisane
