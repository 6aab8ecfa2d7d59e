#include "flags.h"

#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>

namespace brisane::assets {

namespace {

constexpr double kPi = std::numbers::pi;

constexpr Rgb kWhite{255, 255, 255};

// Maps a sub-drawing's own units into the flag's (uniform scale + offset).
struct Frame {
  double x = 0, y = 0, scale = 1;
  Pt operator()(Pt p) const { return {x + p.x * scale, y + p.y * scale}; }
  Contour operator()(Contour c) const {
    for (Pt& p : c) p = (*this)(p);
    return c;
  }
};

// Horizontal bands of the given relative heights.
void HorizontalBands(Canvas& c, double w, double h, std::initializer_list<std::pair<double, Rgb>> bands) {
  double total = 0;
  for (auto& b : bands) total += b.first;
  double y = 0;
  for (auto& b : bands) {
    double y1 = y + b.first * h / total;
    c.Rect(0, y, w, y1, b.second);
    y = y1;
  }
}

void VerticalBands(Canvas& c, double w, double h, std::initializer_list<Rgb> bands) {
  double x = 0, step = w / static_cast<double>(bands.size());
  for (Rgb col : bands) {
    c.Rect(x, 0, x + step, h, col);
    x += step;
  }
}

// A Nordic cross: bar centred at (cx, cy) with the given width, over the full flag.
void Cross(Canvas& c, double w, double h, double cx, double cy, double width, Rgb col) {
  c.Rect(cx - width / 2, 0, cx + width / 2, h, col);
  c.Rect(0, cy - width / 2, w, cy + width / 2, col);
}

// The union flag in a 60 x 30 frame; clipped to that frame.
void UnionFlag(Canvas& c, const Frame& f) {
  const Rgb blue{1, 33, 105}, red{200, 16, 46};
  const Pt tl = f({0, 0}), br = f({60, 30});
  c.SetClip(tl.x, tl.y, br.x, br.y);
  c.Fill(f(RectContour(0, 0, 60, 30)), blue);
  const Pt centre{30, 15};
  const std::array<Pt, 4> corners = {Pt{0, 0}, Pt{60, 0}, Pt{0, 30}, Pt{60, 30}};
  // St Andrew: white saltire 6 wide.
  for (const Pt& k : corners) c.Fill(f(Band(centre, k, 6, 2)), kWhite);
  // St Patrick: red 2 wide, counterchanged: beside the diagonal on the lower
  // side in the hoist half and the upper side in the fly half, so the broad
  // white is uppermost at the hoist.
  for (const Pt& k : corners) {
    double dx = k.x - centre.x, dy = k.y - centre.y, len = std::hypot(dx, dy);
    double nx = -dy / len, ny = dx / len;  // a normal; pick the wanted side
    bool hoist = k.x < centre.x;
    double want = hoist ? 1.0 : -1.0;   // +y is down
    if (ny * want < 0) {
      nx = -nx;
      ny = -ny;
    }
    Pt a{centre.x + nx * 1.0, centre.y + ny * 1.0}, b{k.x + nx * 1.0, k.y + ny * 1.0};
    c.Fill(f(Band(a, b, 2, 2)), red);
  }
  // St George: red cross 6 wide with a white border of 2.
  c.Fill(f(RectContour(25, 0, 35, 30)), kWhite);
  c.Fill(f(RectContour(0, 10, 60, 20)), kWhite);
  c.Fill(f(RectContour(27, 0, 33, 30)), red);
  c.Fill(f(RectContour(0, 12, 60, 18)), red);
  c.ClearClip();
}

// Simple stroke letters on a 4 x 6 grid for the Brazilian motto.
const std::vector<std::vector<Pt>>& Letter(char ch) {
  static const std::vector<std::vector<Pt>> O = {{{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}}};
  static const std::vector<std::vector<Pt>> R = {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2, 3}, {4, 6}}};
  static const std::vector<std::vector<Pt>> D = {{{0, 0}, {2.5, 0}, {4, 1.5}, {4, 4.5}, {2.5, 6}, {0, 6}, {0, 0}}};
  static const std::vector<std::vector<Pt>> E = {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}};
  static const std::vector<std::vector<Pt>> M = {{{0, 6}, {0, 0}, {2, 3}, {4, 0}, {4, 6}}};
  static const std::vector<std::vector<Pt>> P = {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}};
  static const std::vector<std::vector<Pt>> G = {{{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 3}, {2, 3}}};
  static const std::vector<std::vector<Pt>> S = {
      {{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 3}, {3, 3}, {4, 4}, {4, 5}, {3, 6}, {1, 6}, {0, 5}}};
  switch (ch) {
    case 'O': return O;
    case 'R': return R;
    case 'D': return D;
    case 'E': return E;
    case 'M': return M;
    case 'P': return P;
    case 'G': return G;
    default: return S;
  }
}

