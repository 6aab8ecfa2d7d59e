// Brightness through the primary surface's gamma ramp. Every ramp is computed
// from the one the display had before the program first changed it, so
// repeated fades never drift.
#pragma once

#include <cstdint>

#include "platform/gamma_control.h"

namespace brisane {

// Entry i = i * 257, so 0 maps to 0 and 255 to 65535.
GammaRamp IdentityRamp();
// Whether every channel is non-decreasing and ends above where it starts.
// Some drivers (and Wine on a bare X server) report an all-zero ramp, which
// would black the screen if the program built on it.
bool RampRises(const GammaRamp& ramp);

// truncate(65535 * (v / 65535) ^ (1 / g)); 0 for g <= 0.
std::uint16_t PowerCurve(std::uint16_t v, double g);
// truncate(v / 65535 * k * 65535), held within 0..65535.
std::uint16_t BrightnessCurve(std::uint16_t v, double k);

enum class GammaCurve { Power, Brightness };

// Entries 2 to 255 of each channel through the curve; 0 and 1 keep the saved values.
GammaRamp ComputeRamp(const GammaRamp& saved, double value, GammaCurve curve);

// Where the show sets the display's brightness: the display's gamma ramp in
// the program, a recorder in tests.
class GammaTarget {
 public:
  virtual ~GammaTarget() = default;
  virtual void SetGamma(double value, GammaCurve curve) = 0;
};

class Gamma {
 public:
  // Builds the ramp for the value from the saved ramp and sets it. The saved
  // ramp is read at the first call that finds gamma support.
  void SetGamma(GammaSource& source, double value, GammaCurve curve);
  // Puts the saved ramp back, so the desktop does not keep a faded picture.
  // Nothing when the program never changed the ramp.
  void Restore(GammaSource& source);

 private:
  bool saved_ = false;
  bool changed_ = false;
  GammaRamp savedRamp_;
};

}  // namespace brisane
