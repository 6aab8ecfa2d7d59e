#include "stock_pictures.h"

#include <algorithm>
#include <cmath>

#include "author.h"
#include "noise.h"

namespace brisane::assets::ship {

Image PlankWood(int size, Colour light, Colour dark, int planks, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double plank = std::floor(y * planks);
    const double within = y * planks - plank;
    const double shift = ValueNoise(plank * 3.1, 0.5, seed + 7) * 4;
    const double warp = Fbm(x * 4 + shift, y * 16, seed, 3, 0) * 1.5;
    const double grain = 0.5 + 0.5 * std::sin((within * 9 + warp * 3) * 2 * kPi + shift);
    const double fine = Fbm(x * 64, y * 8, seed + 3, 2, 0);
    const double tone = 0.85 + 0.3 * ValueNoise(plank * 5.3, shift, seed + 11);
    Colour c = Mix(dark, light, static_cast<float>(0.35 + 0.45 * grain * grain + 0.2 * fine));
    c = c * static_cast<float>(tone);
    const double seam = std::min(within, 1 - within) * planks * size / 64.0;
    if (seam < 0.6) c = c * static_cast<float>(0.45 + 0.55 * seam / 0.6);
    const double stain = Fbm(x * 3, y * 3, seed + 19, 4, 0);
    return c * static_cast<float>(0.8 + 0.3 * stain);
  });
}

Image PaintedPlanks(int size, Colour paint, Colour wood, int planks, std::uint32_t seed) {
  const Image grain = PlankWood(size, wood, wood * 0.55f, planks, seed);
  return Paint(size, size, [&](int x, int y) {
    const double u = static_cast<double>(x) / size, v = static_cast<double>(y) / size;
    const double wear = Fbm(u * 6, v * 6, seed + 23, 4, 0);
    const float show = static_cast<float>(std::clamp((wear - 0.62) * 5, 0.0, 1.0));
    const float* g = grain.at(x, y);
    const float shade = 0.85f + 0.3f * (g[0] / 255.0f - 0.35f);
    return Mix(paint * shade, Colour{g[0], g[1], g[2]}, show);
  });
}

Image SparWood(int width, int height, Colour tint, float grain, std::uint32_t seed) {
  return Paint(width, height, [&](int x, int y) {
    const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
    const double warp = Fbm(u * 3, v * 2, seed, 3, 3);
    const double lines = 0.5 + 0.5 * std::sin(2 * kPi * (u * 11 + 1.4 * warp));
    const double fine = ValueNoise(u * 96, v * 6, seed + 1, 96);
    const double wear = Fbm(u * 5, v * 5, seed + 2, 4, 5);
    return tint * static_cast<float>(1 - grain * (0.6 * std::pow(lines, 3.0) + 0.4 * fine) + 0.18 * (wear - 0.5));
  });
}

Image LaidRope(Colour tint, std::uint32_t seed) {
  return Paint(64, 64, [&](int x, int y) {
    const double u = x / 64.0, v = y / 64.0;
    const double strand = 0.5 + 0.5 * std::sin(2 * kPi * (u * 3 + v * 6));
    const double n = Fbm(u * 8, v * 8, seed, 3, 8);
    return tint * static_cast<float>(0.72 + 0.38 * std::pow(strand, 0.7) + 0.12 * (n - 0.5));
  });
}

Image TwistedRope(int size, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double s = std::fmod(x * 3 + y * 6 + 10, 1.0);
    const double strand = std::sin(s * kPi);
    const double fibre = Fbm(x * 32, y * 32, seed, 2, 0);
    return Mix(Colour{70, 52, 30}, Colour{185, 150, 100}, static_cast<float>(strand * (0.75 + 0.25 * fibre)));
  });
}

Image CastIron(int size, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double rust = Fbm(x * 5, y * 5, seed, 5, 0);
    const double pit = Fbm(x * 40, y * 40, seed + 1, 2, 0);
    Colour c = Mix(Colour{26, 27, 30}, Colour{48, 50, 55}, static_cast<float>(pit));
    const float r = static_cast<float>(std::clamp((rust - 0.63) * 4, 0.0, 1.0));
    c = Mix(c, Colour{95, 52, 30}, r * 0.7f);
    const double sheen = Fbm(x * 2, y * 24, seed + 5, 3, 0);
    if (sheen > 0.62) c = Mix(c, Colour{110, 112, 118}, static_cast<float>((sheen - 0.62) * 1.6));
    return c;
  });
}

Image WroughtIron() {
  const int n = 64;
  return Paint(n, n, [&](int i, int j) {
    const float r = static_cast<float>(Fbm((i + 0.5) / 8.0, (j + 0.5) / 8.0, 1001, 3, 8));
    return Mix(Colour{44, 42, 40}, Colour{96, 62, 40}, Clamp01((r - 0.5f) * 2.5f));
  });
}

}  // namespace brisane::assets::ship
