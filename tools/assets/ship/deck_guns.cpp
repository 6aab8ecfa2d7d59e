// The eight guns on their truck carriages, the fire at their muzzles, and
// the port lids. A gun is authored in its own frame: origin on the deck under
// the trunnions, +y out through the port, z up; the port side's guns are the
// same turned half round.
#include <cmath>

#include "deck_parts.h"
#include "deck_shapes.h"
#include "show/ship_contract.h"

namespace brisane::assets::ship::deck {

namespace {

using layout::DeckZ;
using layout::GunSide;
using layout::GunX;
using layout::HalfBreadth;
using layout::kGunAxisZ;
using layout::kPortSize;
using layout::kRunOut;

// Bore height above the deck at the gun.
float BoreHeight(int gun) { return kGunAxisZ - DeckZ(GunX(gun)); }

// Keys of a move from `a` to `b` between times t0 and t1, eased, `steps` long
// (the first key, at t0, left out when `withFirst` is false).
template <typename MakeKey>
void EasedKeys(std::vector<TransformKey>& keys, std::uint32_t t0, std::uint32_t t1, int steps, bool withFirst,
               MakeKey make) {
  for (int i = withFirst ? 0 : 1; i <= steps; ++i) {
    const float f = static_cast<float>(i) / steps;
    const auto t = static_cast<std::uint32_t>(t0 + std::lround((t1 - t0) * f));
    keys.push_back(TransformKey{t, make(SmoothStep(0, 1, f))});
  }
}

// The barrel: cascabel, breech, reinforces, chase and swelled muzzle with
// the bore turned in, along +y from the breech; axis at height h.
void Barrel(MeshBuilder& m, float h) {
  const Profile p = {
      {-12.9f, 0.0f},  {-12.7f, 0.6f},  {-12.2f, 0.7f},  {-11.8f, 0.45f}, {-11.3f, 1.7f},
      {-11.0f, 2.35f}, {-11.0f, 2.35f}, {-10.6f, 2.35f}, {-10.6f, 2.35f}, {-10.5f, 2.2f},
      {-3.2f, 2.05f},  {-3.2f, 2.05f},  {-3.0f, 2.18f},  {-2.6f, 2.18f},  {-2.5f, 1.95f},
      {2.2f, 1.85f},   {2.5f, 1.97f},   {2.6f, 1.72f},   {10.9f, 1.48f},  {11.1f, 1.6f},
      {12.3f, 1.86f},  {13.0f, 1.93f},  {13.0f, 1.93f},  {13.0f, 0.8f},   {13.0f, 0.8f},
      {11.0f, 0.8f},   {11.0f, 0.0f},
  };
  Lathe(m, {0, 0, h}, {0, 1, 0}, p, 12, 0.04f);
  // Trunnions, just below the axis.
  for (float s : {-1.0f, 1.0f})
    m.cylinder({s * 1.8f, 0, h - 0.4f}, {s * 3.2f, 0, h - 0.4f}, 0.75f, 0.75f, 8, true);
}

// Carriage cheeks: stepped planks either side of the barrel, with the cap
// squares over the trunnions.
void Cheeks(Parts& parts, float h) {
  MeshBuilder& wood = parts[kRedPaint];
  const float top = h - 0.4f - 0.75f;  // trunnion seat
  // (rear y, front y, top z) steps from the front down to the rear.
  const float steps[4][3] = {{0.9f, 4.6f, top}, {-2.6f, 0.9f, top - 1.3f}, {-5.8f, -2.6f, top - 2.4f},
                             {-9.0f, -5.8f, top - 3.3f}};
  for (float s : {-1.0f, 1.0f})
    for (const auto& st : steps) {
      const float x0 = s < 0 ? -3.3f : 2.5f;
      wood.box({x0, st[0], 1.9f}, {x0 + 0.8f, st[1], st[2]}, 0.12f);
    }
  MeshBuilder& iron = parts[kIron];
  for (float s : {-1.0f, 1.0f}) {
    const float x0 = s < 0 ? -3.35f : 2.45f;
    iron.box({x0, -0.9f, top + 0.55f}, {x0 + 0.9f, 0.9f, top + 1.55f}, 0.2f);
    // Eye bolts for the breeching and tackles on the cheeks' sides.
    iron.cylinder({s * 3.3f, -1.5f, top - 1.9f}, {s * 3.9f, -1.5f, top - 1.9f}, 0.3f, 0.3f, 6, true);
  }
}

// Axletrees and bed: the frame the trucks turn on.
void Bed(Parts& parts) {
  MeshBuilder& wood = parts[kRedPaint];
  wood.box({-4.3f, 1.7f, 1.3f}, {4.3f, 3.5f, 2.9f}, 0.12f);    // fore axletree
  wood.box({-4.3f, -7.8f, 1.1f}, {4.3f, -6.2f, 2.7f}, 0.12f);  // hind axletree
  wood.box({-2.5f, -8.6f, 2.7f}, {2.5f, 3.6f, 3.2f}, 0.12f);   // bed
  wood.box({-2.5f, 3.6f, 1.9f}, {2.5f, 4.6f, 4.6f}, 0.12f);    // front transom
  MeshBuilder& iron = parts[kIron];
  for (float s : {-1.0f, 1.0f}) {
    iron.cylinder({s * 4.3f, 2.6f, 2.1f}, {s * 6.1f, 2.6f, 2.1f}, 0.32f, 0.32f, 6, true);
    iron.cylinder({s * 4.3f, -7.0f, 1.9f}, {s * 6.1f, -7.0f, 1.9f}, 0.32f, 0.32f, 6, true);
  }
}

// Stool bed and quoin under the breech, with the quoin's handle.
void Quoin(Parts& parts, float h) {
  MeshBuilder& wood = parts[kOak];
  const float breech = h - 2.3f;
  wood.box({-1.9f, -10.2f, 3.2f}, {1.9f, -4.2f, 4.2f}, 0.12f);  // stool bed
  // The quoin: a wedge, thick end aft.
  const Vector3 a{-1.6f, -10.6f, 4.2f}, b{1.6f, -10.6f, 4.2f}, c{1.6f, -5.4f, 4.2f}, d{-1.6f, -5.4f, 4.2f};
  const Vector3 e{-1.6f, -10.6f, breech}, f{1.6f, -10.6f, breech}, g{1.6f, -5.4f, 4.6f}, k{-1.6f, -5.4f, 4.6f};
  auto face = [&](Vector3 p, Vector3 q, Vector3 r, Vector3 s, float u) {
    const Vector3 n = Normalize(Cross(q - p, r - q));
    wood.quad(wood.add(p, n, 0, 0), wood.add(q, n, u, 0), wood.add(r, n, u, 0.4f), wood.add(s, n, 0, 0.4f));
  };
  face(e, f, g, k, 0.6f);  // sloping top
  face(a, b, f, e, 0.4f);  // back
  face(c, d, k, g, 0.4f);  // front
  face(b, c, g, f, 0.6f);  // sides
  face(d, a, e, k, 0.6f);
  wood.cylinder({0, -10.6f, (4.2f + breech) / 2}, {0, -11.8f, (4.2f + breech) / 2}, 0.3f, 0.35f, 6, true);
}

void Truck(Parts& parts, Vector3 hub, float radius) {
  const float s = hub.x < 0 ? -1.0f : 1.0f;
  MeshBuilder& wood = parts[kOak];
  wood.cylinder(hub - Vector3{s * 0.55f, 0, 0}, hub + Vector3{s * 0.55f, 0, 0}, radius, radius, 14, true, 0.05f);
  parts[kIron].cylinder(hub + Vector3{s * 0.55f, 0, 0}, hub + Vector3{s * 0.8f, 0, 0}, 0.55f, 0.45f, 8, true);
}

}  // namespace

float PortHalfBreadth(int gun) { return HalfBreadth(GunX(gun), kGunAxisZ); }

Matrix GunPlacement(int gun, float out) {
  const float side = GunSide(gun);
  const float y = PortHalfBreadth(gun) + kMuzzleOutside - kMuzzleAhead - kRunOut + out;
  const Matrix turn = side < 0 ? RotateZ(kPi) : Matrix::Identity();
  return turn * Translate({GunX(gun), side * y, DeckZ(GunX(gun))});
}

Vector3 MuzzleOut(int gun) {
  return TransformPoint({0, kMuzzleAhead, BoreHeight(gun)}, GunPlacement(gun, kRunOut));
}

std::vector<TransformKey> GunKeys(int gun) {
  std::vector<TransformKey> keys;
  auto at = [&](float out) { return GunPlacement(gun, out); };
  // Run out: 0 in, 999 out.
  EasedKeys(keys, contract::kGunRunOut.from, contract::kGunRunOut.to, 8, true, [&](float f) { return at(kRunOut * f); });
  // Recoil: out at 1349, thrown back past the run-in place by 1400, hauled
  // out again by 1899.
  keys.push_back({contract::kGunRecoil.from, at(kRunOut)});
  keys.push_back({1368, at(kRunOut - 0.72f * (kRunOut + kRecoilBeyond))});
  keys.push_back({1400, at(-kRecoilBeyond)});
  EasedKeys(keys, 1400, contract::kGunRecoil.to, 6, false, [&](float f) { return at(-kRecoilBeyond + (kRunOut + kRecoilBeyond) * f); });
  // Run in: out at 2149, in at 2949.
  EasedKeys(keys, contract::kGunRunIn.from, contract::kGunRunIn.to, 8, true, [&](float f) { return at(kRunOut * (1 - f)); });
  return keys;
}

namespace {

// Hinge line of the port lid: along the hull's skin at the top of the lid.
constexpr float kLidOverlap = 0.6f;
constexpr float kLidThickness = 0.8f;
constexpr float kOpenAngle = 80 * kPi / 180;

float LidTop() { return kGunAxisZ + kPortSize / 2 + kLidOverlap; }
float LidHalf() { return kPortSize / 2 + kLidOverlap; }

// Point of the lid's inner face (closed) in the ship frame.
Vector3 LidSkin(int gun, float x, float z) {
  return {x, GunSide(gun) * (HalfBreadth(x, z) + 0.08f), z};
}
Vector3 Hinge(int gun) { return LidSkin(gun, GunX(gun), LidTop()) + Vector3{0, GunSide(gun) * kLidThickness, 0}; }

Matrix LidPose(int gun, float angle) {
  const float x = GunX(gun), h = LidHalf();
  const Vector3 axis = Normalize(LidSkin(gun, x + h, LidTop()) - LidSkin(gun, x - h, LidTop()));
  // The lid's lower edge swings outwards and up.
  Matrix r = RotateAxis(axis, angle);
  if (TransformDirection({0, 0, -1}, r).y * GunSide(gun) < 0) r = RotateAxis(axis, -angle);
  return r * Translate(Hinge(gun));
}

}  // namespace

std::vector<TransformKey> PortKeys(int gun) {
  std::vector<TransformKey> keys;
  EasedKeys(keys, contract::kPortOpen.from, contract::kPortOpen.to, 8, true, [&](float f) { return LidPose(gun, kOpenAngle * f); });
  EasedKeys(keys, contract::kPortClose.from, contract::kPortClose.to, 8, true, [&](float f) { return LidPose(gun, kOpenAngle * (1 - f)); });
  return keys;
}

void AuthorPortLids(SceneAuthor& scene) {
  for (int gun = 1; gun <= 8; ++gun) {
    const float side = GunSide(gun), x = GunX(gun), h = LidHalf(), top = LidTop();
    const Vector3 hinge = Hinge(gun);
    const Vector3 outward{0, side, 0};
    auto skin = [&](float s, float t, float off) {  // s along, t down, off outwards from the skin
      return LidSkin(gun, x - h + 2 * h * s, top - 2 * h * t) + outward * off - hinge;
    };
    const Vector3 insideLid = Vector3{x, side * (HalfBreadth(x, kGunAxisZ) - 3), kGunAxisZ} - hinge;
    const Vector3 outsideLid = Vector3{x, side * (HalfBreadth(x, kGunAxisZ) + 4), kGunAxisZ} - hinge;
    Parts parts;
    SurfaceAway(parts[kLidPaint], [&](float s, float t) { return skin(s, t, kLidThickness); }, 3, 3, insideLid, 1, 1);
    SurfaceAway(parts[kRedPaint], [&](float s, float t) { return skin(s, t, 0); }, 3, 3, outsideLid, 1, 1);
    // Edges: four strips between the faces.
    const Vector3 mid = skin(0.5f, 0.5f, kLidThickness / 2);
    auto edge = [&](auto point) {
      SurfaceAway(parts[kLidPaint], [&](float s, float t) { return skin(point(s).first, point(s).second, t * kLidThickness); },
                  3, 1, mid, 1, 0.1f);
    };
    edge([](float s) { return std::pair<float, float>{s, 0.0f}; });
    edge([](float s) { return std::pair<float, float>{s, 1.0f}; });
    edge([](float s) { return std::pair<float, float>{0.0f, s}; });
    edge([](float s) { return std::pair<float, float>{1.0f, s}; });
    // Iron hinge straps down the outside.
    for (float s0 : {0.18f, 0.72f})
      SurfaceAway(parts[kIron],
                  [&](float s, float t) { return skin(s0 + 0.1f * s, t * 0.8f, kLidThickness + 0.12f); }, 1, 2,
                  mid, 0.3f, 1);
    scene.object(std::string(contract::kGunPorts[gun - 1]), layout::kShip, PortKeys(gun), {ArchiveFrame{0, parts.build()}});
  }
  // The bulwark's inside is planked over the ports; their openings and red
  // linings are laid on it here, where the guns run out through them.
  ArchiveMaterial dark;
  dark.description = LitMaterial({0.06f, 0.05f, 0.045f}, 0.6f);
  scene.material(kPortDark, dark);
  for (int gun = 1; gun <= 8; ++gun) {
    const float side = GunSide(gun), x = GunX(gun), half = kPortSize / 2;
    auto wall = [&](float px, float z, float off) {  // off: inboard of the planking
      return Vector3{px, side * (HalfBreadth(px, z) - kBulwarkThickness - off), z};
    };
    Parts parts;
    SurfaceAway(parts[kPortDark], [&](float s, float t) { return wall(x - half + 2 * half * s, kGunAxisZ - half + 2 * half * t, 0.06f); },
                1, 1, Vector3{x, side * 200, kGunAxisZ}, 1, 1);
    // The red lining round the opening, laid on the planking.
    const float w = 0.8f;
    const float frames[4][4] = {{-half - w, half + w, -half - w, -half}, {-half - w, half + w, half, half + w},
                                {-half - w, -half, -half, half}, {half, half + w, -half, half}};
    for (const auto& f : frames)
      SurfaceAway(parts[kRedPaint],
                  [&](float s, float t) { return wall(x + f[0] + (f[1] - f[0]) * s, kGunAxisZ + f[2] + (f[3] - f[2]) * t, 0.1f); },
                  2, 1, Vector3{x, side * 200, kGunAxisZ}, 0.6f, 0.1f);
    scene.object("deck_port_inside" + Two(gun), layout::kShip, Matrix::Identity(), parts.build());
  }
}

namespace {

// Texture coordinates of the fire atlas (pixel column, row of its top half);
// the atlas is mirrored top to bottom, so either reading finds the same cell.
std::pair<float, float> AtlasUv(float px, float py) {
  return {px / kFireAtlas, TextureV(py / kFireAtlas)};
}

// Crossed quads of a flame tongue along +y from the muzzle: `planes` planes
// round the axis, length l, half width w, from tongue cell `cell`.
void Tongue(MeshBuilder& m, float l, float w, int cell, int planes, float start) {
  for (int k = 0; k < planes; ++k) {
    const float ang = kPi * k / planes;
    const Vector3 across{std::cos(ang), 0, std::sin(ang)};
    const Vector3 n = Cross(across, {0, 1, 0});
    const float x0 = cell * 128.0f + 2, x1 = cell * 128.0f + 126;
    const auto [u0, vBase] = AtlasUv(x0, kTongueBase);
    const auto [u1, vTip] = AtlasUv(x1, kTongueTip);
    const Vector3 base{0, start, 0}, tip{0, start + l, 0};
    const auto a = m.add(base - across * w, n, u0, vBase), b = m.add(base + across * w, n, u1, vBase);
    const auto c = m.add(tip + across * w, n, u1, vTip), d = m.add(tip - across * w, n, u0, vTip);
    m.quad(a, b, c, d);
  }
}

// A round burst facing out along +y at distance `at`, radius r.
void Burst(MeshBuilder& m, float r, int cell, float at) {
  const float cx = cell * 128.0f + 64, R = kBurstRadius;
  const auto [u0, v0] = AtlasUv(cx - R, kBurstRow + R);
  const auto [u1, v1] = AtlasUv(cx + R, kBurstRow - R);
  const Vector3 n{0, 1, 0};
  const auto a = m.add({r, at, -r}, n, u0, v0), b = m.add({-r, at, -r}, n, u1, v0);
  const auto c = m.add({-r, at, r}, n, u1, v1), d = m.add({r, at, r}, n, u0, v1);
  m.quad(a, b, c, d);
}

// Shows nothing but keeps the object's first mesh on the fire material, so
// the object is drawn with the transparent ones from the start.
ArchiveMesh Nothing() {
  MeshBuilder m;
  const Vector3 o{0, 0, 0}, n{0, 1, 0};
  m.tri(m.add(o, n, 0, 0), m.add(o, n, 0, 0), m.add(o, n, 0, 0));
  return m.build(kFire);
}

// The fire frames: nothing at time 0, a burst from the window's start that
// grows and dies in `stages` frames, nothing from the window's end on.
template <typename Stage>
std::vector<ArchiveFrame> FireFrames(FireWindow window, int stages, Stage stage) {
  std::vector<ArchiveFrame> frames;
  frames.push_back(ArchiveFrame{0, {Nothing()}});
  const std::uint32_t step = (window.to - window.from) / static_cast<std::uint32_t>(stages);
  for (int i = 0; i < stages; ++i) {
    MeshBuilder m;
    stage(m, i);
    frames.push_back(ArchiveFrame{window.from + step * static_cast<std::uint32_t>(i), {m.build(kFire)}});
  }
  frames.push_back(ArchiveFrame{window.to, {}});
  return frames;
}

}  // namespace

std::vector<ArchiveFrame> GunFireFrames(int which) {
  if (which == 1) {
    // A tongue of flame thrown out along the bore, then dying.
    const float length[8] = {12, 21, 29, 35, 38, 40, 41, 42};
    const float width[8] = {3.6f, 5.8f, 7.6f, 9, 9.8f, 10.2f, 10.4f, 10.5f};
    const int cell[8] = {0, 0, 0, 1, 1, 2, 3, 3};
    return FireFrames(kFire1Window, 8,
                      [&](MeshBuilder& m, int i) { Tongue(m, length[i], width[i], cell[i], 3, -0.5f); });
  }
  // A round burst at the muzzle with a short wide flame through it.
  const float radius[8] = {7, 12, 15.5f, 18, 19.5f, 20.5f, 21, 21.5f};
  const int cell[8] = {0, 0, 1, 1, 2, 2, 3, 3};
  return FireFrames(kFire2Window, 8, [&](MeshBuilder& m, int i) {
    Burst(m, radius[i], cell[i], 0.6f + 0.3f * i);
    Tongue(m, radius[i] * 1.1f, radius[i] * 0.6f, cell[i], 2, 0.5f);
  });
}

void AuthorGuns(SceneAuthor& scene) {
  for (int gun = 1; gun <= 8; ++gun) {
    const std::string n = Two(gun);
    const std::string gunName(contract::kGuns[gun - 1]);
    const float h = BoreHeight(gun);
    scene.group(gunName, layout::kShip, GunKeys(gun));

    Parts barrel;
    Barrel(barrel[kIron], h);
    scene.object("deck_gun_barrel" + n, gunName, Matrix::Identity(), barrel.build());

    Parts cheeks, bed, quoin;
    Cheeks(cheeks, h);
    Bed(bed);
    Quoin(quoin, h);
    scene.object("gun_lafet01_" + n, gunName, Matrix::Identity(), cheeks.build());
    scene.object("gun_lafet02_" + n, gunName, Matrix::Identity(), bed.build());
    scene.object("gun_lafet03_" + n, gunName, Matrix::Identity(), quoin.build());

    const Vector3 hubs[4] = {{-5.4f, 2.6f, 2.1f}, {5.4f, 2.6f, 2.1f}, {-5.4f, -7.0f, 1.9f}, {5.4f, -7.0f, 1.9f}};
    for (int w = 0; w < 4; ++w) {
      Parts truck;
      Truck(truck, hubs[w], hubs[w].z);
      scene.object("gun_wheel0" + std::to_string(w + 1) + "_" + n, gunName, Matrix::Identity(), truck.build());
    }

    MeshBuilder shadow;
    {
      const Vector3 up{0, 0, 1};
      const float z = 0.15f;
      shadow.quad(shadow.add({-7, -11.5f, z}, up, 0, 1), shadow.add({7, -11.5f, z}, up, 1, 1),
                  shadow.add({7, 6.5f, z}, up, 1, 0), shadow.add({-7, 6.5f, z}, up, 0, 0));
    }
    scene.object("gun_shadow" + n, gunName, Matrix::Identity(), {shadow.build(kShadow)});

    scene.group(std::string(contract::kGunMuzzles[gun - 1]), gunName, Translate({0, kMuzzleAhead, h}));

    // Fire hangs from the ship at the run-out muzzle, not from the gun, so
    // it stays put while the gun recoils; a slight push outwards over the
    // first 150 ms of the shot.
    const Matrix turn = GunSide(gun) < 0 ? RotateZ(kPi) : Matrix::Identity();
    const Vector3 muzzle = MuzzleOut(gun);
    const Vector3 out{0, GunSide(gun), 0};
    const std::vector<TransformKey> fireKeys = {{0, turn * Translate(muzzle)},
                                                {150, turn * Translate(muzzle + out * 2.0f)},
                                                {contract::kFireKeysEnd, turn * Translate(muzzle + out * 2.0f)}};
    scene.object(std::string(contract::kGunFires1[gun - 1]), layout::kShip, fireKeys, GunFireFrames(1));
    scene.object(std::string(contract::kGunFires2[gun - 1]), layout::kShip, fireKeys, GunFireFrames(2));
  }
}

}  // namespace brisane::assets::ship::deck
