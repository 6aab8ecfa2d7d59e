#include "native/x11_window.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>

#include <atomic>

namespace brisane {

namespace {

// Xlib's handler is the process's, with no room for a pointer of ours.
std::atomic<unsigned> g_xErrors{0};

int CountError(Display*, XErrorEvent*) {
  ++g_xErrors;
  return 0;
}

}  // namespace

std::uint64_t ScreenRootWindow() {
  const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
  return x ? RootWindow(x.get(), DefaultScreen(x.get())) : 0;
}

struct XWindowWatch::Impl {
  Display* display = XOpenDisplay(nullptr);
  XErrorHandler previous = XSetErrorHandler(CountError);
};

XWindowWatch::XWindowWatch() : impl_(std::make_unique<Impl>()) {}

XWindowWatch::~XWindowWatch() {
  if (impl_->display) XCloseDisplay(impl_->display);
  XSetErrorHandler(impl_->previous);
}

bool XWindowWatch::connected() const { return impl_->display != nullptr; }

std::optional<ScreenRect> XWindowWatch::Geometry(std::uint64_t window) {
  Display* display = impl_->display;
  if (!display || !window) return std::nullopt;
  const unsigned before = g_xErrors;
  XWindowAttributes attributes = {};
  const ::Window id = static_cast<::Window>(window);
  if (!XGetWindowAttributes(display, id, &attributes) || g_xErrors != before) return std::nullopt;
  int x = 0, y = 0;
  ::Window child = 0;
  XTranslateCoordinates(display, id, attributes.root, 0, 0, &x, &y, &child);
  XSync(display, False);
  if (g_xErrors != before) return std::nullopt;
  return ScreenRect{x, y, attributes.width, attributes.height};
}

std::vector<ScreenRect> XWindowWatch::Monitors() {
  std::vector<ScreenRect> monitors;
  Display* display = impl_->display;
  if (!display || !XineramaIsActive(display)) return monitors;
  int count = 0;
  const std::unique_ptr<XineramaScreenInfo, int (*)(void*)> heads(XineramaQueryScreens(display, &count), XFree);
  for (int i = 0; heads && i < count; ++i)
    monitors.push_back({heads.get()[i].x_org, heads.get()[i].y_org, heads.get()[i].width, heads.get()[i].height});
  return monitors;
}

}  // namespace brisane
