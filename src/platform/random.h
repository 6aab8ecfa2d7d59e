// The random source every random draw of the show goes through: the C
// runtime's rand on Windows, a scripted sequence in tests, so volleys, smoke
// and the camera tour can be replayed exactly.
#pragma once

#include <cstdint>

namespace brisane {

inline constexpr std::int32_t kRandomMax = 32767;

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // Seeds the sequence; the show does this once, from the clock.
  virtual void Seed(std::uint32_t seed) = 0;
  // The next draw, 0 to kRandomMax.
  virtual std::int32_t Next() = 0;
};

// The linear congruential generator of the Windows C runtime (the same
// sequence rand gives there for a seed), for hosts without one of their own.
class LcgRandom final : public RandomSource {
 public:
  explicit LcgRandom(std::uint32_t seed = 1) : state_(seed) {}
  void Seed(std::uint32_t seed) override { state_ = seed; }
  std::int32_t Next() override {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<std::int32_t>((state_ >> 16) & 0x7FFFu);
  }

 private:
  std::uint32_t state_;
};

}  // namespace brisane
