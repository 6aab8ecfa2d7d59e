#include "show/light_cycle.h"

#include <algorithm>

#include "scene/matrix.h"
#include "settings/settings_keys.h"

namespace brisane {

namespace {

constexpr std::uint64_t kMinute = 60000;

// Delays in milliseconds from minutes as stored; a negative value counts as
// none, and the changing phase needs at least one minute to divide by.
std::uint64_t Delay(std::int32_t minutes, std::int32_t least) {
  return static_cast<std::uint64_t>(std::max(minutes, least)) * kMinute;
}

std::uint32_t Channel(float level) { return static_cast<std::uint32_t>(255.0f * level); }

}  // namespace

void LightCycle::Run(FrameContext& frame) {
  if (!frame.settings.Get(key::EnableLighting).AsBool()) return;
  const std::uint32_t now = frame.now;
  if (!started_) {
    started_ = true;
    phaseStart_ = now;
  }
  const std::uint64_t elapsed = now - phaseStart_;
  if (holding_) {
    if (elapsed > Delay(frame.settings.Get(key::ChangeDelay).AsInt(), 0)) {
      phaseStart_ = now;
      holding_ = false;
    }
    return;
  }
  const std::uint64_t change = Delay(frame.settings.Get(key::LightDelay).AsInt(), 1);
  if (elapsed > change) {
    phaseStart_ = now;
    towardsDay_ = !towardsDay_;
    holding_ = true;
    return;
  }
  const float f = static_cast<float>(elapsed) / static_cast<float>(change);
  t_ = towardsDay_ ? f : 1.0f - f;
  ambient_ = {Mix(kNightAmbient.red, kDayAmbient.red, t_), Mix(kNightAmbient.green, kDayAmbient.green, t_),
              Mix(kNightAmbient.blue, kDayAmbient.blue, t_)};
  if (onWaterAlpha) onWaterAlpha(static_cast<std::uint8_t>(Mix(251.0f, 200.0f, t_)));
  if (onSunGlowMaximum) onSunGlowMaximum(static_cast<std::int32_t>(t_ * 127.5f + 0.5f));
  if (onDaylight) onDaylight(t_);
  frame.device.SetRenderState(RenderState::Ambient, 0xFF000000u | Channel(ambient_.red) << 16 |
                                                        Channel(ambient_.green) << 8 | Channel(ambient_.blue));
}

}  // namespace brisane
