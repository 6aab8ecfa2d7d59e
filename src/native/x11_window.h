// The X side of the windows the show draws on, kept apart: Xlib's macros
// (None, Status, ...) collide with the program's own names.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "shell/host_rules.h"

struct SDL_Window;

namespace brisane {

// The default screen's root window of $DISPLAY; 0 when no display opens.
std::uint64_t ScreenRootWindow();
// The X window of an SDL window; 0 when it has none (another video driver).
std::uint64_t XWindowOf(SDL_Window* window);

// Watches a window of another program (or the root) over a connection of its
// own: SDL follows neither the size nor the end of a window it did not make.
// While a watch lives, an X error on any of the process's connections is
// counted instead of ending the process, so a window the daemon destroys
// mid-frame ends the show cleanly.
class XWindowWatch {
 public:
  XWindowWatch();
  ~XWindowWatch();
  XWindowWatch(const XWindowWatch&) = delete;
  XWindowWatch& operator=(const XWindowWatch&) = delete;

  bool connected() const;
  // Where the window is on its screen and its size; nothing when it does not
  // exist (never did, or is gone) or no display opens.
  std::optional<ScreenRect> Geometry(std::uint64_t window);
  // Starts following whether the window can be seen: mapped, not wholly
  // covered, and the display not powered off.
  void Follow(std::uint64_t window);
  // Whether the followed window can be seen, after the events so far (the
  // display's power is asked at most a few times a second). True when
  // nothing is followed or X cannot say.
  bool Seen();
  // Whether the followed window was destroyed, after the events so far.
  bool Gone();

  // The monitors as a screensaver daemon sees them: Xinerama's heads (which
  // servers with RandR fill from their outputs, the primary first); empty
  // when X lists none.
  std::vector<ScreenRect> Monitors();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisane
