#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brisane::assets {

Image::Image(int w, int h)
    : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0.0f),
      alpha(static_cast<std::size_t>(w) * h, 1.0f) {}

std::vector<std::uint8_t> Image::Bytes() const {
  std::vector<std::uint8_t> out(rgb.size());
  for (std::size_t i = 0; i < rgb.size(); ++i) {
    out[i] = static_cast<std::uint8_t>(std::lround(std::clamp(rgb[i], 0.0f, 255.0f)));
  }
  return out;
}

Image Resize(const Image& src, int width, int height) {
  Image out(width, height);
  const double fx = static_cast<double>(src.width) / width;
  const double fy = static_cast<double>(src.height) / height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Box filter over the source footprint (at least one pixel wide).
      double x0 = x * fx, x1 = std::max(x0 + 1.0, (x + 1) * fx);
      double y0 = y * fy, y1 = std::max(y0 + 1.0, (y + 1) * fy);
      if (fx < 1) { x0 = std::max(0.0, (x + 0.5) * fx - 0.5); x1 = x0 + 1; }
      if (fy < 1) { y0 = std::max(0.0, (y + 0.5) * fy - 0.5); y1 = y0 + 1; }
      double sum[4] = {0, 0, 0, 0};
      double total = 0;
      for (int sy = static_cast<int>(y0); sy < static_cast<int>(std::ceil(y1)); ++sy) {
        double wy = std::min<double>(sy + 1, y1) - std::max<double>(sy, y0);
        int cy = std::clamp(sy, 0, src.height - 1);
        for (int sx = static_cast<int>(x0); sx < static_cast<int>(std::ceil(x1)); ++sx) {
          double wx = std::min<double>(sx + 1, x1) - std::max<double>(sx, x0);
          int cx = std::clamp(sx, 0, src.width - 1);
          double w = wx * wy;
          if (w <= 0) continue;
          const float* p = src.at(cx, cy);
          double a = src.alpha[static_cast<std::size_t>(cy) * src.width + cx];
          // Premultiplied, so transparent pixels do not bleed their colour.
          sum[0] += p[0] * a * w;
          sum[1] += p[1] * a * w;
          sum[2] += p[2] * a * w;
          sum[3] += a * w;
          total += w;
        }
      }
      float* o = out.at(x, y);
      double a = total > 0 ? sum[3] / total : 0;
      for (int c = 0; c < 3; ++c) o[c] = sum[3] > 0 ? static_cast<float>(sum[c] / sum[3]) : 0.0f;
      out.alpha[static_cast<std::size_t>(y) * width + x] = static_cast<float>(a);
    }
  }
  return out;
}

Canvas::Canvas(double unitsWidth, double unitsHeight, int pixelWidth, int samples)
    : Canvas(unitsWidth, unitsHeight, pixelWidth,
             std::max(1, static_cast<int>(std::lround(pixelWidth * unitsHeight / unitsWidth))), samples) {}

Canvas::Canvas(double unitsWidth, double unitsHeight, int pixelWidth, int pixelHeight, int samples)
    : width_(pixelWidth), height_(pixelHeight), samples_(samples),
      sw_(pixelWidth * samples), sh_(pixelHeight * samples),
      sx_(pixelWidth * samples / unitsWidth), sy_(pixelHeight * samples / unitsHeight),
      ci1_(sw_), cj1_(sh_), px_(static_cast<std::size_t>(sw_) * sh_ * 4, 0) {}

void Canvas::SetClip(double x0, double y0, double x1, double y1) {
  ci0_ = std::clamp(static_cast<int>(std::ceil(x0 * sx_ - 0.5)), 0, sw_);
  ci1_ = std::clamp(static_cast<int>(std::ceil(x1 * sx_ - 0.5)), 0, sw_);
  cj0_ = std::clamp(static_cast<int>(std::ceil(y0 * sy_ - 0.5)), 0, sh_);
  cj1_ = std::clamp(static_cast<int>(std::ceil(y1 * sy_ - 0.5)), 0, sh_);
}

void Canvas::ClearClip() {
  ci0_ = cj0_ = 0;
  ci1_ = sw_;
  cj1_ = sh_;
}

void Canvas::Clear(Rgb colour) {
  for (int j = 0; j < sh_; ++j)
    for (int i = 0; i < sw_; ++i) Set(i, j, colour);
}

void Canvas::Rect(double x0, double y0, double x1, double y1, Rgb colour) {
  Fill(RectContour(x0, y0, x1, y1), colour);
}

