// The X screen's root window, kept apart: Xlib's macros (None, Status, ...)
// collide with the program's own names.
#pragma once

#include <cstdint>

namespace brisane {

// The default screen's root window of $DISPLAY; 0 when no display opens.
std::uint64_t ScreenRootWindow();

}  // namespace brisane
