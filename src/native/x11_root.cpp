#include "native/x11_root.h"

#include <X11/Xlib.h>

#include <memory>

namespace brisane {

std::uint64_t ScreenRootWindow() {
  const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
  return x ? RootWindow(x.get(), DefaultScreen(x.get())) : 0;
}

}  // namespace brisane
