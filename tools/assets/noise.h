// Deterministic randomness for the generator: a seeded generator of our own
// (the standard distributions may differ between library versions) and
// smooth value noise.
#pragma once

#include <cstdint>

namespace brisane::assets {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  std::uint64_t Next();
  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  // Uniform in [lo, hi).
  double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Uniform in [-1, 1).
  double Signed() { return Uniform() * 2.0 - 1.0; }
  // Approximately normal (sum of four uniforms), unit variance.
  double Gaussian();

 private:
  std::uint64_t state_;
};

// The quintic ease between lattice values: 0 at 0, 1 at 1, flat at both ends.
double Fade(double t);
// Smooth 2D value noise in [0, 1], lattice spacing 1, repeating every `period`
// cells when period > 0.
double ValueNoise(double x, double y, std::uint32_t seed, int period = 0);
// Sum of octaves of value noise, normalised to [0, 1].
double Fbm(double x, double y, std::uint32_t seed, int octaves, int period = 0);

}  // namespace brisane::assets
