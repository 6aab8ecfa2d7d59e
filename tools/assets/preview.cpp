#include "preview.h"

#include <algorithm>
#include <cmath>

#include "noise.h"
#include "paint.h"

namespace brisane::assets {

void DrawShip(Canvas& c, double x, double y, double s, const ShipPalette& p, bool detail) {
  auto M = [&](Contour k) {
    for (Pt& q : k) q = {x + q.x * s, y + q.y * s};
    return k;
  };
  // Bowsprit and masts first, so the sails and hull overlap them.
  c.Fill(M(Band({9.2, -1.3}, {11.5, -2.4}, 0.14)), p.spars);
  const struct {
    double x, top;
  } masts[] = {{2.6, -6.4}, {4.9, -8.6}, {7.2, -7.6}};
  for (const auto& m : masts) c.Fill(M(RectContour(m.x - 0.07, m.top, m.x + 0.07, -1.0)), p.spars);
  // Square sails, slightly bellied; the mizzen carries a spanker aft.
  auto sail = [&](double mx, double y0, double y1, double w0, double w1) {
    Contour k = {{mx - w0 / 2, y0}, {mx + w0 / 2, y0}};
    for (int i = 0; i <= 8; ++i) {  // bellied right leech and foot
      double t = i / 8.0;
      k.push_back({mx + w1 / 2 + 0.12 * std::sin(t * 3.14159), y0 + (y1 - y0) * t});
    }
    for (int i = 0; i <= 8; ++i) {
      double t = i / 8.0;
      k.push_back({mx + w1 / 2 - w1 * t, y1 + 0.18 * std::sin(t * 3.14159)});
    }
    c.Fill(M(k), p.sails);
  };
  for (const auto& m : masts) {
    double h = -m.top;
    bool mizzen = m.x < 3;
    if (!mizzen) sail(m.x, -1.9, -3.7, 2.3, 2.7);
    sail(m.x, mizzen ? -2.3 : -4.0, mizzen ? -3.9 : -5.6, mizzen ? 1.5 : 1.9, mizzen ? 1.8 : 2.3);
    if (detail || !mizzen) sail(m.x, mizzen ? -4.2 : -5.9, std::min(mizzen ? -5.3 : -7.0, -(h - 1.2)), mizzen ? 1.0 : 1.4, mizzen ? 1.3 : 1.8);
  }
  c.Fill(M(Contour{{2.5, -1.8}, {2.5, -4.6}, {0.6, -2.3}, {0.4, -1.8}}), p.sails);   // spanker
  c.Fill(M(Contour{{7.4, -6.5}, {11.3, -2.5}, {8.0, -2.2}}), p.sails);               // jibs
  if (detail) c.Fill(M(Contour{{7.35, -5.0}, {10.2, -1.9}, {7.9, -1.9}}), Mix(p.sails, p.spars, 0.15));
  // Flag at the main top.
  c.Fill(M(Contour{{4.95, -8.6}, {6.0, -8.45}, {5.95, -7.95}, {4.95, -8.0}}), p.flag);
  // Hull: high stern castle, sheer rising to the bow.
  c.Fill(M(Contour{{0.2, -1.9}, {1.4, -1.8}, {1.8, -1.3}, {8.4, -1.05}, {9.5, -1.55}, {9.35, -0.8}, {8.7, 0.15},
                   {1.2, 0.25}, {0.55, -0.4}}),
         p.hull);
  if (detail) {
    c.Fill(M(Band({0.6, -0.85}, {9.1, -0.72}, 0.22)), p.stripe);
    for (int i = 0; i < 9; ++i) {
      double gx = 1.6 + i * 0.8;
      c.Fill(M(RectContour(gx, -0.92, gx + 0.22, -0.68)), p.ports);
    }
  }
}

Image PreviewPicture() {
  const int w = 152, h = 112;
  Canvas c(w, h, w, h, 4);
  const double horizon = 66, sunX = 40, sunY = 58;
  c.Paint([&](double x, double y) {
    if (y < horizon) {
      double t = y / horizon;
      Rgb sky = t < 0.55 ? Mix({22, 26, 70}, {120, 70, 110}, t / 0.55) : Mix({120, 70, 110}, {240, 140, 70}, (t - 0.55) / 0.45);
      double d = std::hypot(x - sunX, (y - sunY) * 1.6);
      sky = Mix(sky, {255, 210, 120}, std::exp(-d / 18) * 0.8);
      // Thin lit cloud streaks.
      double cl = Fbm(x / 40, y / 6, 150, 4);
      return Mix(sky, {250, 170, 120}, std::max(0.0, cl - 0.58) * 2.2 * t);
    }
    double t = (y - horizon) / (h - horizon);
    Rgb sea = Mix({70, 60, 90}, {14, 28, 52}, std::pow(t, 0.6));
    // Sun glitter: a column of broken horizontal sparkles under the sun.
    double spread = 6 + 30 * t;
    double column = std::exp(-std::pow((x - sunX) / spread, 2));
    double ripple = Fbm(x / 7, y / 1.2, 151, 3);
    return Mix(sea, {255, 190, 110}, column * std::max(0.0, ripple - 0.45) * 2.2);
  });
  c.Fill(Circle(sunX, sunY, 7), {255, 236, 170});
  c.Rect(0, horizon, w, horizon + 0.6, {90, 70, 95});  // cut the sun's lower rim at the horizon
  // Darker water under the ship for its shadow and reflection.
  c.Fill(Ellipse(96, 82, 40, 3.2, 64), {16, 22, 40});
  DrawShip(c, 52, 82, 7.2,
           {{48, 30, 22}, {150, 110, 40}, {20, 12, 10}, {40, 28, 20}, {236, 214, 176}, {200, 30, 40}}, true);
  return c.Resolve();
}

Image IconImage(int size) {
  Canvas c(48, 48, size, size, size <= 32 ? 8 : 4);
  c.Fill(Circle(24, 24, 23.5), {24, 44, 96});
  // Sea in the lower part of the badge.
  Contour sea;
  const Contour disc = Circle(24, 24, 23.5);
  for (const Pt& p : disc) sea.push_back({p.x, std::max(p.y, 33.0)});
  c.Fill(sea, {30, 90, 150});
  const bool detail = size >= 48;
  DrawShip(c, 9.5, 35, 3.3, {{60, 36, 24}, {200, 160, 60}, {20, 12, 10}, {60, 40, 28}, {250, 244, 228}, {210, 30, 40}},
           detail);
  return c.Resolve();
}

}  // namespace brisane::assets
