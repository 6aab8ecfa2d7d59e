// Masts, tops, caps, crosstrees, yards, bowsprit and jib-boom, the mast
// coats on deck, the bowsprit's bitts and gammoning, and the channels.
#include <cmath>
#include <utility>

#include "rig_common.h"

namespace brisane::assets::ship::rig {

using namespace layout;

const MastPlan& Plan(int index) {
  // The upper masts stand on the layout's axis (the clones' flags fly from
  // it); the lower mastheads and topmast heads are set aft of it, doubled.
  static const MastPlan plans[kMastCount] = {
      {&kFore, 4.4f, 150, 162, 20, 9, 13, 233, 243, 13, 4, 3},
      {&kMain, 5.0f, 152, 165, 23, 10, 14, 238, 248, 14, 5, 3},
      {&kMizzen, 3.4f, 120, 130, 15, 7, 10, 190, 198, 10, 3, 2},
  };
  return plans[index];
}

float TopmastRadius(const MastPlan& p) { return 0.62f * p.lowerRadius; }
float TopgallantRadius(const MastPlan& p) { return 0.36f * p.lowerRadius; }
float TopgallantHoundsZ(const MastPlan& p) { return p.crosstreesZ + 0.6f * (p.mast->truckZ - p.crosstreesZ); }
float ChannelZ(const MastPlan& p) { return RailZ(p.mast->footX) - 8; }

Spar Bowsprit() {
  const float steeve = 25 * kPi / 180;
  return {{kFore.footX - 14, 0, kForecastleDeckZ + 6}, {-std::cos(steeve), 0, std::sin(steeve)}, 170};
}

Spar JibBoom() {
  const Spar b = Bowsprit();
  const Vector3 lift = Vector3{b.dir.z, 0, -b.dir.x} * 5.0f;  // above the bowsprit
  return {b.at(125) + lift, b.dir, 110};
}

Staff EnsignStaff() {
  const float railZ = RailZ(SternX(kPoopDeckZ + 14));
  const Vector3 foot{SternX(railZ) - 5, 0, railZ - 2};
  return {foot, foot + Normalize(Vector3{0.12f, 0, 1}) * 42.0f};
}

namespace {

// A box given by its centre and half sizes, axis-aligned.
void Block(MeshBuilder& m, Vector3 c, Vector3 half, float uvPerUnit = 0.05f) { m.box(c - half, c + half, uvPerUnit); }

void Yard(MeshBuilder& wood, MeshBuilder& rope, Vector3 centre, Vector3 along, float half) {
  const float r = 0.022f * half + 0.6f;
  for (int side = -1; side <= 1; side += 2) {
    const Vector3 arm = centre + along * (side * half);
    wood.cylinder(centre, arm, r, 0.45f * r, 8, false, 0.02f);
    wood.cylinder(arm, arm + along * (side * 3.0f), 0.4f * r, 0.3f * r, 6, true, 0.02f);
    // Footrope hanging under the yard from the arm towards the slings.
    const Vector3 down{0, 0, -1.2f * r};
    Rope(rope, Hang(arm - along * (side * 1.5f) + down, centre + along * (side * 6.0f) + down, 5, 7), 0.35f);
  }
  wood.cylinder(centre - along * (0.12f * half), centre + along * (0.12f * half), 1.25f * r, 1.25f * r, 8, false,
                0.02f);  // the yard's octagonal slings
  // Blocks for the lifts and braces at the arms.
  for (int side = -1; side <= 1; side += 2) {
    const Vector3 arm = centre + along * (side * half * 0.95f);
    wood.box(arm + Vector3{-0.9f, -0.9f, 0.2f * r}, arm + Vector3{0.9f, 0.9f, 0.2f * r + 2.2f}, 0.2f);
  }
}

void MastSpars(MeshBuilder& wood, MeshBuilder& dark, const MastPlan& p) {
  const Mast& m = *p.mast;
  const float R = p.lowerRadius, rTop = TopmastRadius(p), rTg = TopgallantRadius(p);
  const Vector3 aft{1, 0, 0};
  // Lower mast from the hold up to the top, its head doubled aft of the topmast.
  wood.cylinder(m.at(m.footZ - 14), m.at(p.topZ), R, 0.82f * R, 12, false, 0.01f);
  const Vector3 headOff = aft * (0.7f * R + rTop);
  wood.cylinder(m.at(p.topZ - 1) + headOff, m.at(p.lowerHeadZ + 0.5f) + headOff, 0.7f * R, 0.7f * R, 8, true, 0.01f);
  wood.cylinder(m.at(p.topZ - 2), m.at(p.crosstreesZ), rTop, 0.8f * rTop, 10, false, 0.01f);
  const Vector3 tmOff = aft * (0.8f * rTop + rTg);
  wood.cylinder(m.at(p.crosstreesZ - 1) + tmOff, m.at(p.topmastHeadZ + 0.5f) + tmOff, 0.8f * rTop, 0.8f * rTop, 8,
                true, 0.01f);
  wood.cylinder(m.at(p.crosstreesZ - 6), m.at(m.truckZ - 1.5f), rTg, 0.55f * rTg, 8, false, 0.01f);
  // Truck.
  dark.cylinder(m.at(m.truckZ - 2), m.at(m.truckZ), 1.5f * rTg, 1.4f * rTg, 8, true, 0.05f);

  // Iron hoops round the lower mast, between the partners and the top.
  for (float z = m.footZ + 14; z < p.topZ - 12; z += 13) {
    const float f = (z - (m.footZ - 14)) / (p.topZ - (m.footZ - 14));
    const float r = R + (0.82f * R - R) * f + 0.22f;
    dark.cylinder(m.at(z), m.at(z + 1.1f), r, r, 12, false, 0.05f);
  }

  // Caps joining each head to the mast above.
  const Vector3 cap = m.at(p.lowerHeadZ);
  Block(dark, cap + Vector3{0.5f * headOff.x, 0, 1.2f}, {0.5f * headOff.x + 0.7f * R + 1, 0.8f * R + 1, 1.3f});
  const Vector3 cap2 = m.at(p.topmastHeadZ);
  Block(dark, cap2 + Vector3{0.5f * tmOff.x, 0, 0.9f}, {0.5f * tmOff.x + 0.8f * rTop + 0.8f, 0.8f * rTop + 0.8f, 1.0f});

  // The top: platform, its trestletrees and a rail along the aft edge.
  const Vector3 top = m.at(p.topZ);
  const float midX = 0.5f * (p.topAft - p.topFore);
  Block(dark, top + Vector3{midX, 0, 0}, {0.5f * (p.topFore + p.topAft), p.topHalfWidth, 0.9f});
  for (int side = -1; side <= 1; side += 2)
    Block(dark, top + Vector3{midX, side * (0.8f * R + 0.6f), -2.0f}, {0.5f * (p.topFore + p.topAft) + 2, 0.7f, 1.2f});
  Block(dark, top + Vector3{p.topAft - 0.6f, 0, 5}, {0.5f, p.topHalfWidth - 1, 0.5f});
  for (int k = -2; k <= 2; ++k)
    Block(dark, top + Vector3{p.topAft - 0.6f, k * 0.5f * (p.topHalfWidth - 1.5f), 2.5f}, {0.4f, 0.4f, 2.2f});

  // Crosstrees at the topmast head.
  const Vector3 ct = m.at(p.crosstreesZ);
  for (int side = -1; side <= 1; side += 2) {
    Block(dark, ct + Vector3{1.5f, side * (0.8f * rTop + 0.5f), -0.8f}, {9, 0.5f, 0.8f});
    Block(dark, ct + Vector3{side * 4.5f + 1.5f, 0, 0.2f}, {0.6f, p.crossHalfWidth, 0.6f});
  }
}

// Chainwale along the hull's side at z, from x0 to x1: a thick plank lofted
// along HalfBreadth so that it sits on the side wherever the hull narrows.
void Channel(MeshBuilder& m, float x0, float x1, float z, float side) {
  const float width = 8, thick = 1.6f;
  auto inner = [&](float x) { return HalfBreadth(x, z) - 1; };
  // Top, outer edge and underside, each turned so its front faces out.
  auto face = [&](float y0, float y1, float z0, float z1, Vector3 out) {
    // Front = d/ds x d/dt ~ (0, -(z1 - z0), side * (y1 - y0)) for s along +x.
    if (Dot(Vector3{0, -(z1 - z0), side * (y1 - y0)}, out) < 0) {
      std::swap(y0, y1);
      std::swap(z0, z1);
    }
    m.surface(
        [&](float s, float t) {
          const float x = x0 + (x1 - x0) * s;
          const float y = inner(x) + y0 + (y1 - y0) * t;
          return Vector3{x, side * y, z + z0 + (z1 - z0) * t};
        },
        4, 1, 4, 0.5f);
  };
  face(0, width, thick, thick, {0, 0, 1});
  face(width, width, 0, thick, {0, side, 0});
  face(0, width, 0, 0, {0, 0, -1});
  // Square the ends.
  for (float x : {x0, x1}) {
    const float y0 = inner(x), y1 = y0 + width;
    const bool front = x == x0;
    Vector3 a{x, side * y0, z}, b{x, side * y1, z}, c{x, side * y1, z + thick}, d{x, side * y0, z + thick};
    const Vector3 n{front ? -1.0f : 1.0f, 0, 0};
    const auto ia = m.add(a, n, 0, 1), ib = m.add(b, n, 1, 1), ic = m.add(c, n, 1, 0), id = m.add(d, n, 0, 0);
    // Outward normal (n) must come out of the right-hand rule.
    if (Dot(Cross(b - a, c - a), n) > 0) m.quad(ia, ib, ic, id);
    else m.quad(ia, id, ic, ib);
  }
}

}  // namespace

void AuthorSpars(SceneAuthor& scene) {
  MeshBuilder wood, dark, rope;
  for (int i = 0; i < kMastCount; ++i) MastSpars(wood, dark, Plan(i));

  // Yards of the set sails, and the bare mizzen topsail yard.
  MeshBuilder yards, footropes;
  for (int id = 0; id < kSailCount; ++id) {
    const HungSail& sail = Sail(static_cast<SailId>(id));
    Yard(yards, footropes, sail.YardCentre(), sail.YardAlong(), sail.HalfHead() * 1.08f + 3);
  }
  {
    const Matrix frame = SailFrame(kMizzen.at(172));
    const Vector3 centre = RigToShip(TransformPoint({0, 0, -kHeadForward}, frame));
    Yard(yards, footropes, centre, Normalize(TransformDirection({1, 0, 0}, frame)), 42);
  }

  // Bowsprit and jib-boom with the bowsprit cap.
  const Spar bs = Bowsprit(), jb = JibBoom();
  wood.cylinder(bs.heel, bs.at(bs.length), 4.4f, 3.0f, 10, true, 0.01f);
  wood.cylinder(jb.heel, jb.at(jb.length), 2.2f, 1.1f, 8, true, 0.01f);
  {
    const Vector3 c = bs.at(bs.length - 1.5f);
    MeshBuilder capMesh;
    capMesh.box({-1.5f, -3.6f, -3.6f}, {1.5f, 3.6f, 9.0f}, 0.1f);
    // Stand the cap square to the bowsprit.
    dark.append(capMesh, Frame(bs.dir, {0, -1, 0}, Vector3{bs.dir.z, 0, -bs.dir.x}, c));
  }

  // The spritsail yard slung square under the bowsprit, its sail furled.
  MeshBuilder furled;
  {
    const Vector3 c = bs.at(118) + Vector3{0, 0, -7};
    const Vector3 along{0, 1, 0};
    Yard(dark, rope, c, along, 46);
    furled.cylinder(c - along * 38.0f + Vector3{0, 0, 1.5f}, c + along * 38.0f + Vector3{0, 0, 1.5f}, 2.2f, 2.2f, 8, true,
                    0.02f);
    for (int side = -1; side <= 1; side += 2) Rope(rope, {c + along * (side * 4.0f), bs.at(116) + along * (side * 2.5f)}, 0.5f);
  }

  // The ensign staff.
  const Staff staff = EnsignStaff();
  wood.cylinder(staff.foot, staff.head, 0.9f, 0.6f, 6, true, 0.02f);
  dark.cylinder(staff.head, staff.head + Normalize(staff.head - staff.foot) * 1.2f, 1.2f, 1.1f, 6, true);

  scene.object("rig_masts", kShip, Matrix::Identity(),
               {wood.build(kMastWood), dark.build(kDarkWood), rope.build(kHemp), furled.build(kTopgallantCloth)});
  scene.object("rig_yards", kShip, Matrix::Identity(), {yards.build(kDarkWood), footropes.build(kHemp)});

  // Channels with their deadeyes and chainplates, a pair per mast.
  MeshBuilder channels, deadeyes, plates;
  for (int i = 0; i < kMastCount; ++i) {
    const MastPlan& p = Plan(i);
    const float z = ChannelZ(p), x = p.mast->x(z);
    for (int side = -1; side <= 1; side += 2) {
      Channel(channels, x - 12, x + 64, z, static_cast<float>(side));
    }
  }
  // Deadeyes and chainplates come from the same stations the shrouds use.
  ChannelFittings(deadeyes, plates);
  scene.object("rig_channels", kShip, Matrix::Identity(),
               {channels.build(kDarkWood), deadeyes.build(kDarkWood), plates.build(kTarred)});

  // Mast coats and partners where each mast meets its deck.
  static const char* const kBases[kMastCount] = {"mastbase01", "mastbase02", "mastbase03"};
  for (int i = 0; i < kMastCount; ++i) {
    const MastPlan& p = Plan(i);
    const Mast& m = *p.mast;
    MeshBuilder coat;
    const float R = p.lowerRadius;
    coat.cylinder(m.at(m.footZ), m.at(m.footZ + 5), R + 3.5f, R + 0.4f, 12, false, 0.05f);
    const Vector3 foot = m.at(m.footZ);
    Block(coat, foot + Vector3{0, 0, 0.6f}, {R + 6, R + 6, 0.6f}, 0.08f);
    // Wedges driven in round the mast, under the coat's upper edge.
    for (int k = 0; k < 8; ++k) {
      const float a = 2 * kPi * (k + 0.5f) / 8;
      const Vector3 c = m.at(m.footZ + 3.2f) + Vector3{std::cos(a), std::sin(a), 0} * (R + 1.3f);
      Block(coat, c, {0.7f, 0.7f, 1.6f}, 0.1f);
    }
    scene.object(kBases[i], kShip, Matrix::Identity(), {coat.build(kDarkWood)});
  }

  // Bowsprit bitts either side of the heel, and the gammoning at the stem.
  MeshBuilder bitts, gammon;
  const Vector3 heel = bs.at(4);
  for (int side = -1; side <= 1; side += 2)
    Block(bitts, {heel.x + 2, side * 6.5f, kForecastleDeckZ + 8}, {2.2f, 2.2f, 8});
  Block(bitts, {heel.x + 2, 0, kForecastleDeckZ + 11}, {1.8f, 9.0f, 1.8f});
  const float stemAlong = (bs.heel.x - StemX(80)) / -bs.dir.x;
  for (int k = 0; k < 5; ++k) {
    const float a = stemAlong - 10 + k * 2.2f;
    gammon.cylinder(bs.at(a), bs.at(a + 1.6f), 4.9f, 4.9f, 10, false, 0.2f);
  }
  const Vector3 knee{StemX(60) + 5, 0, 60};
  for (int side = -1; side <= 1; side += 2)
    for (int k = 0; k < 2; ++k) {
      const Vector3 top = bs.at(stemAlong - 9 + k * 6) + Vector3{0, side * 4.2f, 0};
      gammon.cylinder(top, knee + Vector3{0, side * 1.5f, 0}, 0.9f, 0.9f, 4, false, 0.05f);
    }
  scene.object("bushprit_x", kShip, Matrix::Identity(), {bitts.build(kDarkWood), gammon.build(kTarred)});

  // Where the wind is heard: aloft at the main top.
  scene.group(std::string(contract::kWind), kShip, Translate(kMain.at(Plan(1).topZ + 8)));
}

}  // namespace brisane::assets::ship::rig
