// Process-wide display objects (DirectDraw and Direct3D).
#pragma once

namespace brisane {

// Leaves exclusive mode and releases every display object; safe to call when
// nothing was brought up, and more than once.
void CleanupDisplay();

}  // namespace brisane
