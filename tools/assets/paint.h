// The painting toolkit every picture of the generator is made with: a float
// colour, blends and ramps, the pixel loop that fills a picture from a colour
// function, and the texture loader's row order.
#pragma once

#include <algorithm>
#include <cstdint>

#include "canvas.h"

namespace brisane::assets {

// Picture colours run 0..255 (clamped only when encoded); material colours 0..1.
struct Colour {
  float r = 0, g = 0, b = 0;
  Colour operator+(Colour o) const { return {r + o.r, g + o.g, b + o.b}; }
  Colour operator*(float s) const { return {r * s, g * s, b * s}; }
};

// t = 0 gives a, t = 1 gives b.
inline Colour Mix(Colour a, Colour b, float t) { return a * (1 - t) + b * t; }
// 8-bit colours for the canvas, rounded; t is clamped to 0..1.
Rgb Mix(Rgb a, Rgb b, double t);

inline float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// 0 below e0, 1 above e1 (or the other way round when e1 < e0), smooth between.
inline float SmoothStep(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}
inline double SmoothStep(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

inline void Put(Image& img, int x, int y, Colour c) {
  float* p = img.at(x, y);
  p[0] = c.r;
  p[1] = c.g;
  p[2] = c.b;
}

// A w x h picture from the colour of each pixel, colourAt(x, y), top row first.
template <typename F>
Image Paint(int w, int h, F colourAt) {
  Image img(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put(img, x, y, colourAt(x, y));
  return img;
}

// A square picture from the colour at each pixel's top left corner, with the
// picture spanning 0..1 across and down: colourAt(u, v).
template <typename F>
Image PaintSquare(int size, F colourAt) {
  return Paint(size, size, [&](int x, int y) {
    return colourAt(static_cast<double>(x) / size, static_cast<double>(y) / size);
  });
}

// The texture loader puts a picture's bottom row in texture row 0, so v runs
// up the picture: the v of a place `fromTop` (0..1) down the picture.
inline float TextureV(float fromTop) { return 1 - fromTop; }
// The picture upside down: painted top row first, it then loads with its top
// in texture row 0, so v counts down from the top of the painting.
Image FlipRows(Image img);

}  // namespace brisane::assets
