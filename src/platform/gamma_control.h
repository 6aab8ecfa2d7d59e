// The display's gamma ramp as the core reaches it: the primary surface's
// gamma control on Windows, a recording fake in tests.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace brisane {

struct GammaRamp {
  std::array<std::uint16_t, 256> red{}, green{}, blue{};
  bool operator==(const GammaRamp&) const = default;
};

// One gamma control of the primary surface, released when destroyed.
class GammaControl {
 public:
  virtual ~GammaControl() = default;
  virtual bool GetRamp(GammaRamp& ramp) = 0;
  virtual bool SetRamp(const GammaRamp& ramp) = 0;
};

// Where gamma controls come from; null when the surface has no gamma support.
class GammaSource {
 public:
  virtual ~GammaSource() = default;
  virtual std::unique_ptr<GammaControl> OpenGammaControl() = 0;
};

}  // namespace brisane
