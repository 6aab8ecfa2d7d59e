// The render states the scene renderer relies on, fixed once for the whole
// run. The drawing itself is the scene classes' own (scene/scene_draw.cpp).
#pragma once

#include "platform/device.h"

namespace brisane {

// Ambient light levels of the day and night cycle, 0 to 1 a channel.
struct AmbientLevels {
  float red = 0.0f, green = 0.0f, blue = 0.0f;
};

// Filtering of stages 0 and 1 (anisotropic when the device can), the
// ambient colour and the states every draw relies on; once after the scene
// is bound.
void SetFixedRenderStates(Device& device, bool anisotropic, const AmbientLevels& ambient);

}  // namespace brisane
