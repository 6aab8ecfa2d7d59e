// The frame bracket every frame goes through: clear, scene, present. The one
// place that tells a failed frame from a display taken away (the secure
// desktop, a mode change, a remote session), after which the show ends.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/device.h"

namespace brisane {

// Results that mean the display's surfaces are gone rather than one frame failed.
bool IsDisplayLost(HResult result);

enum class FrameStatus {
  Presented,
  Failed,       // this frame only; the next one tries again
  DisplayLost,  // surfaces lost: the show cannot go on
};

// Clears target and z-buffer (depth 1.0, stencil 0), runs draw between
// BeginScene and EndScene, then present. The scene is always closed once
// opened. A failed Clear does not skip the frame; a failed BeginScene does.
FrameStatus DrawFrame(Device& device, std::uint32_t clearArgb, const std::function<void(Device&)>& draw,
                      const std::function<HResult()>& present);

}  // namespace brisane
