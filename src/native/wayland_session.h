// The Wayland side of the show's surface: which video driver SDL is given,
// and whether the compositor still shows the surface.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Window;
struct wl_callback;
struct wl_display;
struct wl_event_queue;
struct wl_surface;

namespace brisane {

// What the compositor named by $WAYLAND_DISPLAY offers, asked over a
// connection of our own before SDL meets it.
struct WaylandOffer {
  bool connected = false;
  bool seat = false;
  int outputs = 0;
};
WaylandOffer ProbeWayland();

// The driver SDL is told to use before it starts ("" leaves SDL's own
// choice), a line to say, or why nothing can be drawn.
struct DriverChoice {
  std::string driver;
  std::string note;
  std::string error;
};
// A window of another program is an X window. On a Wayland session the
// compositor is drawn to directly rather than through its X server, which
// some scale and blur. SDL before 2.30 crashes on a compositor without a
// seat, so such a one is passed over for X, or refused.
DriverChoice ChooseVideoDriver(bool xWindow, const char* sdlDriverEnv, const char* waylandEnv, const char* displayEnv,
                               const WaylandOffer& offer);

// Follows the compositor's frame callbacks on a window's surface, on an
// event queue of its own. A compositor stops sending them while nobody can
// see the surface (another workspace, a lock screen, outputs off). Inert when
// the window is not a Wayland one.
class WaylandFrameWatch {
 public:
  explicit WaylandFrameWatch(SDL_Window* window);
  ~WaylandFrameWatch();
  WaylandFrameWatch(const WaylandFrameWatch&) = delete;
  WaylandFrameWatch& operator=(const WaylandFrameWatch&) = delete;

  // Asks for the next callback, unless one is still out; the swap's commit
  // carries the request.
  void BeforeSwap(std::int64_t nowUs);
  // False once a callback asked for has been kept back longer than a frame
  // could take; true again when it comes.
  bool Seen(std::int64_t nowUs);

 private:
  static void Done(void* data, wl_callback* callback, std::uint32_t time);

  wl_display* display_ = nullptr;
  wl_event_queue* queue_ = nullptr;
  wl_surface* surface_ = nullptr;  // a wrapper of SDL's surface on our queue
  wl_callback* pending_ = nullptr;
  std::int64_t askedUs_ = 0;
};

}  // namespace brisane