void Canvas::Fill(const Shape& shape, Rgb colour, FillRule rule) {
  double minY = 1e300, maxY = -1e300;
  for (const Contour& c : shape)
    for (const Pt& p : c) {
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
  if (minY > maxY) return;
  // Sample rows whose centres lie within the shape's vertical extent.
  int j0 = std::max(cj0_, static_cast<int>(std::floor(minY * sy_ - 0.5)));
  int j1 = std::min(cj1_ - 1, static_cast<int>(std::ceil(maxY * sy_ - 0.5)));
  struct Crossing {
    double x;
    int dir;
  };
  std::vector<Crossing> xs;
  for (int j = j0; j <= j1; ++j) {
    const double y = (j + 0.5) / sy_;
    xs.clear();
    for (const Contour& c : shape) {
      const std::size_t n = c.size();
      for (std::size_t k = 0; k < n; ++k) {
        const Pt& a = c[k];
        const Pt& b = c[(k + 1) % n];
        // Half-open in y so a vertex on the scan line counts once.
        if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y)) {
          double t = (y - a.y) / (b.y - a.y);
          xs.push_back({a.x + t * (b.x - a.x), b.y > a.y ? 1 : -1});
        }
      }
    }
    if (xs.size() < 2) continue;
    std::sort(xs.begin(), xs.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
    int winding = 0;
    for (std::size_t k = 0; k + 1 < xs.size(); ++k) {
      winding += rule == FillRule::NonZero ? xs[k].dir : 1;
      bool inside = rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
      if (!inside) continue;
      // Samples whose centres lie in [x_k, x_k+1).
      int i0 = std::max(ci0_, static_cast<int>(std::ceil(xs[k].x * sx_ - 0.5)));
      int i1 = std::min(ci1_, static_cast<int>(std::ceil(xs[k + 1].x * sx_ - 0.5)));
      for (int i = i0; i < i1; ++i) Set(i, j, colour);
    }
  }
}

Image Canvas::Resolve() const {
  Image out(width_, height_);
  const double n = static_cast<double>(samples_) * samples_;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      double sum[4] = {0, 0, 0, 0};
      for (int j = 0; j < samples_; ++j) {
        const std::uint8_t* p = &px_[((static_cast<std::size_t>(y) * samples_ + j) * sw_ + x * samples_) * 4];
        for (int i = 0; i < samples_; ++i, p += 4) {
          if (!p[3]) continue;
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
          sum[3] += 1;
        }
      }
      float* o = out.at(x, y);
      for (int c = 0; c < 3; ++c) o[c] = sum[3] > 0 ? static_cast<float>(sum[c] / sum[3]) : 0.0f;
      out.alpha[static_cast<std::size_t>(y) * width_ + x] = static_cast<float>(sum[3] / n);
    }
  }
  return out;
}

Contour RectContour(double x0, double y0, double x1, double y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

Contour Ellipse(double cx, double cy, double rx, double ry, int segments) {
  Contour c;
  c.reserve(segments);
  for (int k = 0; k < segments; ++k) {
    double a = 2 * std::numbers::pi * k / segments;
    c.push_back({cx + rx * std::sin(a), cy - ry * std::cos(a)});
  }
  return c;
}

Contour Circle(double cx, double cy, double r, int segments) { return Ellipse(cx, cy, r, r, segments); }

Contour Star(double cx, double cy, double outer, double inner, int points, double rotationDeg) {
  Contour c;
  for (int k = 0; k < points * 2; ++k) {
    double a = (rotationDeg + 180.0 * k / points) * std::numbers::pi / 180.0;
    double r = (k % 2) ? inner : outer;
    c.push_back({cx + r * std::sin(a), cy - r * std::cos(a)});
  }
  return c;
}

Contour Band(Pt a, Pt b, double width, double extend) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double len = std::hypot(dx, dy);
  dx /= len;
  dy /= len;
  Pt s{a.x - dx * extend, a.y - dy * extend}, e{b.x + dx * extend, b.y + dy * extend};
  double nx = -dy * width / 2, ny = dx * width / 2;
  return {{s.x + nx, s.y + ny}, {e.x + nx, e.y + ny}, {e.x - nx, e.y - ny}, {s.x - nx, s.y - ny}};
}

Contour Translate(Contour c, double dx, double dy) {
  for (Pt& p : c) {
    p.x += dx;
    p.y += dy;
  }
  return c;
}

Contour Scale(Contour c, double sx, double sy, double cx, double cy) {
  for (Pt& p : c) {
    p.x = cx + (p.x - cx) * sx;
    p.y = cy + (p.y - cy) * sy;
  }
  return c;
}

Contour Rotate(Contour c, double degrees, double cx, double cy) {
  double a = degrees * std::numbers::pi / 180.0, s = std::sin(a), co = std::cos(a);
  for (Pt& p : c) {
    double x = p.x - cx, y = p.y - cy;
    p.x = cx + x * co - y * s;
    p.y = cy + x * s + y * co;
  }
  return c;
}

Contour Reversed(Contour c) {
  std::reverse(c.begin(), c.end());
  return c;
}

}  // namespace brisane::assets
