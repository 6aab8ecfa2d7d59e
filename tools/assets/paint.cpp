#include "paint.h"

#include <cmath>

namespace brisane::assets {

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  auto m = [t](int x, int y) { return static_cast<std::uint8_t>(std::lround(x + (y - x) * t)); };
  return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Image FlipRows(Image img) {
  for (int y = 0; y < img.height / 2; ++y)
    for (int x = 0; x < img.width; ++x) std::swap_ranges(img.at(x, y), img.at(x, y) + 3, img.at(x, img.height - 1 - y));
  return img;
}

}  // namespace brisane::assets
