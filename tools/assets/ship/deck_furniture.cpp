// Deck furniture: casks, bitts and stanchions, hatches and gratings, the
// capstan, wheel and binnacle, companions and skylights, ladders, chests,
// coils, and the fittings along the bulwarks.
#include <cmath>

#include "deck_parts.h"
#include "deck_shapes.h"

namespace brisane::assets::ship::deck {

namespace {

using layout::DeckZ;
using layout::HalfBreadth;
using layout::RailZ;

// An object standing on the deck at (x, y), turned by yaw about z; its parts
// are authored with the deck at z = 0.
void Place(SceneAuthor& scene, const std::string& name, float x, float y, float yaw, const Parts& parts) {
  scene.object(name, layout::kShip, RotateZ(yaw) * Translate({x, y, DeckZ(x)}), parts.build());
}
// An object authored in the ship frame itself.
void InShip(SceneAuthor& scene, const std::string& name, const Parts& parts) {
  scene.object(name, layout::kShip, Matrix::Identity(), parts.build());
}

// Inner face of the bulwark (an estimate inside the hull's skin).
float InnerSide(float x, float z) { return HalfBreadth(x, z) - 2.2f; }

Parts Cask(float radius, float height, bool lying) {
  Parts p;
  const float r = radius, hh = height;
  const Profile profile = {{0, 0}, {0, r * 0.82f}, {0, r * 0.82f}, {hh * 0.25f, r * 0.96f}, {hh * 0.5f, r},
                           {hh * 0.75f, r * 0.96f}, {hh, r * 0.82f}, {hh, r * 0.82f}, {hh, 0}};
  const Vector3 axis = lying ? Vector3{1, 0, 0} : Vector3{0, 0, 1};
  const Vector3 origin = lying ? Vector3{-hh / 2, 0, r} : Vector3{0, 0, 0};
  Lathe(p[kOak], origin, axis, profile, 10, 0.15f);
  for (float f : {0.1f, 0.3f, 0.7f, 0.9f}) {
    const float rr = r * (f < 0.2f || f > 0.8f ? 0.87f : 0.985f);
    Ring(p[kIron], origin + axis * (hh * f), axis, rr, 0.18f, 10, 3);
  }
  return p;
}

// A coil of rope lying on the deck: rings of rope one on another.
Parts Coil(float radius) {
  Parts p;
  const float t = 0.45f;
  Ring(p[kRope], {0, 0, t}, {0, 0, 1}, radius, t, 12, 4);
  Ring(p[kRope], {0, 0, 2.6f * t}, {0, 0, 1}, radius * 0.8f, t, 10, 4);
  Ring(p[kRope], {0, 0, 1.2f * t}, {0, 0, 1}, radius * 0.6f, t, 8, 4);
  return p;
}

// Hatch coaming with a grating, x0..x1 by y0..y1 around the origin.
void Grating(Parts& p, float x0, float x1, float y0, float y1, float height) {
  const float c = 1.0f;
  p[kPine].box({x0, y0, 0}, {x1, y0 + c, height}, 0.1f);
  p[kPine].box({x0, y1 - c, 0}, {x1, y1, height}, 0.1f);
  p[kPine].box({x0, y0 + c, 0}, {x0 + c, y1 - c, height}, 0.1f);
  p[kPine].box({x1 - c, y0 + c, 0}, {x1, y1 - c, height}, 0.1f);
  const float z = height - 0.5f;
  for (float y = y0 + c + 1.3f; y < y1 - c - 0.3f; y += 1.6f)
    p[kOak].box({x0 + c, y - 0.3f, z - 0.3f}, {x1 - c, y + 0.3f, z + 0.3f}, 0.15f);
  for (float x = x0 + c + 1.3f; x < x1 - c - 0.3f; x += 1.6f)
    p[kOak].box({x - 0.3f, y0 + c, z - 0.1f}, {x + 0.3f, y1 - c, z + 0.45f}, 0.15f);
}

// A hood over a companion ladder: walls and a roof falling forward (-x).
Parts Hood(float length, float width, float back, float front) {
  Parts p;
  p[kOak].box({-length / 2, -width / 2, 0}, {length / 2, width / 2, front}, 0.1f);
  MeshBuilder& m = p[kPine];
  const float l = length / 2 + 0.3f, w = width / 2 + 0.3f;
  const Vector3 a{-l, -w, front}, b{l, -w, back}, c{l, w, back}, d{-l, w, front};
  const Vector3 n = Normalize(Cross(b - a, c - b));
  m.quad(m.add(a, n, 0, 0), m.add(b, n, 1, 0), m.add(c, n, 1, 1), m.add(d, n, 0, 1));
  // The gable walls up to the roof, the back wall, and a door on the front.
  for (float s : {-1.0f, 1.0f}) {
    const float y = s * width / 2;
    const Vector3 ns{0, s, 0};
    const auto p0 = m.add({-length / 2, y, front}, ns, 0, 0), p1 = m.add({length / 2, y, front}, ns, 1, 0),
               p2 = m.add({length / 2, y, back}, ns, 1, 0.3f);
    if (s > 0) m.tri(p0, p2, p1);
    else m.tri(p0, p1, p2);
  }
  p[kOak].box({length / 2, -width / 2, front}, {length / 2 + 0.01f, width / 2, back}, 0.1f);
  p[kIron].box({-length / 2 - 0.1f, -width / 2 + 0.8f, 0.2f}, {-length / 2, width / 2 - 0.8f, front - 0.4f}, 0.2f);
  return p;
}

// A skylight: a low case with a glazed ridge roof.
Parts Skylight(float length, float width) {
  Parts p;
  const float h = 2.2f, ridge = 4.0f;
  p[kOak].box({-length / 2, -width / 2, 0}, {length / 2, width / 2, h}, 0.1f);
  MeshBuilder& glass = p[kIron];
  for (float s : {-1.0f, 1.0f}) {
    const Vector3 a{-length / 2, s * width / 2, h}, b{length / 2, s * width / 2, h}, c{length / 2, 0, ridge},
        d{-length / 2, 0, ridge};
    const Vector3 n = Normalize(Vector3{0, s * (ridge - h), width / 2});
    const auto i0 = glass.add(a, n, 0, 0), i1 = glass.add(b, n, 1, 0), i2 = glass.add(c, n, 1, 1),
               i3 = glass.add(d, n, 0, 1);
    if (s > 0) glass.quad(i1, i0, i3, i2);
    else glass.quad(i0, i1, i2, i3);
    for (float x = -length / 2 + 1.5f; x < length / 2 - 1; x += 2.2f)
      Beam(p[kBrass], {x, s * width / 2, h + 0.1f}, {x, 0, ridge + 0.1f}, 0.25f, 0.25f);
  }
  const Vector3 ridgeA{-length / 2 - 0.2f, 0, ridge + 0.1f}, ridgeB{length / 2 + 0.2f, 0, ridge + 0.1f};
  Beam(p[kOak], ridgeA, ridgeB, 0.6f, 0.5f);
  for (float s : {-1.0f, 1.0f}) {  // gable ends
    MeshBuilder& m = p[kOak];
    const float x = s * length / 2;
    const Vector3 n{s, 0, 0};
    const auto a = m.add({x, -width / 2, h}, n, 0, 0), b = m.add({x, width / 2, h}, n, 1, 0),
               c = m.add({x, 0, ridge}, n, 0.5f, 0.4f);
    if (s > 0) m.tri(a, b, c);
    else m.tri(a, c, b);
  }
  return p;
}

Parts Chest(float length, float width, float height) {
  Parts p;
  p[kRedPaint].box({-length / 2, -width / 2, 0}, {length / 2, width / 2, height}, 0.12f);
  p[kOak].box({-length / 2 - 0.15f, -width / 2 - 0.15f, height}, {length / 2 + 0.15f, width / 2 + 0.15f, height + 0.5f},
              0.12f);
  for (float f : {-0.3f, 0.3f})
    p[kIron].box({f * length - 0.3f, -width / 2 - 0.08f, 0}, {f * length + 0.3f, width / 2 + 0.08f, height + 0.56f},
                 0.3f);
  return p;
}

// A ladder from (0, 0, 0) up to (run, 0, rise) (x forward or aft by sign), width across.
Parts Ladder(float run, float rise, float width) {
  Parts p;
  for (float s : {-1.0f, 1.0f})
    Beam(p[kPine], {0, s * width / 2, 0.3f}, {run, s * width / 2, rise + 0.3f}, 0.5f, 1.4f);
  const int steps = static_cast<int>(rise / 2.2f);
  for (int i = 1; i <= steps; ++i) {
    const float f = static_cast<float>(i) / (steps + 1);
    const Vector3 c{run * f, 0, rise * f};
    p[kOak].box(c + Vector3{-0.6f, -width / 2 + 0.25f, -0.15f}, c + Vector3{0.6f, width / 2 - 0.25f, 0.15f}, 0.15f);
  }
  return p;
}

Parts Tub(float radius, float height) {
  Parts p;
  const Profile profile = {{0, 0}, {0, radius * 0.85f}, {0, radius * 0.85f}, {height, radius}, {height, radius},
                           {height, radius * 0.9f}, {height, radius * 0.9f}, {0.4f, radius * 0.8f}, {0.4f, 0}};
  Lathe(p[kOak], {0, 0, 0}, {0, 0, 1}, profile, 12, 0.2f);
  Ring(p[kIron], {0, 0, height * 0.25f}, {0, 0, 1}, radius * 0.9f, 0.15f, 12, 3);
  Ring(p[kIron], {0, 0, height * 0.8f}, {0, 0, 1}, radius * 0.98f, 0.15f, 12, 3);
  return p;
}

Parts Capstan() {
  Parts p;
  const Profile profile = {{0, 0},      {0, 4.4f},    {0, 4.4f},    {1.0f, 4.4f}, {1.0f, 4.4f}, {1.0f, 3.0f},
                           {1.0f, 3.0f}, {5.8f, 2.5f}, {5.8f, 2.5f}, {5.8f, 4.6f}, {5.8f, 4.6f}, {7.6f, 4.6f},
                           {7.6f, 4.6f}, {7.6f, 0.5f}, {7.6f, 0.5f}, {8.0f, 0}};
  Lathe(p[kOak], {0, 0, 0}, {0, 0, 1}, profile, 12, 0.1f);
  for (int k = 0; k < 8; ++k) {  // whelps round the barrel
    const float a = 2 * kPi * k / 8;
    const Vector3 dir{std::cos(a), std::sin(a), 0};
    Beam(p[kOak], dir * 2.6f + Vector3{0, 0, 1.0f}, dir * 2.6f + Vector3{0, 0, 5.8f}, 0.7f, 1.1f);
  }
  Ring(p[kIron], {0, 0, 1.2f}, {0, 0, 1}, 4.35f, 0.2f, 16, 3);
  for (int k = 0; k < 10; ++k) {  // bar holes in the drumhead
    const float a = 2 * kPi * (k + 0.5f) / 10;
    const Vector3 dir{std::cos(a), std::sin(a), 0};
    p[kIron].box(dir * 4.62f + Vector3{-0.3f, -0.3f, 6.4f}, dir * 4.62f + Vector3{0.3f, 0.3f, 7.0f}, 0.5f);
  }
  return p;
}

Parts Wheel(float axleZ) {
  Parts p;
  const Vector3 c{0, 0, axleZ};
  const Vector3 axis{1, 0, 0};
  Ring(p[kOak], c, axis, 5.0f, 0.38f, 16, 5);
  Ring(p[kBrass], c + Vector3{0.35f, 0, 0}, axis, 1.6f, 0.2f, 12, 3);
  for (int k = 0; k < 8; ++k) {
    const float a = 2 * kPi * k / 8;
    const Vector3 dir{0, std::cos(a), std::sin(a)};
    p[kOak].cylinder(c + dir * 0.9f, c + dir * 6.6f, 0.3f, 0.2f, 5, false, 0.1f);
    p[kOak].cylinder(c + dir * 6.0f, c + dir * 7.0f, 0.28f, 0.22f, 5, true, 0.1f);
  }
  p[kBrass].cylinder(c + Vector3{-0.8f, 0, 0}, c + Vector3{0.8f, 0, 0}, 1.0f, 1.0f, 10, true);
  return p;
}

Parts WheelStand(float axleZ) {
  Parts p;
  for (float x : {0.9f, 5.9f}) {
    Beam(p[kOak], {x, -1.6f, 0}, {x, -0.5f, axleZ + 0.8f}, 0.9f, 1.0f);
    Beam(p[kOak], {x, 1.6f, 0}, {x, 0.5f, axleZ + 0.8f}, 0.9f, 1.0f);
  }
  p[kOak].cylinder({0.4f, 0, axleZ}, {6.4f, 0, axleZ}, 1.4f, 1.4f, 10, true, 0.1f);
  Ring(p[kRope], {2.4f, 0, axleZ}, {1, 0, 0}, 1.5f, 0.22f, 10, 4);
  Ring(p[kRope], {4.2f, 0, axleZ}, {1, 0, 0}, 1.5f, 0.22f, 10, 4);
  return p;
}

Parts Binnacle() {
  Parts p;
  p[kOak].box({-1.6f, -2.2f, 0}, {1.6f, 2.2f, 4.2f}, 0.12f);
  p[kOak].box({-1.8f, -2.4f, 4.2f}, {1.8f, 2.4f, 4.6f}, 0.12f);
  const Profile dome = {{0, 1.5f}, {0.6f, 1.5f}, {1.2f, 1.3f}, {1.7f, 0.8f}, {2.0f, 0}};
  Lathe(p[kBrass], {0, 0, 4.6f}, {0, 0, 1}, dome, 12, 0.3f);
  return p;
}

Parts Belfry() {
  Parts p;
  for (float y : {-2.2f, 2.2f}) Beam(p[kOak], {0, y, 0}, {0, y, 7.5f}, 0.8f, 0.8f);
  p[kOak].box({-0.6f, -2.8f, 7.5f}, {0.6f, 2.8f, 8.3f}, 0.12f);
  MeshBuilder& roof = p[kRedPaint];
  for (float s : {-1.0f, 1.0f}) {
    const Vector3 a{s * 1.8f, -3.2f, 8.3f}, b{s * 1.8f, 3.2f, 8.3f}, c{0, 3.2f, 9.6f}, d{0, -3.2f, 9.6f};
    const Vector3 n = Normalize(Vector3{s * 1.3f, 0, 1.8f});
    const auto i0 = roof.add(a, n, 0, 0), i1 = roof.add(b, n, 1, 0), i2 = roof.add(c, n, 1, 1), i3 = roof.add(d, n, 0, 1);
    if (s > 0) roof.quad(i0, i1, i2, i3);
    else roof.quad(i1, i0, i3, i2);
  }
  const Profile bell = {{0, 1.5f}, {0, 1.5f}, {0, 1.3f}, {0.4f, 1.1f}, {1.6f, 0.9f}, {2.2f, 0.6f}, {2.4f, 0}};
  Lathe(p[kBrass], {0, 0, 4.6f}, {0, 0, 1}, bell, 12, 0.3f);
  p[kIron].cylinder({0, 0, 7.0f}, {0, 0, 7.5f}, 0.25f, 0.25f, 6, false);
  return p;
}

Parts Chimney() {
  Parts p;
  p[kIron].box({-1.4f, -1.4f, 0}, {1.4f, 1.4f, 1.8f}, 0.2f);
  p[kIron].cylinder({0, 0, 1.8f}, {0, 0, 8.0f}, 0.9f, 0.9f, 10, false);
  Beam(p[kIron], {0, 0, 8.0f}, {-2.0f, 0, 9.6f}, 2.0f, 1.9f);
  return p;
}

Parts Pump() {
  Parts p;
  p[kOak].cylinder({0, 0, 0}, {0, 0, 5.2f}, 1.0f, 0.9f, 10, true, 0.1f);
  p[kIron].cylinder({0, 0, 3.6f}, {0, 1.8f, 3.4f}, 0.3f, 0.3f, 6, true);
  Beam(p[kIron], {-0.3f, 0, 5.2f}, {-0.3f, 0, 6.2f}, 0.3f, 0.3f);
  Beam(p[kPine], {-4.5f, 0, 6.6f}, {3.0f, 0, 5.6f}, 0.4f, 0.4f);
  return p;
}

Parts HenCoop(float length) {
  Parts p;
  p[kOak].box({-length / 2, -2.5f, 0}, {length / 2, 2.5f, 0.6f}, 0.12f);
  p[kOak].box({-length / 2 - 0.2f, -2.7f, 3.6f}, {length / 2 + 0.2f, 2.7f, 4.2f}, 0.12f);
  for (float x = -length / 2 + 0.3f; x < length / 2; x += 1.2f)
    p[kPine].box({x, -2.45f, 0.6f}, {x + 0.4f, -2.2f, 3.6f}, 0.2f);
  p[kPine].box({-length / 2, -2.2f, 0.6f}, {length / 2, 2.5f, 3.6f}, 0.12f);
  return p;
}

Parts BucketRack() {
  Parts p;
  p[kOak].box({-5, -0.5f, 0}, {5, 0.5f, 5.5f}, 0.12f);
  for (int k = 0; k < 4; ++k) {
    const float x = -3.75f + 2.5f * k;
    const Profile bucket = {{0, 0}, {0, 0.8f}, {0, 0.8f}, {2.0f, 1.0f}, {2.0f, 1.0f}, {2.0f, 0.9f}, {2.0f, 0.9f},
                            {0.3f, 0}};
    Lathe(p[kRedPaint], {x, -1.4f, 2.8f}, {0, 0, 1}, bucket, 8, 0.3f);
  }
  return p;
}

Parts SparsLying(float length, float radius) {
  Parts p;
  p[kPine].cylinder({0, 0, radius}, {length, 0, radius}, radius, radius * 0.8f, 8, true, 0.03f);
  return p;
}

Parts CapstanBars() {
  Parts p;
  for (float y : {-1.5f, 1.5f}) p[kOak].box({0.5f, y - 0.5f, 0}, {1.5f, y + 0.5f, 0.8f}, 0.2f);
  for (float y : {-1.5f, 1.5f}) p[kOak].box({9.5f, y - 0.5f, 0}, {10.5f, y + 0.5f, 0.8f}, 0.2f);
  for (int k = 0; k < 5; ++k) {
    const float y = -2.0f + k;
    p[kPine].box({-1, y - 0.35f, 0.8f}, {12, y + 0.35f, 1.5f}, 0.1f);
  }
  return p;
}

Parts Windlass() {
  Parts p;
  for (float y : {-8.8f, 8.8f}) p[kOak].box({-1.2f, y - 0.8f, 0}, {1.2f, y + 0.8f, 5.0f}, 0.12f);
  p[kOak].cylinder({0, -8.0f, 3.0f}, {0, 8.0f, 3.0f}, 1.8f, 1.8f, 8, true, 0.08f);
  Ring(p[kIron], {0, 0, 3.0f}, {0, 1, 0}, 1.85f, 0.2f, 8, 3);
  return p;
}

Parts Bench(float length) {
  Parts p;
  p[kOak].box({-1, -length / 2, 2.6f}, {1, length / 2, 3.1f}, 0.12f);
  for (float y : {-length / 2 + 0.8f, length / 2 - 1.3f}) p[kOak].box({-0.8f, y, 0}, {0.8f, y + 0.5f, 2.6f}, 0.2f);
  return p;
}

// ---- bulwark fittings --------------------------------------------------

// Hammocks stowed in canvas along the top of the side between x0 and x1.
Parts HammockNetting(float x0, float x1, float side) {
  Parts p;
  auto at = [&](float s, float t) {
    const float x = x0 + (x1 - x0) * s;
    const float rail = RailZ(x);
    const float yc = side * (HalfBreadth(x, rail) - 1.3f);
    // Ends rounded off, not pinched: each length is a bundle of its own.
    const float e = std::min(1.0f, 12 * std::min(s, 1 - s));
    const float end = 0.55f + 0.45f * std::sqrt(e);
    const float a = 2 * kPi * t;
    const float c = std::cos(a), sn = std::sin(a);
    const float sy = (c < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(c), 0.6f);
    const float sz = (sn < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(sn), 0.6f);
    return Vector3{x, yc + 1.7f * sy * end, rail + 2.2f + 2.5f * sz * end};
  };
  const float xm = (x0 + x1) / 2;
  const Vector3 inside{xm, side * (HalfBreadth(xm, RailZ(xm)) - 1.3f), RailZ(xm) + 2.2f};
  const int cols = std::max(4, static_cast<int>((x1 - x0) / 5));
  SurfaceAway(p[kCanvas], at, cols, 8, inside, (x1 - x0) / 14, 1);
  return p;
}

// A fife rail round a mast's foot: posts, a rail on three sides, pins.
Parts FifeRail(const layout::Mast& mast) {
  Parts p;
  const float z = mast.footZ + 4.4f;
  const float x0 = mast.footX - 5, x1 = mast.footX + 4, w = 5.5f;
  for (float y : {-w, w})
    for (float x : {x0, x1}) Beam(p[kOak], {x, y, mast.footZ}, {x, y, z + 0.6f}, 0.8f, 0.8f);
  Beam(p[kOak], {x0 - 0.5f, -w, z}, {x0 - 0.5f, w, z}, 1.0f, 0.6f);
  for (float y : {-w, w}) Beam(p[kOak], {x0 - 0.5f, y, z}, {x1 + 0.5f, y, z}, 1.0f, 0.6f);
  for (int k = 0; k < 5; ++k) {
    const float y = -3.6f + 1.8f * k;
    p[kOak].cylinder({x0 - 0.5f, y, z - 1.0f}, {x0 - 0.5f, y, z + 1.2f}, 0.18f, 0.22f, 5, true, 0.1f);
  }
  return p;
}

// A pin rail inside the bulwark at x0..x1: a plank and its belaying pins.
Parts PinRail(float x0, float x1, float side) {
  Parts p;
  const float xm = (x0 + x1) / 2;
  const float z = std::min(RailZ(xm) - 3.0f, DeckZ(xm) + 10.0f);
  const float y = side * (InnerSide(xm, z) - 0.7f);
  Beam(p[kOak], {x0, y, z}, {x1, y, z}, 1.4f, 0.5f);
  for (float x = x0 + 1.2f; x < x1 - 0.8f; x += 2.0f)
    p[kOak].cylinder({x, y - side * 0.1f, z - 1.1f}, {x, y - side * 0.1f, z + 1.1f}, 0.17f, 0.22f, 5, true, 0.1f);
  return p;
}

// Round shot in a rack on the deck along the side.
Parts ShotRack(float x, float side) {
  Parts p;
  const float deck = DeckZ(x);
  const float y = side * (InnerSide(x, deck + 1) - 1.2f);
  Beam(p[kOak], {x - 4.5f, y, deck + 0.4f}, {x + 4.5f, y, deck + 0.4f}, 1.6f, 0.8f);
  for (int k = 0; k < 4; ++k) {
    MeshBuilder ball;
    ball.sphere({x - 3.0f + 2.0f * k, y, deck + 1.4f}, 0.82f, 7, 4);
    p[kIron].append(ball);
  }
  return p;
}

}  // namespace

void AuthorFurniture(SceneAuthor& scene) {
  // Casks: two by the main pumps, one at the forecastle's break, one on the
  // quarterdeck, and the scuttlebutt.
  Place(scene, "bochka01", 47, -20, 0, Cask(2.6f, 6.5f, false));
  Place(scene, "bochka02", 47, 20, 0, Cask(2.6f, 6.5f, false));
  Place(scene, "bochka03", -157, -13, 0.3f, Cask(2.3f, 5.5f, true));
  Place(scene, "bochka04", 88, 24, 0, Cask(2.2f, 5.2f, false));
  Place(scene, "bochka05", -5, 16, 0, Cask(2.8f, 7.0f, false));

  // Stanchions under the skid beams, then the main and fore bitts.
  const float skidZ = kSkidTopZ, skidDepth = kSkidDepth;
  int n = 1;
  for (float x : kSkidX)
    for (float y : {-16.0f, 16.0f}) {
      Parts post;
      Beam(post[kPine], {x, y, layout::kWaistDeckZ}, {x, y, skidZ - skidDepth}, 1.4f, 1.4f);
      InShip(scene, "podpor0" + std::to_string(n++), post);
    }
  for (const auto& [x, label] : {std::pair<float, int>{24, 5}, std::pair<float, int>{-180, 7}}) {
    const float deck = DeckZ(x);
    for (int s = 0; s < 2; ++s) {
      Parts bitt;
      const float y = s == 0 ? -5.0f : 5.0f;
      bitt[kOak].box({x - 0.9f, y - 0.9f, deck}, {x + 0.9f, y + 0.9f, deck + 7.0f}, 0.12f);
      if (s == 0) bitt[kOak].box({x + 0.9f, -6.0f, deck + 4.4f}, {x + 2.0f, 6.0f, deck + 5.6f}, 0.12f);
      InShip(scene, "podpor0" + std::to_string(label + s), bitt);
    }
  }

  // Boxes: the named deck furniture.
  Place(scene, "Box01", 100, 0, 0, Capstan());
  Place(scene, "Box02", 168.3f, 0, 0, Wheel(7.2f));
  Place(scene, "Box03", 168.3f, 0, 0, WheelStand(7.2f));
  Place(scene, "Box04", 160.5f, 0, 0, Binnacle());
  {
    Parts main, fore, after;
    Grating(main, -9, 9, -9, 9, 2.4f);
    Grating(fore, -6, 6, -7, 7, 2.4f);
    Grating(after, -5, 5, -5, 5, 2.2f);
    Place(scene, "Box05", -21, 0, 0, main);
    Place(scene, "Box06", -144, 0, 0, fore);
    Place(scene, "Box07", 55, 0, 0, after);
  }
  Place(scene, "Box08", 118, -18, 0, Hood(6, 5.5f, 5.2f, 3.8f));
  Place(scene, "Box09", 118, 18, 0, Hood(6, 5.5f, 5.2f, 3.8f));
  Place(scene, "Box10", 133, 0, 0, Skylight(9, 6));
  Place(scene, "Box11", 192, 0, 0, Skylight(7, 5));
  Place(scene, "Box12", -173, 0, 0, Belfry());
  Place(scene, "Box13", -204, 9, 0, Chimney());
  for (const auto& [name, x] : {std::pair<const char*, float>{"Box14", kSkidX[0]}, std::pair<const char*, float>{"Box15", kSkidX[1]}}) {
    Parts skid;
    const float half = HalfBreadth(x, skidZ) - 2.5f;
    Beam(skid[kPine], {x, -half, skidZ - skidDepth / 2}, {x, half, skidZ - skidDepth / 2}, 2.4f, skidDepth, 0.05f);
    InShip(scene, name, skid);
  }
  Place(scene, "Box16", 212, -11, 0, Chest(5, 3, 2.6f));
  Place(scene, "Box17", 212, 11, 0, Chest(5, 3, 2.6f));
  Place(scene, "Box18", 80, -34, 0, Chest(6, 3.4f, 2.8f));
  Place(scene, "Box19", 30, -13, 0, Coil(2.6f));
  Place(scene, "Box20", 30, 13, 0, Coil(2.6f));
  Place(scene, "Box21", -197, -12, 0, Coil(2.4f));
  Place(scene, "Box22", -197, 12, 0, Coil(2.4f));
  Place(scene, "Box23", 146, -11, 0, Coil(2.2f));
  Place(scene, "Box24", 146, 11, 0, Coil(2.2f));
  Place(scene, "Box25", -176, -14, 0, Hood(4, 4, 4.0f, 3.0f));
  Place(scene, "Box26", 42, -7, 0, Pump());
  Place(scene, "Box27", 42, 7, kPi, Pump());
  Place(scene, "Box28", 108, -46, 0, HenCoop(12));
  Place(scene, "Box29", 108, 46, kPi, HenCoop(12));
  Place(scene, "Box30", 125, 40, 0, BucketRack());
  Place(scene, "Box31", 57, -30, 0, Ladder(8, layout::kQuarterdeckZ - layout::kWaistDeckZ, 3.2f));
  Place(scene, "Box38", 57, 30, 0, Ladder(8, layout::kQuarterdeckZ - layout::kWaistDeckZ, 3.2f));
  Place(scene, "Box39", -161, -28, 0, Ladder(-8, layout::kForecastleDeckZ - layout::kWaistDeckZ, 3.2f));
  Place(scene, "Box40", -161, 28, 0, Ladder(-8, layout::kForecastleDeckZ - layout::kWaistDeckZ, 3.2f));
  Place(scene, "Box41", 165, -22, 0, Ladder(9, layout::kPoopDeckZ - layout::kQuarterdeckZ, 3.0f));
  Place(scene, "Box42", 165, 22, 0, Ladder(9, layout::kPoopDeckZ - layout::kQuarterdeckZ, 3.0f));
  Place(scene, "Box43", -225, 0, 0, Windlass());
  Place(scene, "Box184", 88, 34, 0, Chest(6, 3, 2.6f));
  Place(scene, "Box185", 201, 0, kPi / 2, Chest(4, 2.6f, 2.2f));
  Place(scene, "Box186", -240, 4, 0, Coil(2.0f));
  // Spare spars lying on the skid beams beside the boat.
  for (const auto& [name, y] : {std::pair<const char*, float>{"Box187", -17}, std::pair<const char*, float>{"Box188", 17}})
    scene.object(name, layout::kShip, Translate({-126, y, skidZ}), SparsLying(82, 0.95f).build());
  Place(scene, "Box189", 228, 0, 0, Bench(8));
  Place(scene, "Box190", -65, -24, 0, Tub(1.8f, 2.4f));
  {
    Parts galley;
    Grating(galley, -4, 4, -4, 4, 1.8f);
    Place(scene, "Box191", -212, -2, 0, galley);
  }
  Place(scene, "Box192", 94, -44, 0, CapstanBars());
  Place(scene, "Box193", -240, -5, 0.2f, Cask(1.3f, 3.0f, true));
  Place(scene, "Box194", 140, -30, 0, Tub(1.6f, 2.2f));
  Place(scene, "Box195", -65, 24, 0, Tub(1.8f, 2.4f));

  {
    Parts grating;
    Grating(grating, -6, 6, -5, 5, 1.6f);
    Place(scene, "reshotka01", 78, 0, 0, grating);
  }

  // Fittings along the bulwarks, "boardbox01".."boardbox36" without 07.
  std::vector<Parts> fittings;
  const float waist[6] = {-165, -120, -75, -30, 15, 60};
  for (float side : {-1.0f, 1.0f}) {
    for (int k = 0; k < 5; ++k) fittings.push_back(HammockNetting(waist[k] + 0.5f, waist[k + 1] - 0.5f, side));
    fittings.push_back(HammockNetting(70, 119.5f, side));
    fittings.push_back(HammockNetting(120.5f, 170, side));
    fittings.push_back(HammockNetting(-245, -178, side));
    fittings.push_back(HammockNetting(180, 232, side));
  }
  for (const layout::Mast* mast : {&layout::kFore, &layout::kMain, &layout::kMizzen})
    fittings.push_back(FifeRail(*mast));
  for (const layout::Mast* mast : {&layout::kFore, &layout::kMain, &layout::kMizzen})
    for (float side : {-1.0f, 1.0f}) fittings.push_back(PinRail(mast->footX - 9, mast->footX + 9, side));
  for (int gun = 1; gun <= 8; ++gun) fittings.push_back(ShotRack(layout::GunX(gun) + 16, layout::GunSide(gun)));
  int label = 1;
  for (const Parts& p : fittings) {
    if (label == 7) ++label;
    InShip(scene, "boardbox" + Two(label++), p);
  }
}

}  // namespace brisane::assets::ship::deck
