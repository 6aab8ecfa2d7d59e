// Sea, foam and sky meshes.
#include <algorithm>
#include <cmath>

#include "layout.h"
#include "world_parts.h"

namespace brisane::assets::ship::world {

namespace {

// The boundary ring halves down to this many points at least.
constexpr int kFewestRingPoints = 20;
constexpr float kRingGrowth = 1.2f;

// Grid lines of the inner patch: kCell apart near the hull, then growing
// cell by cell out to the patch's edge. The boundary gets a multiple of 32
// points so that the rings can halve it four times.
struct Lines {
  std::vector<float> xs, ys;
};

std::vector<float> GrowOut(float from, float edge, float step, float growth) {
  std::vector<float> out;
  float at = from;
  while (std::fabs(at) < std::fabs(edge)) {
    step *= growth;
    at += from < 0 ? -step : step;
    out.push_back(at);
  }
  return out;
}

Lines InnerLines() {
    Lines l;
    auto axis = [](float coreLo, float coreHi, float lo, float hi, float growth, int extra) {
      std::vector<float> v;
      const std::vector<float> before = GrowOut(coreLo, lo, kCell, growth);
      for (auto it = before.rbegin(); it != before.rend(); ++it) v.push_back(*it);
      for (float x = coreLo; x <= coreHi + 0.01f; x += kCell) v.push_back(x);
      for (float x : GrowOut(coreHi, hi * (1 + 0.04f * static_cast<float>(extra)), kCell, growth)) v.push_back(x);
      return v;
    };
    for (int extra = 0;; ++extra) {
      l.xs = axis(kCoreX0, kCoreX1, kInnerX0, kInnerX1, 1.15f, 0);
      l.ys = axis(kCoreY0, kCoreY1, kInnerY0, kInnerY1, 1.12f, extra);
      if ((l.xs.size() + l.ys.size() - 2) % 16 == 0) break;
    }
    return l;
}

// A triangle facing `front` (up for the sea, inwards for the sky), whatever
// order its corners come in.
void Facing(MeshBuilder& m, std::uint16_t a, std::uint16_t b, std::uint16_t c, Vector3 front) {
  const auto& v = m.vertices();
  const Vector3 n = Cross(v[b].p - v[a].p, v[c].p - v[a].p);
  if (Dot(n, front) >= 0) m.tri(a, b, c);
  else m.tri(a, c, b);
}

// Texture coordinates of the sea: the tile near the ship, stretched slowly
// further out so the far sea does not shimmer with tiny repeats. The tiles
// are turned off the ship's axes and bent by a slow warp of a quarter tile
// or so, so that seen from above their repeats do not line up in rows.
void SeaUv(Vector3 p, float& u, float& v) {
  constexpr float kTurn = 0.41f;  // radians
  constexpr float k2Pi = 2 * kPi;
  const float c = std::cos(kTurn), s = std::sin(kTurn);
  const float x = c * p.x - s * p.y + 34 * std::sin(k2Pi * p.y / 1130 + 0.7f) +
                  17 * std::sin(k2Pi * (p.x + p.y) / 710 + 2.1f);
  const float y = s * p.x + c * p.y + 34 * std::sin(k2Pi * p.x / 970 + 1.9f) +
                  17 * std::sin(k2Pi * (p.x - p.y) / 790 + 0.4f);
  const float r = std::sqrt(x * x + y * y);
  constexpr float kNear = 600, kStretch = 0.12f;
  if (r <= kNear) {
    u = x / kSeaTile;
    v = -y / kSeaTile;
    return;
  }
  const float g = kNear / kSeaTile + std::log(1 + kStretch * (r - kNear) / kSeaTile) / kStretch;
  u = x / r * g;
  v = -y / r * g;
}

std::uint16_t SeaVertex(MeshBuilder& m, Vector3 p) {
  float u, v;
  SeaUv(p, u, v);
  return m.add(p, {0, 0, 1}, u, v, 0.5f, 0.5f);
}

// Points of the inner patch's boundary, counter-clockwise from (x0, y0), as
// (i, j) grid indices.
std::vector<std::pair<int, int>> BoundaryCells(int kCellsX, int kCellsY) {
  std::vector<std::pair<int, int>> b;
  for (int i = 0; i < kCellsX; ++i) b.emplace_back(i, 0);
  for (int j = 0; j < kCellsY; ++j) b.emplace_back(kCellsX, j);
  for (int i = kCellsX; i > 0; --i) b.emplace_back(i, kCellsY);
  for (int j = kCellsY; j > 0; --j) b.emplace_back(0, j);
  return b;
}

// The hull's waterline as a closed polygon, counter-clockwise from above.
std::vector<Vector3> Waterline() {
  const float stem = layout::StemX(0), stern = layout::SternX(0);
  constexpr int kSteps = 96;
  std::vector<Vector3> side;
  for (int k = 0; k <= kSteps; ++k) {
    const float x = stem + (stern - stem) * static_cast<float>(k) / kSteps;
    side.push_back({x, layout::HalfBreadth(x, 0), 0});
  }
  // Starboard (+y) from stern to stem is counter-clockwise seen from +z.
  std::vector<Vector3> poly;
  for (auto it = side.rbegin(); it != side.rend(); ++it) poly.push_back(*it);
  for (std::size_t k = 1; k + 1 < side.size(); ++k) poly.push_back({side[k].x, -side[k].y, 0});
  return poly;
}

}  // namespace

float HullDistance(float x, float y) {
  static const std::vector<Vector3> poly = Waterline();
  float best = 1e30f;
  bool inside = false;
  for (std::size_t k = 0, n = poly.size(); k < n; ++k) {
    const Vector3 a = poly[k], b = poly[(k + 1) % n];
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    const float ex = a.x + dx * t - x, ey = a.y + dy * t - y;
    best = std::min(best, ex * ex + ey * ey);
    if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) / (b.y - a.y) * dx) inside = !inside;
  }
  const float d = std::sqrt(best);
  return inside ? -d : d;
}

