// The X side of the windows the show draws on, kept apart: Xlib's macros
// (None, Status, ...) collide with the program's own names.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "shell/host_rules.h"

namespace brisane {

// The default screen's root window of $DISPLAY; 0 when no display opens.
std::uint64_t ScreenRootWindow();

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
  // The monitors as a screensaver daemon sees them: Xinerama's heads (which
  // servers with RandR fill from their outputs, the primary first); empty
  // when X lists none.
  std::vector<ScreenRect> Monitors();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisane
