// A gamma target that keeps every ramp the show asked for.
#pragma once

#include <utility>
#include <vector>

#include "render/gamma.h"

namespace brisane::testing {

class RecordingGamma : public GammaTarget {
 public:
  void SetGamma(double value, GammaCurve curve) override { calls.emplace_back(value, curve); }
  std::vector<std::pair<double, GammaCurve>> calls;
};

}  // namespace brisane::testing
