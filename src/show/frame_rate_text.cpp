#include "show/frame_rate_text.h"

#include <cstdio>

#include "settings/settings_keys.h"

namespace brisane {

void FrameRateText::Run(FrameContext& frame) {
  if (frame.settings.Get(key::ShowFPS).AsInt() == 0) return;
  const std::uint32_t now = frame.now;
  if (!started_) {
    started_ = true;
    windowStart_ = now;
  }
  const std::uint32_t elapsed = now - windowStart_;
  if (elapsed * 0.001 > 1.0) {
    fps_ = static_cast<float>(frames_ * 1000.0 / elapsed);
    frames_ = 0;
    windowStart_ = now;
  }
  ++frames_;
  if (!overlay_) return;
  char text[32];
  std::snprintf(text, sizeof text, "FPS: %.2f", fps_);
  overlay_->Draw(10, static_cast<std::int32_t>(screenScale_ * 30.0f), text, 0xFFFF00u);
}

}  // namespace brisane