float FoamDistance(float x, float y) {
  // Astern the wake: a widening lane of churned water behind the counter.
  const float stern = layout::SternX(0);
  const float lane = 36 * SmoothStep(stern - 30, stern + 40, x) + 0.12f * std::max(0.0f, x - stern);
  return std::min(HullDistance(x, y), std::fabs(y) - lane);
}

float FoamWidth(float x) {
  const float stem = layout::StemX(0);
  const float bow = 22 * (1 - SmoothStep(stem + 20, stem + 110, x));  // the bow wave
  const float wake = 60 * SmoothStep(120, kWakeEnd, x);                // spreading astern
  return 30 + bow + wake;
}

MeshBuilder SeaMesh() {
  const Lines lines = InnerLines();
  const int nx = static_cast<int>(lines.xs.size()) - 1, ny = static_cast<int>(lines.ys.size()) - 1;
  MeshBuilder m;
  // Inner patch.
  for (int j = 0; j <= ny; ++j)
    for (int i = 0; i <= nx; ++i) SeaVertex(m, {lines.xs[i], lines.ys[j], 0});
  auto at = [nx](int i, int j) { return static_cast<std::uint16_t>(j * (nx + 1) + i); };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) m.quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));

  // Rings along rays from the origin through the boundary points, blending
  // from the patch's rectangle to a circle at the horizon.
  const std::vector<std::pair<int, int>> cells = BoundaryCells(nx, ny);
  std::vector<Vector3> base;
  std::vector<std::uint16_t> ring;
  for (auto [i, j] : cells) {
    base.push_back({lines.xs[i], lines.ys[j], 0});
    ring.push_back(at(i, j));
  }
  float mean = 0;
  for (Vector3 p : base) mean += Length(p);
  mean /= static_cast<float>(base.size());
  const float span = kSeaRadius - mean;
  auto place = [&](Vector3 p0, float s) {
    const float r0 = Length(p0);
    const float w = SmoothStep(0, span, s);
    const float r = (1 - w) * (r0 + s) + w * (mean + s);
    return p0 * (r / r0);
  };

  // The first ring steps out about as far as the patch's outermost cells.
  float s = 0, step = std::max(lines.xs[1] - lines.xs[0], lines.ys[1] - lines.ys[0]);
  while (s < span) {
    s = std::min(span, s + step);
    step *= kRingGrowth;
    // Coarsen when the ring's cells would be much wider than deep.
    std::vector<Vector3> points;
    std::vector<std::size_t> keep;
    float tangential = 0;
    for (std::size_t k = 0; k < base.size(); ++k) {
      const Vector3 a = place(base[k], s), b = place(base[(k + 1) % base.size()], s);
      tangential += Length(b - a);
    }
    tangential /= static_cast<float>(base.size());
    const bool halve = tangential < 0.6f * step && base.size() % 2 == 0 &&
                       static_cast<int>(base.size() / 2) >= kFewestRingPoints;
    std::vector<Vector3> nextBase;
    std::vector<std::uint16_t> next;
    for (std::size_t k = 0; k < base.size(); k += halve ? 2 : 1) {
      nextBase.push_back(base[k]);
      next.push_back(SeaVertex(m, place(base[k], s)));
    }
    const Vector3 up{0, 0, 1};
    const std::size_t n = ring.size();
    if (!halve) {
      for (std::size_t k = 0; k < n; ++k) {
        const std::size_t k1 = (k + 1) % n;
        Facing(m, ring[k], ring[k1], next[k1], up);
        Facing(m, ring[k], next[k1], next[k], up);
      }
    } else {
      const std::size_t half = next.size();
      for (std::size_t c = 0; c < half; ++c) {
        const std::size_t c1 = (c + 1) % half;
        const std::uint16_t f0 = ring[2 * c], f1 = ring[2 * c + 1], f2 = ring[(2 * c + 2) % n];
        Facing(m, f0, f1, next[c], up);
        Facing(m, f1, f2, next[c1], up);
        Facing(m, f1, next[c1], next[c], up);
      }
    }
    base = std::move(nextBase);
    ring = std::move(next);
  }
  return m;
}

