#include "render/gamma.h"

#include <algorithm>
#include <cmath>

namespace brisane {

namespace {

std::uint16_t ToEntry(double value) {
  if (!(value > 0.0)) return 0;  // also NaN
  if (value >= 65535.0) return 65535;
  return static_cast<std::uint16_t>(value);
}

bool ChannelRises(const std::array<std::uint16_t, 256>& channel) {
  return std::is_sorted(channel.begin(), channel.end()) && channel.back() > channel.front();
}

}  // namespace

GammaRamp IdentityRamp() {
  GammaRamp ramp;
  for (std::size_t i = 0; i < 256; ++i) {
    const auto entry = static_cast<std::uint16_t>(i * 257);
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = entry;
  }
  return ramp;
}

bool RampRises(const GammaRamp& ramp) {
  return ChannelRises(ramp.red) && ChannelRises(ramp.green) && ChannelRises(ramp.blue);
}

std::uint16_t PowerCurve(std::uint16_t v, double g) {
  if (!(g > 0.0)) return 0;
  return ToEntry(65535.0 * std::pow(v / 65535.0, 1.0 / g));
}

std::uint16_t BrightnessCurve(std::uint16_t v, double k) { return ToEntry(v / 65535.0 * k * 65535.0); }

GammaRamp ComputeRamp(const GammaRamp& saved, double value, GammaCurve curve) {
  GammaRamp ramp = saved;
  auto apply = [&](std::array<std::uint16_t, 256>& channel) {
    for (std::size_t i = 2; i < 256; ++i)
      channel[i] = curve == GammaCurve::Power ? PowerCurve(channel[i], value) : BrightnessCurve(channel[i], value);
  };
  apply(ramp.red);
  apply(ramp.green);
  apply(ramp.blue);
  return ramp;
}

void Gamma::SetGamma(GammaSource& source, double value, GammaCurve curve) {
  std::unique_ptr<GammaControl> control = source.OpenGammaControl();
  if (!control) return;  // no gamma support: the picture keeps its brightness
  if (!saved_) {
    saved_ = true;
    if (!control->GetRamp(savedRamp_) || !RampRises(savedRamp_)) savedRamp_ = IdentityRamp();
  }
  if (control->SetRamp(ComputeRamp(savedRamp_, value, curve))) changed_ = true;
}

void Gamma::Restore(GammaSource& source) {
  if (!changed_) return;
  std::unique_ptr<GammaControl> control = source.OpenGammaControl();
  if (control && control->SetRamp(savedRamp_)) changed_ = false;
}

}  // namespace brisane
