// Day and night: the light holds, changes over LightDelay minutes, holds
// again for ChangeDelay minutes and changes back. It drives the scene's
// ambient light and tells the water and the sun glow how light it is.
#pragma once

#include <cstdint>
#include <functional>

#include "render/scene_renderer.h"
#include "show/frame.h"

namespace brisane {

// The ambient light at the two ends of the cycle: night darker and bluer.
inline constexpr AmbientLevels kNightAmbient{0.05f, 0.1f, 0.1f};
inline constexpr AmbientLevels kDayAmbient{0.87f, 0.7f, 0.7f};

class LightCycle final : public FramePass {
 public:
  // Whoever follows the light: the water's alpha byte (251 at night, 200 by
  // day) and the sun glow's maximum intensity (0 to 128). Unset: nobody.
  std::function<void(std::uint8_t)> onWaterAlpha;
  std::function<void(std::int32_t)> onSunGlowMaximum;
  // The daylight itself (0 night to 1 day), for the water's mirror.
  std::function<void(float)> onDaylight;

  std::string_view Name() const override { return "light cycle"; }
  // One step when EnableLighting is on; the delays are read every step.
  void Run(FrameContext& frame) override;

  // 0 = night, 1 = day.
  float daylight() const { return t_; }
  const AmbientLevels& ambient() const { return ambient_; }
  bool holding() const { return holding_; }

 private:
  bool started_ = false;
  std::uint32_t phaseStart_ = 0;
  bool holding_ = true;
  bool towardsDay_ = false;
  float t_ = 1.0f;
  AmbientLevels ambient_ = kDayAmbient;
};

}  // namespace brisane