void Argentina(Canvas& c) {  // 14 x 9
  const Rgb blue{116, 172, 223}, gold{246, 180, 14}, brown{133, 52, 10};
  HorizontalBands(c, 14, 9, {{1, blue}, {1, kWhite}, {1, blue}});
  const double cx = 7, cy = 4.5;
  // Sun of May: 32 rays alternating straight and flame-like, face disc.
  for (int k = 0; k < 32; ++k) {
    double a = k * 2 * kPi / 32;
    auto at = [&](double r, double da) { return Pt{cx + r * std::sin(a + da), cy - r * std::cos(a + da)}; };
    if (k % 2 == 0) {
      Contour ray = {at(0.5, -0.07), at(1.3, 0), at(0.5, 0.07)};
      c.Fill(ray, brown);
      c.Fill(Contour{at(0.52, -0.055), at(1.25, 0), at(0.52, 0.055)}, gold);
    } else {
      Contour ray;
      const int n = 14;
      for (int i = 0; i <= n; ++i) {  // one side, waving
        double t = static_cast<double>(i) / n, r = 0.5 + 0.68 * t;
        ray.push_back(at(r, 0.07 * (1 - t) + 0.03 * std::sin(t * 3 * kPi)));
      }
      for (int i = n; i >= 0; --i) {
        double t = static_cast<double>(i) / n, r = 0.5 + 0.68 * t;
        ray.push_back(at(r, -0.07 * (1 - t) + 0.03 * std::sin(t * 3 * kPi)));
      }
      c.Fill(ray, brown);
      c.Fill(Scale(ray, 0.93, 0.93, cx, cy), gold);
    }
  }
  c.Fill(Circle(cx, cy, 0.6), brown);
  c.Fill(Circle(cx, cy, 0.56), gold);
  // A plain face: eyes, nose line and mouth, in the outline colour.
  c.Fill(Ellipse(cx - 0.2, cy - 0.1, 0.08, 0.05), brown);
  c.Fill(Ellipse(cx + 0.2, cy - 0.1, 0.08, 0.05), brown);
  c.Fill(Band({cx, cy - 0.08}, {cx, cy + 0.12}, 0.04), brown);
  c.Fill(Band({cx - 0.14, cy + 0.25}, {cx + 0.14, cy + 0.25}, 0.05), brown);
}

void SouthernCrossAustralia(Canvas& c) {
  const double wh = 1;  // hoist width of a 2 x 1 flag
  auto star7 = [&](double x, double y, double d) { c.Fill(Star(x, y, d / 2, d / 2 * 4 / 9, 7), kWhite); };
  // Commonwealth Star, centre of the lower hoist quarter, one point straight up
  // at the St George cross.
  star7(0.5, 0.75, 0.3 * wh);
  star7(1.5, 5.0 / 6, wh / 7);                    // Alpha
  star7(1.25, 0.5 - 1.0 / 16, wh / 7);            // Beta
  star7(1.5, 1.0 / 6, wh / 7);                    // Gamma
  star7(1.5 + 2.0 / 9, 0.5 - 31.0 / 240, wh / 7); // Delta
  c.Fill(Star(1.6, 0.5 + 1.0 / 24, wh / 24, wh / 24 * 4 / 9, 5), kWhite);  // Epsilon
}

void Australia(Canvas& c) {  // 2 x 1
  c.Clear({1, 33, 105});
  UnionFlag(c, {0, 0, 1.0 / 60});
  SouthernCrossAustralia(c);
}

void Brazil(Canvas& c) {  // 20 x 14 modules
  const Rgb green{0, 156, 59}, yellow{255, 223, 0}, blue{0, 39, 118};
  c.Clear(green);
  c.Fill(Contour{{1.7, 7}, {10, 1.7}, {18.3, 7}, {10, 12.3}}, yellow);
  const double cx = 10, cy = 7, r = 3.5;
  c.Fill(Circle(cx, cy, r), blue);
  // The white band: arcs of radius 8 and 8.5 about a point 2 modules left of
  // where the vertical diameter meets the lower edge, kept within the disc
  // (band points outside it are pulled onto the circle).
  const Pt arc{8, 14};
  Contour band;
  const int n = 512;
  for (int i = 0; i <= n; ++i) {
    double a = -0.8 + 1.6 * i / n;
    band.push_back({arc.x + 8.5 * std::sin(a), arc.y - 8.5 * std::cos(a)});
  }
  for (int i = n; i >= 0; --i) {
    double a = -0.8 + 1.6 * i / n;
    band.push_back({arc.x + 8.0 * std::sin(a), arc.y - 8.0 * std::cos(a)});
  }
  for (Pt& p : band) {
    double dx = p.x - cx, dy = p.y - cy, d = std::hypot(dx, dy);
    if (d > r) p = {cx + dx / d * r, cy + dy / d * r};
  }
  c.Fill(band, kWhite);
  // The motto along the band's middle, letter P on the vertical diameter.
  const std::string_view motto = "ORDEM E PROGRESSO";
  const double rm = 8.25, k = 0.333 / 6, advance = 0.3, gap = 0.2;
  std::vector<double> pos;
  double s = 0;
  for (char ch : motto) {
    pos.push_back(s);
    s += ch == ' ' ? gap : advance;
  }
  const double pAt = pos[8];
  const double thetaP = std::asin((cx - arc.x) / rm);
  for (std::size_t i = 0; i < motto.size(); ++i) {
    if (motto[i] == ' ') continue;
    double th = thetaP + (pos[i] - pAt) / rm;
    Pt base{arc.x + rm * std::sin(th), arc.y - rm * std::cos(th)};
    Pt t{std::cos(th), std::sin(th)}, down{-std::sin(th), std::cos(th)};
    auto map = [&](Pt g) {
      double lx = (g.x - 2) * k, ly = (g.y - 3) * k;
      return Pt{base.x + lx * t.x + ly * down.x, base.y + lx * t.y + ly * down.y};
    };
    for (const auto& stroke : Letter(motto[i])) {
      for (std::size_t j = 0; j + 1 < stroke.size(); ++j) c.Fill(Band(map(stroke[j]), map(stroke[j + 1]), 0.9 * k, 0.45 * k), green);
    }
  }
  // 27 stars in five sizes, grouped as the constellations seen on the disc.
  struct S {
    double x, y;
    int size;
  };
  const S stars[] = {
      {1.0, -1.5, 3},                                                             // Spica, above the band
      {0.55, 2.45, 1}, {0.45, 1.2, 2}, {0.0, 1.75, 1}, {1.0, 1.6, 2}, {0.75, 1.95, 4},  // Southern Cross
      {-2.25, 0.9, 1}, {-2.6, 1.55, 3}, {-1.75, 1.45, 3}, {-2.05, 2.05, 3}, {-2.85, 0.55, 4},  // Canis Major
      {-1.1, 0.35, 2},                                                            // Procyon
      {-1.35, 2.5, 1},                                                            // Canopus
      {0.05, 3.0, 4},                                                             // Sigma Octantis
      {2.0, 0.55, 2}, {2.55, 0.85, 3}, {2.8, 1.4, 3}, {2.55, 1.95, 4}, {2.1, 2.3, 3}, {1.65, 2.7, 4},
      {2.95, 0.45, 4}, {2.3, 0.15, 4},                                            // Scorpius
      {1.35, -0.35, 4}, {1.75, -0.45, 5},                                         // Hydra
      {1.55, 3.0, 3}, {1.05, 2.95, 4}, {1.9, 3.4, 4} /* Triangulum Australe */};
  const double sizes[] = {0, 0.30, 0.25, 0.20, 0.14, 0.10};
  for (const S& st : stars) c.Fill(Star(cx + st.x, cy + st.y, sizes[st.size] / 2, sizes[st.size] / 2 * 0.382, 5), kWhite);
}

