#pragma once

namespace brisane {

// Gives the display back to the desktop, shows the message in a box
// ("Error!") and ends the process with exit code 1.
[[noreturn]] void FatalError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace brisane
