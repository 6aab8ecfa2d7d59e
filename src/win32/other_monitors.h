// The monitors the show does not run on: each gets a black, topmost window
// without a pointer, so no desktop shows beside the show. Their input is the
// show's input: a key or a mouse movement over them reaches the show window,
// whose own tests decide whether the show ends.
#pragma once

#include <windows.h>

#include <vector>

namespace brisane {

class OtherMonitors {
 public:
  OtherMonitors() = default;
  ~OtherMonitors() { Uncover(); }
  OtherMonitors(const OtherMonitors&) = delete;
  OtherMonitors& operator=(const OtherMonitors&) = delete;

  // One cover window on every monitor that is not the primary one (where the
  // show window is). With one monitor nothing is made. Returns how many
  // covers are up; a monitor whose cover cannot be made stays uncovered.
  int Cover(HINSTANCE instance, HWND showWindow);
  // Destroys the covers (and their window class); safe to call again.
  void Uncover();

  const std::vector<HWND>& windows() const { return windows_; }

 private:
  static LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_ = nullptr;
  bool classRegistered_ = false;
  std::vector<HWND> windows_;
};

}  // namespace brisane
