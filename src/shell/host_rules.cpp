#include "shell/host_rules.h"

#include "settings/settings_keys.h"

namespace brisane {

bool InputRules::MouseMoved(std::int32_t x, std::int32_t y) {
  if (!endOnMouseMove_) return false;
  if (!referenceSet_) {
    referenceSet_ = true;
    x_ = x;
    y_ = y;
    return false;
  }
  return x != x_ || y != y_;
}

AudioDevice* OpenShowSound(Node& settings, const std::function<AudioDevice*()>& open) {
  if (settings.Get(key::DisableSound).AsInt() != 0) return nullptr;
  if (AudioDevice* device = open()) return device;
  settings.Get(key::DisableSound) = Value(std::int32_t{1});
  return nullptr;
}

ScreenPlace PlaceAmong(const ScreenRect& window, std::span<const ScreenRect> monitors) {
  const auto within = [&](const ScreenRect& m) {
    return window.x >= m.x && window.y >= m.y && window.x + window.width <= m.x + m.width &&
           window.y + window.height <= m.y + m.height;
  };
  for (std::size_t i = 0; i < monitors.size(); ++i)
    if (within(monitors[i])) return {static_cast<std::uint32_t>(i)};
  return {};
}

}  // namespace brisane