MeshBuilder FoamMesh() {
  const float stem = layout::StemX(0);
  const float first = stem - 40, last = kWakeEnd;
  const Lines lines = InnerLines();
  const int nx = static_cast<int>(lines.xs.size()) - 1, ny = static_cast<int>(lines.ys.size()) - 1;
  MeshBuilder m;
  // Grid points of the sea's patch, made once each when a foam cell uses them.
  std::vector<int> index(static_cast<std::size_t>((nx + 1) * (ny + 1)), -1);
  auto vertex = [&](int i, int j) {
    int& slot = index[static_cast<std::size_t>(j * (nx + 1) + i)];
    if (slot < 0) {
      const float x = lines.xs[i], y = lines.ys[j];
      const float across = std::clamp(FoamDistance(x, y) / FoamWidth(x), 0.0f, 1.0f);
      const float along = std::clamp((x - first) / (last - first), 0.0f, 1.0f);
      // v runs towards the bow, so the show's growing v offset carries the
      // foam pattern aft.
      slot = m.add({x, y, 0}, {0, 0, 1}, std::fabs(y) / 90.0f, -x / 120.0f, 0.02f + 0.96f * across,
                   TextureV(0.02f + 0.96f * along));
    }
    return static_cast<std::uint16_t>(slot);
  };
  for (int j = 0; j < ny; ++j)
    for (int i = 0; i < nx; ++i) {
      const float cx = (lines.xs[i] + lines.xs[i + 1]) / 2, cy = (lines.ys[j] + lines.ys[j + 1]) / 2;
      if (cx < first || cx > last + kCell) continue;
      const float d = FoamDistance(cx, cy);
      // Cells just inside the hull too: the waves move the waterline.
      const float size = std::max(lines.xs[i + 1] - lines.xs[i], lines.ys[j + 1] - lines.ys[j]);
      if (d < -1.5f * size || d > FoamWidth(cx) + size) continue;
      m.quad(vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1));
    }
  return m;
}

MeshBuilder HazeMesh() {
  constexpr int kSlices = 128, kRings = 12;
  MeshBuilder m;
  for (int k = 0; k <= kRings; ++k) {
    const float v = static_cast<float>(k) / kRings;
    // Rings closer together outwards, where the opacity changes fastest on screen.
    const float r = kHazeInner + (kSeaRadius - kHazeInner) * std::sqrt(v);
    for (int i = 0; i <= kSlices; ++i) {
      const float az = static_cast<float>(i) / kSlices * 2 * kPi;
      const float across = (r - kHazeInner) / (kSeaRadius - kHazeInner);
      m.add({r * std::cos(az), r * std::sin(az), kHazeHeight}, {0, 0, 1}, static_cast<float>(i) / kSlices,
            TextureV((0.5f + across * (kHazeRows - 1)) / kHazeRows));
    }
  }
  auto at = [](int i, int k) { return static_cast<std::uint16_t>(k * (kSlices + 1) + i); };
  for (int k = 0; k < kRings; ++k)
    for (int i = 0; i < kSlices; ++i) {
      Facing(m, at(i, k), at(i + 1, k), at(i + 1, k + 1), {0, 0, 1});
      Facing(m, at(i, k), at(i + 1, k + 1), at(i, k + 1), {0, 0, 1});
    }
  return m;
}

float SkyV(float elevation) {
  const float t = std::clamp((elevation - kSkyLowest) / (kPi / 2 - kSkyLowest), 0.0f, 1.0f);
  // More of the picture near the horizon, where the cameras look.
  return 1 - std::pow(t, 0.75f);
}

float SkyElevation(float v) {
  const float t = std::pow(std::clamp(1 - v, 0.0f, 1.0f), 1 / 0.75f);
  return kSkyLowest + t * (kPi / 2 - kSkyLowest);
}

MeshBuilder SkyMesh() {
  constexpr int kSlices = 48, kStacks = 20;
  MeshBuilder m;
  for (int k = 0; k <= kStacks; ++k) {
    const float v = 1 - static_cast<float>(k) / kStacks;
    const float el = SkyElevation(v);
    for (int i = 0; i <= kSlices; ++i) {
      const float u = static_cast<float>(i) / kSlices;
      const float az = u * 2 * kPi;
      const Vector3 d{std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
      m.add(d * layout::kSkyRadius, -d, u, TextureV(v));
    }
  }
  auto at = [](int i, int k) { return static_cast<std::uint16_t>(k * (kSlices + 1) + i); };
  for (int k = 0; k < kStacks; ++k)
    for (int i = 0; i < kSlices; ++i) {
      const Vector3 inwards = -Normalize(m.vertices()[at(i, k)].p + m.vertices()[at(i + 1, k + 1)].p);
      if (k + 1 < kStacks) {
        Facing(m, at(i, k), at(i + 1, k), at(i + 1, k + 1), inwards);
        Facing(m, at(i, k), at(i + 1, k + 1), at(i, k + 1), inwards);
      } else {
        // The top row meets at the zenith: one triangle a slice.
        Facing(m, at(i, k), at(i + 1, k), at(i, k + 1), inwards);
      }
    }
  return m;
}

}  // namespace brisane::assets::ship::world
