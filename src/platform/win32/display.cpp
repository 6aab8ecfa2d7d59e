#include "platform/win32/display.h"

namespace brisane {

// No display object exists before device bring-up, so there is nothing to
// release yet.
void CleanupDisplay() {}

}  // namespace brisane