// Right half of the maple leaf (x >= 0), leaf centre at the origin, y down,
// as an 11-point outline in a 16-unit square.
const Contour& MapleHalf() {
  static const Contour half = {
      {0, -6.6},   {1.15, -4.35}, {2.45, -4.95}, {1.95, -1.55}, {3.35, -3.05}, {3.8, -2.05},
      {6.35, -2.85}, {5.6, -1.25}, {6.45, -0.85}, {3.95, 0.95},  {4.55, 2.25},  {0.5, 1.85},
      {0.6, 5.0},  {0, 5.0}};
  return half;
}

void Canada(Canvas& c) {  // 32 x 16
  const Rgb red{213, 43, 30};
  c.Clear(kWhite);
  c.Rect(0, 0, 8, 16, red);
  c.Rect(24, 0, 32, 16, red);
  Contour leaf;
  const Contour& half = MapleHalf();
  const double cx = 16, cy = 8.05, s = 1.0;
  for (const Pt& p : half) leaf.push_back({cx + p.x * s, cy + p.y * s});
  for (auto it = half.rbegin(); it != half.rend(); ++it) {
    if (it->x == 0) continue;
    leaf.push_back({cx - it->x * s, cy + it->y * s});
  }
  c.Fill(leaf, red);
}

void Denmark(Canvas& c) {  // 37 x 28
  c.Clear({200, 16, 46});
  Cross(c, 37, 28, 14, 14, 4, kWhite);
}

void Eu(Canvas& c) {  // 3 x 2 (units of 1/3 the height: 27 x 18)
  const Rgb blue{0, 51, 153}, gold{255, 204, 0};
  c.Clear(blue);
  for (int k = 0; k < 12; ++k) {
    double a = k * kPi / 6;
    c.Fill(Star(13.5 + 6 * std::sin(a), 9 - 6 * std::cos(a), 1, 0.382, 5), gold);
  }
}

void Finland(Canvas& c) {  // 18 x 11
  c.Clear(kWhite);
  Cross(c, 18, 11, 6.5, 5.5, 3, {0, 47, 108});
}

void France(Canvas& c) { VerticalBands(c, 3, 2, {{0, 38, 84}, kWhite, {237, 41, 57}}); }

void Germany(Canvas& c) { HorizontalBands(c, 5, 3, {{1, {0, 0, 0}}, {1, {221, 0, 0}}, {1, {255, 206, 0}}}); }

void Greece(Canvas& c) {  // 27 x 18: nine stripes of 2
  const Rgb blue{13, 94, 175};
  for (int i = 0; i < 9; ++i) c.Rect(0, i * 2, 27, i * 2 + 2, i % 2 ? kWhite : blue);
  c.Rect(0, 0, 10, 10, blue);
  c.Rect(4, 0, 6, 10, kWhite);
  c.Rect(0, 4, 10, 6, kWhite);
}

void Iceland(Canvas& c) {  // 25 x 18
  c.Clear({2, 82, 156});
  Cross(c, 25, 18, 9, 9, 4, kWhite);
  Cross(c, 25, 18, 9, 9, 2, {220, 30, 53});
}

void Ireland(Canvas& c) { VerticalBands(c, 2, 1, {{22, 155, 98}, kWhite, {255, 136, 62}}); }

void Israel(Canvas& c) {  // 220 x 160
  const Rgb blue{0, 56, 184};
  c.Clear(kWhite);
  c.Rect(0, 15, 220, 40, blue);
  c.Rect(0, 120, 220, 145, blue);
  // Two interlaced triangles, outlines 5.5 wide, 66 from point to point.
  const double cx = 110, cy = 80, r = 33, w = 5.5;
  for (double rot : {0.0, 180.0}) {
    Contour outer = Star(cx, cy, r, r, 3, rot);  // equal radii: a triangle's six points
    Contour o2 = {outer[0], outer[2], outer[4]};
    double ri = r - 2 * w;
    Contour in = Star(cx, cy, ri, ri, 3, rot);
    Contour i2 = {in[0], in[2], in[4]};
    c.Fill(Shape{o2, i2}, blue, FillRule::EvenOdd);
  }
}

