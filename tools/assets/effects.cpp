#include "effects.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "noise.h"
#include "resources/resource_numbers.h"
#include "paint.h"

namespace brisane::assets {

namespace {

constexpr double kPi = std::numbers::pi;

// Brightness per channel, 0..1, kept in double while the samples add up.
struct Tint {
  double r, g, b;
};

// Fills a square picture from a function of the centred position in [-1, 1]
// (y up) returning brightness per channel, averaging 3 x 3 samples a pixel.
template <typename F>
Image Radial(int size, F f) {
  const int ss = 3;
  return Paint(size, size, [&](int x, int y) {
    double acc[3] = {0, 0, 0};
    for (int j = 0; j < ss; ++j) {
      for (int i = 0; i < ss; ++i) {
        double u = ((x + (i + 0.5) / ss) / size) * 2 - 1;
        double v = 1 - ((y + (j + 0.5) / ss) / size) * 2;
        Tint t = f(u, v);
        acc[0] += t.r;
        acc[1] += t.g;
        acc[2] += t.b;
      }
    }
    auto level = [&](int c) { return static_cast<float>(std::clamp(acc[c] / (ss * ss), 0.0, 1.0) * 255.0); };
    return Colour{level(0), level(1), level(2)};
  });
}

// 1 inside, falling to exactly 0 at radius 1, so no square edge shows.
double EdgeFade(double r) {
  if (r >= 1) return 0;
  double t = 1 - r * r;
  return t * t;
}

// Distance measure of a regular hexagon (1 on its edge), flat sides top and bottom.
double Hexagon(double u, double v, double rotation) {
  double a = std::atan2(v, u) + rotation;
  double r = std::hypot(u, v);
  double sector = std::fmod(a + kPi * 2, kPi / 3) - kPi / 6;
  return r * std::cos(sector) / std::cos(kPi / 6);
}

}  // namespace

Image SunGlow() {
  return Radial(256, [](double u, double v) {
    double r = std::hypot(u, v), a = std::atan2(v, u);
    double core = std::exp(-r * r * 60) + 0.6 * std::exp(-r * 8) + 0.35 * std::exp(-r * 3.2);
    // Twelve long rays and twelve short ones between them, each a narrow lobe.
    double rays = 0;
    for (int k = 0; k < 24; ++k) {
      double ang = k * kPi / 12 + 0.13;
      double d = std::remainder(a - ang, 2 * kPi);
      double len = k % 2 ? 0.45 : 0.95 - 0.1 * ((k / 2) % 3);
      double width = 0.012 + 0.02 * (1 - r);
      rays += std::exp(-(d * d) / (width * width)) * std::max(0.0, 1 - r / len) * (k % 2 ? 0.35 : 0.6);
    }
    double b = (core + rays) * EdgeFade(r);
    return Tint{b * 1.1, b * 1.0, b * 0.82};
  });
}

Image FlarePicture(int n) {
  switch (n) {
    case resource::kFlarePicture1:  // soft green-cyan disc
      return Radial(128, [](double u, double v) {
        double r = std::hypot(u, v), b = (1 - SmoothStep(0.55, 0.9, r)) * 0.55 * (0.75 + 0.25 * r);
        return Tint{b * 0.55, b * 1.0, b * 0.8};
      });
    case resource::kFlarePicture2:  // thin blue ring
      return Radial(128, [](double u, double v) {
        double r = std::hypot(u, v), d = (r - 0.78) / 0.06, b = std::exp(-d * d) * 0.8 + 0.08 * (1 - SmoothStep(0, 0.8, r));
        return Tint{b * 0.5, b * 0.7, b * 1.0};
      });
    case resource::kFlarePicture3:  // amber hexagonal aperture ghost
      return Radial(128, [](double u, double v) {
        double h = Hexagon(u, v, 0.2), b = (1 - SmoothStep(0.82, 0.9, h)) * (0.35 + 0.3 * h * h);
        return Tint{b * 1.0, b * 0.72, b * 0.35};
      });
    case resource::kFlarePicture4:  // small bright white-yellow disc
      return Radial(64, [](double u, double v) {
        double r = std::hypot(u, v), b = std::exp(-r * r * 6) * EdgeFade(r) + (1 - SmoothStep(0.3, 0.4, r)) * 0.5;
        return Tint{b, b, b * 0.85};
      });
    case resource::kFlarePicture5:  // large faint violet hexagon
      return Radial(128, [](double u, double v) {
        double h = Hexagon(u, v, -0.1), b = (1 - SmoothStep(0.86, 0.92, h)) * (0.18 + 0.12 * h) +
                                            std::exp(-std::pow((h - 0.88) / 0.04, 2)) * 0.25;
        return Tint{b * 0.8, b * 0.55, b * 1.0};
      });
    case resource::kFlarePicture6:  // rainbow ring: red outside, blue inside
      return Radial(128, [](double u, double v) {
        double r = std::hypot(u, v);
        auto ring = [r](double at) { double d = (r - at) / 0.05; return std::exp(-d * d); };
        return Tint{ring(0.82) * 0.7, ring(0.76) * 0.6, ring(0.70) * 0.75};
      });
    case resource::kFlarePicture7:  // soft orange disc with a brighter rim
      return Radial(128, [](double u, double v) {
        double r = std::hypot(u, v);
        double b = (1 - SmoothStep(0.8, 0.95, r)) * (0.3 + 0.3 * SmoothStep(0.5, 0.88, r));
        return Tint{b * 1.0, b * 0.6, b * 0.3};
      });
    default:
      throw std::out_of_range("no such flare picture");
  }
}

Image LanternGlow(int n) {
  const bool second = n == resource::kLanternGlowPicture2;
  return Radial(128, [second](double u, double v) {
    double r = std::hypot(u, v), a = std::atan2(v, u);
    double core = std::exp(-r * r * (second ? 45 : 35));
    double halo = (second ? 0.5 : 0.45) * std::exp(-r * (second ? 5.0 : 4.2));
    // Four faint rays on the second, so the two lanterns do not look cloned.
    double rays = 0;
    if (second) {
      for (int k = 0; k < 4; ++k) {
        double d = std::remainder(a - k * kPi / 2 - kPi / 4, 2 * kPi);
        rays += std::exp(-d * d / 0.002) * 0.25 * std::max(0.0, 1 - r / 0.8);
      }
    }
    double b = (core + halo + rays) * EdgeFade(r);
    return second ? Tint{b * 1.15, b * 0.78, b * 0.38} : Tint{b * 1.15, b * 0.9, b * 0.5};
  });
}

// The smoke puffs are soft all through, without a hard outline, and fill
// most of their square: a few of them side by side run together into a bank.
Image HotSmoke() {
  return Radial(64, [](double u, double v) {
    double r = std::hypot(u, v);
    double n = Fbm(u * 1.8 + 10, v * 1.8 + 10, 178, 4);
    double rr = r + (n - 0.5) * 0.35;
    double body = std::exp(-rr * rr * 1.8) * SmoothStep(1.0, 0.65, r);
    double heat = std::exp(-r * r * 4);
    double b = body * (0.6 + 0.6 * n);
    return Tint{b * 1.0, b * (0.55 + 0.4 * heat), b * (0.2 + 0.45 * heat * heat)};
  });
}

Image GreySmoke() {
  return Radial(128, [](double u, double v) {
    double r = std::hypot(u, v);
    double n = Fbm(u * 1.6 + 3, v * 1.6 + 7, 179, 5);
    double rr = r + (n - 0.5) * 0.3;
    // Dense in the body (its brightness is its opacity), thinning smoothly
    // outwards, and no wider than the muzzle flash it is born over can show
    // around.
    double body = std::exp(-rr * rr * 3.6) * SmoothStep(0.95, 0.4, r);
    double billows = Fbm(u * 4 + 11, v * 4 + 5, 1790, 3);
    double b = std::min(0.86, body * (0.7 + 0.6 * n) * (0.8 + 0.4 * billows));
    return Tint{b * 0.96, b * 0.96, b * 1.0};
  });
}

Image MuzzleFlash() {
  // Eight irregular spikes of fixed, pseudo-random lengths around a white core.
  double lengths[8];
  Rng rng(180);
  for (double& l : lengths) l = rng.Range(0.55, 0.98);
  return Radial(128, [lengths](double u, double v) {
    double r = std::hypot(u, v), a = std::atan2(v, u);
    double spikes = 0;
    for (int k = 0; k < 8; ++k) {
      double d = std::remainder(a - k * kPi / 4 - 0.2, 2 * kPi);
      double w = 0.16 * (1 - r / lengths[k]);
      if (w > 0) spikes = std::max(spikes, std::exp(-d * d / (w * w)) * (1 - r / lengths[k]));
    }
    // A white-hot core inside an orange fireball, the spikes on top.
    double core = std::exp(-r * r * 9);
    double ball = 0.55 * std::exp(-r * 4.5) * (0.8 + 0.4 * Fbm(u * 4 + 5, v * 4 + 5, 180, 3));
    double b = std::min(1.2, spikes * 1.1 + core + ball) * EdgeFade(r);
    double white = core;
    return Tint{b, b * (0.62 + 0.38 * white), b * (0.25 + 0.7 * white)};
  });
}

}  // namespace brisane::assets
