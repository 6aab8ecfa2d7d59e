// The millisecond clock every animation runs on. The program reads the
// multimedia timer; tests and tools turn a manual one by hand.
#pragma once

#include <cstdint>

namespace brisane {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds; wraps at 2^32, so callers only ever use differences.
  virtual std::uint32_t now() const = 0;
};

class ManualClock : public Clock {
 public:
  explicit ManualClock(std::uint32_t start = 0) : now_(start) {}
  std::uint32_t now() const override { return now_; }
  void set(std::uint32_t ms) { now_ = ms; }
  void advance(std::uint32_t ms) { now_ += ms; }

 private:
  std::uint32_t now_;
};

}  // namespace brisane