void Italy(Canvas& c) { VerticalBands(c, 3, 2, {{0, 146, 70}, kWhite, {206, 43, 55}}); }

void Japan(Canvas& c) {  // 3 x 2
  c.Clear(kWhite);
  c.Fill(Circle(1.5, 1, 0.6), {188, 0, 45});
}

void Mexico(Canvas& c) {  // 7 x 4
  const Rgb green{0, 104, 71}, red{206, 17, 38};
  VerticalBands(c, 7, 4, {green, kWhite, red});
  const Rgb brown{120, 72, 24}, dark{84, 50, 20}, cactus{46, 120, 52}, leaf{40, 110, 60}, snake{92, 140, 60},
      rock{150, 110, 70};
  const double cx = 3.5, cy = 2.0;
  // Drawn small and scaled up, so the emblem spans about 3/4 of the white pale.
  auto fill = [&](const Contour& k, Rgb col) { c.Fill(Scale(k, 1.2, 1.2, cx, cy), col); };
  // Wreath of oak and laurel: leaves along a lower arc, tied with a ribbon.
  for (int side : {-1, 1}) {
    for (int i = 0; i < 9; ++i) {
      double t = i / 8.0;
      double lx = cx + side * (0.72 - 0.45 * t * t), ly = cy - 0.55 + 1.05 * t * t;
      fill(Rotate(Ellipse(lx, ly, 0.06, 0.13, 32), side * (20 + i * 8), lx, ly), leaf);
    }
  }
  fill(Ellipse(cx - 0.08, cy + 0.62, 0.08, 0.05, 32), green);
  fill(Ellipse(cx, cy + 0.62, 0.06, 0.05, 32), kWhite);
  fill(Ellipse(cx + 0.08, cy + 0.62, 0.08, 0.05, 32), red);
  // Rock in the lake and the nopal cactus.
  fill(Ellipse(cx, cy + 0.5, 0.3, 0.07, 64), rock);
  const struct {
    double x, y, rx, ry, rot;
  } pads[] = {{0, 0.32, 0.1, 0.16, 0}, {-0.17, 0.2, 0.09, 0.13, -30}, {0.17, 0.2, 0.09, 0.13, 30},
              {-0.28, 0.05, 0.08, 0.11, -45}, {0.27, 0.06, 0.08, 0.11, 40}};
  for (const auto& p : pads) fill(Rotate(Ellipse(cx + p.x, cy + p.y, p.rx, p.ry, 48), p.rot, cx + p.x, cy + p.y), cactus);
  // The eagle, in profile facing the hoist, wings raised, on the cactus,
  // the snake in its beak.
  auto at = [&](Contour k) { return Translate(std::move(k), cx, cy); };
  fill(at({{0.12, 0.02}, {0.36, 0.2}, {0.42, 0.12}, {0.38, 0.04}, {0.26, -0.04}}), dark);            // tail fan
  fill(at(Rotate(Ellipse(0.08, -0.12, 0.13, 0.21, 48), -28, 0.08, -0.12)), brown);                   // body
  fill(at({{-0.02, -0.26}, {0.02, -0.62}, {0.08, -0.58}, {0.1, -0.3}}), dark);                        // far wing
  fill(at({{0.08, -0.24}, {0.16, -0.72}, {0.24, -0.66}, {0.28, -0.72}, {0.34, -0.6}, {0.42, -0.63},
           {0.42, -0.5}, {0.5, -0.48}, {0.42, -0.36}, {0.46, -0.3}, {0.3, -0.2}, {0.18, -0.1}}), brown);  // near wing
  fill(at(Band({0.02, -0.2}, {-0.1, -0.32}, 0.1)), brown);                                           // neck
  fill(at(Circle(-0.12, -0.34, 0.075, 32)), brown);                                                  // head
  fill(at({{-0.18, -0.36}, {-0.27, -0.31}, {-0.18, -0.3}}), {230, 180, 40});                         // beak
  fill(at(Circle(-0.13, -0.36, 0.015, 12)), {240, 220, 120});                                         // eye
  fill(at(Band({0.02, 0.0}, {-0.01, 0.16}, 0.04)), {230, 180, 40});                                  // leg on the cactus
  Contour sn;
  for (int i = 0; i <= 32; ++i) {
    double t = i / 32.0;
    sn.push_back({cx - 0.25 + 0.12 * std::sin(t * 2.5 * kPi) * (1 - t) - 0.05 * t, cy - 0.3 + 0.42 * t});
  }
  for (std::size_t i = 0; i + 1 < sn.size(); ++i) fill(Band(sn[i], sn[i + 1], 0.035, 0.01), snake);
}

