#include <windows.h>

#include "platform/win32/display.h"
#include "platform/win32/shell_state.h"
#include "platform/win32/show_host.h"
#include "render/device_frame.h"

namespace brisane {

namespace {

constexpr std::uint32_t kClearColour = 0;  // black where the scene leaves gaps

}  // namespace

void RenderFrame() {
  if (!g_Device) return;
  const auto draw = [](Device& device) {
    if (g_Show) g_Show->show.Render(device);
  };
  const FrameStatus status = DrawFrame(*g_Device, kClearColour, draw, PresentFrame);
  if (status == FrameStatus::DisplayLost) {
    // The display was taken away (the secure desktop, a mode change, a remote
    // session): the user is at the machine, so the show ends as on any input.
    g_Shell.active = false;
    PostMessageA(g_Shell.mainWindow, WM_CLOSE, 0, 0);
  }
}

}  // namespace brisane
