#include <windows.h>

#include "platform/win32/display.h"
#include "platform/win32/shell_state.h"
#include "render/device_frame.h"

namespace brisane {

namespace {

// Until the scene is drawn over it, the frame is a dark sea.
constexpr std::uint32_t kClearColour = 0xFF0A2340u;

}  // namespace

void RenderFrame() {
  if (!g_Device) return;
  const FrameStatus status = DrawFrame(*g_Device, kClearColour, nullptr, PresentFrame);
  if (status == FrameStatus::DisplayLost) {
    // The display was taken away (the secure desktop, a mode change, a remote
    // session): the user is at the machine, so the show ends as on any input.
    g_Shell.active = false;
    PostMessageA(g_Shell.mainWindow, WM_CLOSE, 0, 0);
  }
}

}  // namespace brisane