void Netherlands(Canvas& c) { HorizontalBands(c, 3, 2, {{1, {174, 28, 40}}, {1, kWhite}, {1, {33, 70, 139}}}); }

void NewZealand(Canvas& c) {  // 120 x 60
  const Rgb red{200, 16, 46};
  c.Clear({1, 33, 105});
  UnionFlag(c, {0, 0, 1});
  // Long limb on the fly's centre line, 36/60 of the hoist apart; short limb
  // at 82 degrees through a point 12/60 below the top star.
  const double ax = 90, c82 = std::cos(82 * kPi / 180), s82 = std::sin(82 * kPi / 180);
  struct St {
    double x, y, d;
  };
  const St st[] = {{ax, 12, 6}, {ax, 48, 7}, {ax + 12 * s82, 24 - 12 * c82, 5}, {ax - 14 * s82, 24 + 14 * c82, 6}};
  for (const St& s : st) {
    c.Fill(Star(s.x, s.y, s.d / 2 + 0.9, (s.d / 2 + 0.9) * 0.382, 5), kWhite);
    c.Fill(Star(s.x, s.y, s.d / 2, s.d / 2 * 0.382, 5), red);
  }
}

void Norway(Canvas& c) {  // 22 x 16
  c.Clear({186, 12, 47});
  Cross(c, 22, 16, 8, 8, 4, kWhite);
  Cross(c, 22, 16, 8, 8, 2, {0, 32, 91});
}

void Russia(Canvas& c) { HorizontalBands(c, 3, 2, {{1, kWhite}, {1, {0, 57, 166}}, {1, {213, 43, 30}}}); }

