// Pictures for the generator: a float RGB image, and a supersampled canvas on
// which flat-coloured vector shapes are filled in their own units (a flag's
// construction-sheet units, say) and averaged down to anti-aliased pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace brisane::assets {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

struct Pt {
  double x = 0, y = 0;
};

using Contour = std::vector<Pt>;
// One or more closed contours filled together (holes by the fill rule).
using Shape = std::vector<Contour>;

enum class FillRule { NonZero, EvenOdd };

// Row-major, top row first, RGB in 0..255 (not clamped until encoded), plus an
// alpha plane that only the icon uses.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<float> rgb;    // width * height * 3
  std::vector<float> alpha;  // width * height, 0..1

  Image() = default;
  Image(int w, int h);
  float* at(int x, int y) { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  const float* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  // 8-bit RGB, rounded and clamped.
  std::vector<std::uint8_t> Bytes() const;
};

// Bilinear resampling to another size (box-filtered when shrinking).
Image Resize(const Image& src, int width, int height);

class Canvas {
 public:
  // unitsWidth x unitsHeight of drawing space mapped onto pixelWidth pixels;
  // the pixel height follows the proportions. samples per pixel side.
  Canvas(double unitsWidth, double unitsHeight, int pixelWidth, int samples = 4);
  // Explicit pixel size (the proportions may differ from the units').
  Canvas(double unitsWidth, double unitsHeight, int pixelWidth, int pixelHeight, int samples);

  int width() const { return width_; }
  int height() const { return height_; }

  void Fill(const Shape& shape, Rgb colour, FillRule rule = FillRule::NonZero);
  void Fill(const Contour& contour, Rgb colour) { Fill(Shape{contour}, colour); }
  void Rect(double x0, double y0, double x1, double y1, Rgb colour);
  void Clear(Rgb colour);
  // Later fills touch only this rectangle (drawing units); ClearClip lifts it.
  void SetClip(double x0, double y0, double x1, double y1);
  void ClearClip();
  // Background from a function of the unit position, evaluated per sample.
  template <typename F>
  void Paint(F colourAt) {
    for (int j = 0; j < sh_; ++j) {
      for (int i = 0; i < sw_; ++i) {
        Rgb c = colourAt((i + 0.5) / sx_, (j + 0.5) / sy_);
        Set(i, j, c);
      }
    }
  }

  // The averaged picture; alpha is the covered fraction of each pixel.
  Image Resolve() const;

 private:
  void Set(int i, int j, Rgb c) {
    std::size_t k = (static_cast<std::size_t>(j) * sw_ + i) * 4;
    px_[k] = c.r;
    px_[k + 1] = c.g;
    px_[k + 2] = c.b;
    px_[k + 3] = 255;
  }

  int width_, height_, samples_, sw_, sh_;
  double sx_, sy_;  // samples per unit
  int ci0_ = 0, cj0_ = 0, ci1_, cj1_;  // clip in samples, half-open
  std::vector<std::uint8_t> px_;  // RGBA per sample
};

// Shape helpers, all in drawing units. Angles in degrees, 0 pointing up, clockwise.
Contour RectContour(double x0, double y0, double x1, double y1);
Contour Ellipse(double cx, double cy, double rx, double ry, int segments = 256);
Contour Circle(double cx, double cy, double r, int segments = 256);
// A regular star: points tips at radius outer, notches at radius inner.
Contour Star(double cx, double cy, double outer, double inner, int points, double rotationDeg = 0);
// A band of the given width along the segment a-b (ends cut square), extended by
// `extend` beyond both ends.
Contour Band(Pt a, Pt b, double width, double extend = 0);
Contour Translate(Contour c, double dx, double dy);
Contour Scale(Contour c, double sx, double sy, double cx = 0, double cy = 0);
Contour Rotate(Contour c, double degrees, double cx, double cy);
Contour Reversed(Contour c);

}  // namespace brisane::assets
