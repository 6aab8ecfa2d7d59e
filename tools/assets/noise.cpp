#include "noise.h"

#include <cmath>

namespace brisane::assets {

std::uint64_t Rng::Next() {
  // splitmix64
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::Gaussian() {
  double s = Uniform() + Uniform() + Uniform() + Uniform();
  return (s - 2.0) * 1.7320508075688772;  // variance of the sum is 1/3
}

namespace {

double Lattice(int x, int y, std::uint32_t seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^
                    seed * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / 16777215.0;
}

}  // namespace

double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

double ValueNoise(double x, double y, std::uint32_t seed, int period) {
  double fx = std::floor(x), fy = std::floor(y);
  int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
  int x1 = x0 + 1, y1 = y0 + 1;
  if (period > 0) {
    auto wrap = [period](int v) { return ((v % period) + period) % period; };
    x0 = wrap(x0); x1 = wrap(x1); y0 = wrap(y0); y1 = wrap(y1);
  }
  double tx = Fade(x - fx), ty = Fade(y - fy);
  double a = Lattice(x0, y0, seed), b = Lattice(x1, y0, seed);
  double c = Lattice(x0, y1, seed), d = Lattice(x1, y1, seed);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

double Fbm(double x, double y, std::uint32_t seed, int octaves, int period) {
  double sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise(x, y, seed + static_cast<std::uint32_t>(o) * 101u, period);
    norm += amp;
    amp *= 0.5;
    x *= 2;
    y *= 2;
    if (period > 0) period *= 2;
  }
  return sum / norm;
}

}  // namespace brisane::assets