void Spain(Canvas& c) {  // 3 x 2
  const Rgb red{170, 21, 27}, yellow{241, 191, 0};
  HorizontalBands(c, 3, 2, {{1, red}, {2, yellow}, {1, red}});
  // The arms, simplified: quartered shield with inescutcheon, crown and the
  // two crowned pillars; 2/5 of the hoist tall, centred a hoist-half from it.
  const double cx = 1.0, cy = 1.0, h = 0.8, w = h * 0.62;
  const Rgb gold{230, 170, 20}, white{245, 245, 245}, purple{110, 30, 90}, blue{30, 60, 160}, silver{200, 200, 200};
  const double top = cy - h * 0.32, bottom = cy + h * 0.42;
  for (double px : {cx - w * 0.78, cx + w * 0.78}) {  // pillars with their crowns and ribbon
    c.Rect(px - 0.04, top + 0.05, px + 0.04, bottom - 0.02, silver);
    c.Rect(px - 0.06, bottom - 0.04, px + 0.06, bottom, gold);
    c.Rect(px - 0.06, top + 0.02, px + 0.06, top + 0.06, gold);
    c.Fill(Contour{{px - 0.05, top + 0.02}, {px - 0.05, top - 0.04}, {px, top - 0.02}, {px + 0.05, top - 0.04}, {px + 0.05, top + 0.02}}, gold);
    c.Fill(Band({px - 0.09, cy + 0.02}, {px + 0.09, cy + 0.08}, 0.045), red);
  }
  Contour shield = {{cx - w / 2, top}, {cx + w / 2, top}, {cx + w / 2, cy + h * 0.22}};
  for (int i = 0; i <= 24; ++i) {
    double a = kPi * i / 24;
    shield.push_back({cx + w / 2 * std::cos(a), cy + h * 0.22 + h * 0.2 * std::sin(a)});
  }
  shield.push_back({cx - w / 2, top});
  c.Fill(Scale(shield, 1.06, 1.04, cx, cy), gold);
  c.Fill(shield, white);
  const double mid = (top + cy + h * 0.22) / 2;
  c.SetClip(cx - w / 2, top, cx, mid);  // Castile: gold castle on red
  c.Fill(shield, red);
  {
    // Three-towered castle, crenellated, with a blue gate.
    const double x0 = cx - w / 2, qw = w / 2, qh = mid - top;
    auto q = [&](double u, double v) { return Pt{x0 + u * qw, top + v * qh}; };
    c.Fill(Contour{q(0.2, 0.88), q(0.8, 0.88), q(0.8, 0.5), q(0.2, 0.5)}, gold);
    const double towers[][3] = {{0.2, 0.36, 0.32}, {0.41, 0.59, 0.14}, {0.64, 0.8, 0.32}};
    for (const auto& t : towers) {
      c.Fill(Contour{q(t[0], 0.52), q(t[1], 0.52), q(t[1], t[2]), q(t[0], t[2])}, gold);
      const double step = (t[1] - t[0]) / 5;
      for (int k = 0; k < 3; ++k) {
        double u = t[0] + step * 2 * k;
        c.Fill(Contour{q(u, t[2] + 0.01), q(u + step, t[2] + 0.01), q(u + step, t[2] - 0.07), q(u, t[2] - 0.07)}, gold);
      }
    }
    c.Fill(Contour{q(0.44, 0.88), q(0.56, 0.88), q(0.56, 0.72), q(0.5, 0.66), q(0.44, 0.72)}, blue);
  }
  c.SetClip(cx, top, cx + w / 2, mid);  // Leon: purple lion on white
  {
    // Rampant lion facing the hoist, in outline.
    const double x0 = cx, qw = w / 2, qh = mid - top;
    Contour lion = {{0.30, 0.18}, {0.40, 0.12}, {0.50, 0.16}, {0.52, 0.26}, {0.62, 0.34}, {0.66, 0.50},
                    {0.62, 0.62}, {0.70, 0.74}, {0.74, 0.88}, {0.62, 0.88}, {0.56, 0.74}, {0.46, 0.70},
                    {0.40, 0.80}, {0.42, 0.88}, {0.30, 0.88}, {0.34, 0.70}, {0.40, 0.56}, {0.30, 0.50},
                    {0.22, 0.44}, {0.28, 0.40}, {0.38, 0.42}, {0.36, 0.30}, {0.26, 0.30}, {0.24, 0.24}};
    for (Pt& pt : lion) pt = {x0 + pt.x * qw, top + pt.y * qh};
    c.Fill(lion, purple);
    Contour tail = {{0.66, 0.50}, {0.80, 0.36}, {0.84, 0.22}, {0.80, 0.20}, {0.76, 0.34}, {0.64, 0.44}};
    for (Pt& pt : tail) pt = {x0 + pt.x * qw, top + pt.y * qh};
    c.Fill(tail, purple);
  }
  c.SetClip(cx - w / 2, mid, cx, bottom);  // Aragon: red pales on gold
  c.Fill(shield, gold);
  for (int i = 0; i < 4; ++i) {
    double x0 = cx - w / 2 + (i * 2 + 1) * w / 18;
    c.Rect(x0, mid, x0 + w / 18, bottom, red);
  }
  c.SetClip(cx, mid, cx + w / 2, bottom);  // Navarre: gold chains on red
  c.Fill(shield, red);
  c.Fill(Shape{Circle(cx + w * 0.25, (mid + cy + h * 0.3) / 2, w * 0.13, 48), Circle(cx + w * 0.25, (mid + cy + h * 0.3) / 2, w * 0.08, 48)},
         gold, FillRule::EvenOdd);
  c.ClearClip();
  c.Fill(Ellipse(cx, cy + h * 0.36, w * 0.07, h * 0.05, 32), {200, 60, 80});  // Granada
  c.Fill(Ellipse(cx, mid, w * 0.12, h * 0.09, 48), gold);                     // Bourbon inescutcheon
  c.Fill(Ellipse(cx, mid, w * 0.1, h * 0.075, 48), blue);
  // Royal crown.
  c.Fill(Contour{{cx - w * 0.45, top - 0.01}, {cx - w * 0.5, top - 0.14}, {cx - w * 0.25, top - 0.1}, {cx, top - 0.2},
                 {cx + w * 0.25, top - 0.1}, {cx + w * 0.5, top - 0.14}, {cx + w * 0.45, top - 0.01}},
         gold);
  c.Fill(Circle(cx, top - 0.23, 0.03, 24), gold);
  c.Rect(cx - w * 0.45, top - 0.04, cx + w * 0.45, top - 0.01, red);
}

