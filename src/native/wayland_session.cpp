#include "native/wayland_session.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <poll.h>
#include <wayland-client.h>

#include <cstring>
#include <string_view>

namespace brisane {

namespace {

// A frame comes within a few display refreshes when the surface is shown;
// the SDL swap that follows a kept-back callback waits up to ten itself.
constexpr std::int64_t kKeptBackUs = 500000;

void CountGlobal(void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
  auto* offer = static_cast<WaylandOffer*>(data);
  if (std::strcmp(interface, "wl_seat") == 0) offer->seat = true;
  if (std::strcmp(interface, "wl_output") == 0) ++offer->outputs;
}
void IgnoreRemoval(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kCountListener = {CountGlobal, IgnoreRemoval};

}  // namespace

WaylandOffer ProbeWayland() {
  WaylandOffer offer;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return offer;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kCountListener, &offer);
  offer.connected = wl_display_roundtrip(display) >= 0;
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return offer;
}

DriverChoice ChooseVideoDriver(bool xWindow, const char* sdlDriverEnv, const char* waylandEnv, const char* displayEnv,
                               const WaylandOffer& offer) {
  DriverChoice choice;
  if (xWindow) {
    choice.driver = "x11";
    return choice;
  }
  const std::string_view asked = sdlDriverEnv ? sdlDriverEnv : "";
  const bool wayland = waylandEnv && *waylandEnv && offer.connected;
  const bool xServer = displayEnv && *displayEnv;
  // The user's own choice stands, unless it would crash.
  if (!asked.empty() && !asked.starts_with("wayland")) return choice;
  if (!wayland) return choice;
  if (offer.seat) {
    choice.driver = "wayland";
    return choice;
  }
  const std::string why = "the Wayland compositor offers no seat (keyboard and pointer), which this SDL cannot run "
                          "without";
  if (xServer) {
    choice.driver = "x11";
    choice.note = why + "; drawing through its X server";
  } else {
    choice.error = why + ", and there is no X server to draw through";
  }
  return choice;
}

WaylandFrameWatch::WaylandFrameWatch(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return;
  display_ = info.info.wl.display;
  queue_ = wl_display_create_queue(display_);
  surface_ = static_cast<wl_surface*>(wl_proxy_create_wrapper(info.info.wl.surface));
  if (!queue_ || !surface_) {
    display_ = nullptr;
    return;
  }
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(surface_), queue_);
}

WaylandFrameWatch::~WaylandFrameWatch() {
  if (pending_) wl_callback_destroy(pending_);
  if (surface_) wl_proxy_wrapper_destroy(surface_);
  if (queue_) wl_event_queue_destroy(queue_);
}

void WaylandFrameWatch::Done(void* data, wl_callback* callback, std::uint32_t) {
  auto* watch = static_cast<WaylandFrameWatch*>(data);
  wl_callback_destroy(callback);
  if (watch->pending_ == callback) watch->pending_ = nullptr;
}

void WaylandFrameWatch::BeforeSwap(std::int64_t nowUs) {
  if (!display_ || pending_) return;
  static constexpr wl_callback_listener kListener = {Done};
  pending_ = wl_surface_frame(surface_);
  if (!pending_) return;
  wl_callback_add_listener(pending_, &kListener, this);
  askedUs_ = nowUs;
}

bool WaylandFrameWatch::Seen(std::int64_t nowUs) {
  if (!display_) return true;
  // Takes what has come without waiting: SDL reads the same socket, and
  // each reader gets the events of its own queue.
  while (wl_display_prepare_read_queue(display_, queue_) != 0) wl_display_dispatch_queue_pending(display_, queue_);
  wl_display_flush(display_);
  pollfd ready = {wl_display_get_fd(display_), POLLIN, 0};
  if (poll(&ready, 1, 0) > 0)
    wl_display_read_events(display_);
  else
    wl_display_cancel_read(display_);
  wl_display_dispatch_queue_pending(display_, queue_);
  return !pending_ || nowUs - askedUs_ < kKeptBackUs;
}

}  // namespace brisane
