// Rules every host of the show applies the same way, whatever its windows:
// what input ends the show, when the show is silent, and which screen of a
// set a run draws on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/audio.h"
#include "settings/node.h"

namespace brisane {

// The input rules of a full-screen run: any key but Alt and F10 (which do
// nothing there) and any mouse button end it; so does the mouse moving away
// from where it was first seen, unless the settings say mouse movement does
// not end the show.
class InputRules {
 public:
  explicit InputRules(bool endOnMouseMove) : endOnMouseMove_(endOnMouseMove) {}
  // True when the event ends the show. Positions are one window's, or the
  // desktop's when the show has several.
  bool KeyDown(bool altKey, bool altHeld, bool f10) const { return !(altKey || altHeld || f10); }
  bool MouseButton() const { return true; }
  bool MouseMoved(std::int32_t x, std::int32_t y);

 private:
  bool endOnMouseMove_;
  bool referenceSet_ = false;
  std::int32_t x_ = 0, y_ = 0;
};

// The show's sound device: none when sound is off in the settings; when the
// device does not start, this run is silent and the tree says so, which is
// never written back, so the stored choice stays.
AudioDevice* OpenShowSound(Node& settings, const std::function<AudioDevice*()>& open);

struct ScreenRect {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// Where a run stands in a daemon's set of runs, one a monitor: the monitor
// that holds its whole window (monitors as the system lists them, the
// primary first). A window over none or over several is the one run.
struct ScreenPlace {
  std::uint32_t index = 0;
  // Only the first screen's run plays sound: the others' would play the
  // same sea out of step.
  bool plays() const { return index == 0; }
};
ScreenPlace PlaceAmong(const ScreenRect& window, std::span<const ScreenRect> monitors);

}  // namespace brisane