void Sweden(Canvas& c) {  // 16 x 10
  c.Clear({0, 106, 167});
  Cross(c, 16, 10, 6, 5, 2, {254, 204, 2});
}

void Switzerland(Canvas& c) {  // 32 x 32
  c.Clear({218, 41, 28});
  c.Rect(13, 6, 19, 26, kWhite);
  c.Rect(6, 13, 26, 19, kWhite);
}

void UnitedKingdom(Canvas& c) { UnionFlag(c, {0, 0, 1}); }

void UnitedStates(Canvas& c) {  // 1.9 x 1 (hoist = 1)
  const Rgb red{178, 34, 52}, blue{60, 59, 110};
  for (int i = 0; i < 13; ++i) c.Rect(0, i / 13.0, 1.9, (i + 1) / 13.0, i % 2 ? kWhite : red);
  const double C = 7.0 / 13, D = 0.76, E = 0.054, G = 0.063, K = 0.0616;
  c.Rect(0, 0, D, C, blue);
  for (int row = 0; row < 9; ++row) {
    int n = row % 2 ? 5 : 6;
    for (int k = 0; k < n; ++k) {
      double x = G * (row % 2 ? 2 + 2 * k : 1 + 2 * k);
      c.Fill(Star(x, E * (row + 1), K / 2, K / 2 * 0.382, 5), kWhite);
    }
  }
}

struct FlagDef {
  std::string_view name;
  double w, h;
  void (*draw)(Canvas&);
};

const std::array<FlagDef, kFlagCount>& Flags() {
  static const std::array<FlagDef, kFlagCount> flags = {{
      {"Argentina", 14, 9, Argentina},     {"Australia", 2, 1, Australia},   {"Brazil", 20, 14, Brazil},
      {"Canada", 32, 16, Canada},          {"Denmark", 37, 28, Denmark},     {"EU", 27, 18, Eu},
      {"Finland", 18, 11, Finland},        {"France", 3, 2, France},         {"Germany", 5, 3, Germany},
      {"Greece", 27, 18, Greece},          {"Iceland", 25, 18, Iceland},     {"Ireland", 2, 1, Ireland},
      {"Israel", 220, 160, Israel},        {"Italy", 3, 2, Italy},           {"Japan", 3, 2, Japan},
      {"Mexico", 7, 4, Mexico},            {"Netherlands", 3, 2, Netherlands}, {"New Zealand", 120, 60, NewZealand},
      {"Norway", 22, 16, Norway},          {"Russia", 3, 2, Russia},         {"Spain", 3, 2, Spain},
      {"Sweden", 16, 10, Sweden},          {"Switzerland", 32, 32, Switzerland}, {"United Kingdom", 60, 30, UnitedKingdom},
      {"United States", 1.9, 1, UnitedStates},
  }};
  return flags;
}

}  // namespace

std::string_view FlagName(int index) {
  if (index < 0 || index >= kFlagCount) throw std::out_of_range("no such flag");
  return Flags()[static_cast<std::size_t>(index)].name;
}

Image DrawFlag(int index, int pixelWidth) {
  if (index < 0 || index >= kFlagCount) throw std::out_of_range("no such flag");
  const FlagDef& f = Flags()[static_cast<std::size_t>(index)];
  Canvas c(f.w, f.h, pixelWidth, 4);
  f.draw(c);
  return c.Resolve();
}

}  // namespace brisane::assets
