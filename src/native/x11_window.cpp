#include "native/x11_window.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/dpms.h>

#include <atomic>
#include <chrono>

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

std::uint64_t XWindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

struct XWindowWatch::Impl {
  Display* display = XOpenDisplay(nullptr);
  XErrorHandler previous = XSetErrorHandler(CountError);
  ::Window followed = 0;
  bool mapped = true, covered = false, powerOff = false, gone = false;
  bool dpms = false;
  std::chrono::steady_clock::time_point nextPowerCheck{};

  void TakeEvents() {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.xany.window != followed) continue;
      if (event.type == MapNotify) mapped = true;
      if (event.type == UnmapNotify) mapped = false;
      if (event.type == DestroyNotify) gone = true;
      if (event.type == VisibilityNotify) covered = event.xvisibility.state == VisibilityFullyObscured;
    }
  }
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

void XWindowWatch::Follow(std::uint64_t window) {
  Impl& x = *impl_;
  if (!x.display || !window) return;
  x.followed = static_cast<::Window>(window);
  XSelectInput(x.display, x.followed, VisibilityChangeMask | StructureNotifyMask);
  XWindowAttributes attributes = {};
  if (XGetWindowAttributes(x.display, x.followed, &attributes)) x.mapped = attributes.map_state == IsViewable;
  int event = 0, error = 0;
  x.dpms = DPMSQueryExtension(x.display, &event, &error) && DPMSCapable(x.display);
}

bool XWindowWatch::Seen() {
  Impl& x = *impl_;
  if (!x.display || !x.followed) return true;
  x.TakeEvents();
  const auto now = std::chrono::steady_clock::now();
  if (x.dpms && now >= x.nextPowerCheck) {
    x.nextPowerCheck = now + std::chrono::milliseconds(250);
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    x.powerOff = DPMSInfo(x.display, &level, &enabled) && enabled && level != DPMSModeOn;
  }
  return x.mapped && !x.covered && !x.powerOff && !x.gone;
}

bool XWindowWatch::Gone() {
  Impl& x = *impl_;
  if (!x.display || !x.followed) return false;
  x.TakeEvents();
  return x.gone;
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
