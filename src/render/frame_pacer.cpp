#include "render/frame_pacer.h"

#include <algorithm>

namespace brisane {

namespace {

// What displays report, from old television rates to the fastest panels.
constexpr std::uint32_t kLowestHz = 23;
constexpr std::uint32_t kHighestHz = 1000;

}  // namespace

FramePacer::FramePacer(std::uint32_t refreshHz)
    : hz_(refreshHz >= kLowestHz && refreshHz <= kHighestHz ? refreshHz : kFallbackHz) {}

FramePacer FramePacer::Capped(std::uint32_t fps) {
  FramePacer pacer(kFallbackHz);
  pacer.hz_ = std::clamp(fps, 1u, kHighestHz);
  return pacer;
}

std::int64_t FramePacer::WaitBeforePresent(std::int64_t nowUs) const {
  if (!started_) return 0;
  const std::int64_t wait = Due() - nowUs;
  return wait > 0 ? wait : 0;
}

void FramePacer::Presented(std::int64_t nowUs) {
  // Due() is still this frame's due time here.
  if (started_ && nowUs >= anchorUs_ && nowUs - Due() < kCatchUpFrames * 1000000 / hz_) {
    ++frames_;
    return;
  }
  started_ = true;
  anchorUs_ = nowUs;
  frames_ = 1;
}

}  // namespace brisane
