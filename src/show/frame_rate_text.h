// The frame-rate text: frames counted over windows of a second, shown as
// "FPS: %.2f" in yellow near the top-left corner while ShowFPS is on.
#pragma once

#include <cstdint>

#include "platform/overlay.h"
#include "show/frame.h"

namespace brisane {

class FrameRateText final : public FramePass {
 public:
  // overlay may be null (nothing is drawn, the rate is still counted).
  FrameRateText(TextOverlay* overlay, float screenScale) : overlay_(overlay), screenScale_(screenScale) {}

  std::string_view Name() const override { return "frame-rate text"; }
  void Run(FrameContext& frame) override;

  float fps() const { return fps_; }

 private:
  TextOverlay* overlay_;
  float screenScale_;
  bool started_ = false;
  std::uint32_t windowStart_ = 0;
  std::uint32_t frames_ = 0;
  float fps_ = 0.0f;
};

}  // namespace brisane
