// Spaces presented frames at the display's refresh period where presenting
// does not wait for the display by itself (the blit to a window at desktop
// resolution): frames nobody can see cost a core and the card all night.
#pragma once

#include <cstdint>

namespace brisane {

class FramePacer {
 public:
  static constexpr std::uint32_t kFallbackHz = 60;

  // refreshHz as the display reports it; 0 and 1 (the hardware's default)
  // or a rate no display has mean it did not say: 60 Hz then.
  explicit FramePacer(std::uint32_t refreshHz);
  // A rate a user chose rather than a display reported: 1 to 1000 frames a
  // second, kept as asked within that.
  static FramePacer Capped(std::uint32_t fps);

  std::uint32_t hz() const { return hz_; }
  // Microseconds to wait from nowUs before the next frame is presented; 0
  // when it is due. Times are any monotonic microsecond count.
  std::int64_t WaitBeforePresent(std::int64_t nowUs) const;
  // A frame was presented at nowUs. Frames keep to a fixed schedule, so
  // waits rounded up to the timer's step, or a busy machine that wakes the
  // program late, do not lower the rate: frames a little late catch up.
  // After a stall of more than kCatchUpFrames periods the schedule starts
  // again from that frame rather than rushing the missed ones out.
  void Presented(std::int64_t nowUs);

  static constexpr std::int64_t kCatchUpFrames = 4;

 private:
  std::int64_t Due() const { return anchorUs_ + static_cast<std::int64_t>(frames_) * 1000000 / hz_; }

  std::uint32_t hz_;
  bool started_ = false;
  std::int64_t anchorUs_ = 0;
  std::uint64_t frames_ = 0;  // frames presented since the anchor
};

}  // namespace brisane
