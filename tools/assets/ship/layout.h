// Where everything of the ship is. Every part builder places its work from
// these numbers and functions, so hull, deck, rigging and cameras agree.
//
// Ship frame ("Brisane", at the world origin): x runs along the ship with the
// bow towards -x, y to starboard (+y; port is -y), z up; the waterline is
// z = 0. Ten units make a metre. The ship is about 52 m on deck.
//
// Rig frame ("ship_rig", a child of "Brisane"): the frame in which the sail
// and flag clones' fixed matrices are written. Ship = rig + kRigOffset, so
// the rig frame's centreline is y = 167.5 and its z = -140 is the waist deck.
#pragma once

#include <algorithm>
#include <cmath>

#include "author.h"
#include "paint.h"

namespace brisane::assets::ship::layout {

constexpr float kUnitsPerMetre = 10;
inline constexpr const char* kShip = "Brisane";
inline constexpr const char* kRig = "ship_rig";
inline const Vector3 kRigOffset{70.0f, -167.5f, 180.0f};
inline Vector3 RigToShip(Vector3 p) { return p + kRigOffset; }
inline Vector3 ShipToRig(Vector3 p) { return p - kRigOffset; }

// ---- hull -------------------------------------------------------------
constexpr float kKeelZ = -46;        // underside of the keel amidships (draft 4.6 m)
constexpr float kMaxHalfBreadth = 62;
constexpr float kMaxBreadthZ = 18;   // height of the widest waterline; tumblehome above

// Foremost x of the hull at height z (the stem's curve, forefoot to head).
inline float StemX(float z) {
  const float f = std::clamp((z - kKeelZ) / 106.0f, 0.0f, 1.0f);
  return -215.0f - 47.0f * (1 - (1 - f) * (1 - f));
}
// Aftmost x of the hull at height z (raked stern post, counter, transom).
inline float SternX(float z) {
  if (z < 20) return 200.0f + 0.26f * (z - kKeelZ);
  if (z < 60) return 217.0f + 0.825f * (z - 20);
  return 250.0f + 5.0f * std::min(1.0f, (z - 60) / 30.0f);
}
constexpr float kMidshipX = -30;

// Half breadth of the moulded hull at (x, z): 0 outside the hull's length.
inline float HalfBreadth(float x, float z) {
  const float stem = StemX(z), stern = SternX(z);
  if (x <= stem || x >= stern) return 0;
  float plan;
  if (x < kMidshipX) {
    const float g = (x - stem) / (kMidshipX - stem);
    // Fine at the waterline, bluffer bows above it.
    plan = 1 - std::pow(1 - g, 2.4f + 1.4f * SmoothStep(0, 45, z));
  } else {
    const float g = (stern - x) / (stern - kMidshipX);
    const float run = 1 - std::pow(1 - g, 2.0f + 1.2f * SmoothStep(-20, 40, z));
    // Above the tuck the run ends on a flat transom, not in a point.
    const float transom = 0.6f * SmoothStep(-16, 26, z);
    plan = transom + (1 - transom) * run;
  }
  const float b = kMaxHalfBreadth * plan;
  if (z >= kMaxBreadthZ) {
    const float r = (z - kMaxBreadthZ) / 70.0f;
    return std::max(0.0f, b * (1 - 0.14f * r * r));
  }
  // The planking meets the keel a little above its underside, so the keel shows.
  const float r = std::clamp((kMaxBreadthZ - z) / (kMaxBreadthZ - kKeelZ - 5), 0.0f, 1.0f);
  const float k = 1.4f + 1.6f * plan * plan;
  return std::max(2.5f, b * std::pow(1 - std::pow(r, k), 1 / k));
}

// Deck levels. The waist runs between the forecastle and the quarterdeck.
constexpr float kForecastleBreakX = -170;
constexpr float kQuarterdeckBreakX = 65;
constexpr float kPoopBreakX = 175;
constexpr float kWaistDeckZ = 40;
constexpr float kForecastleDeckZ = 52;
constexpr float kQuarterdeckZ = 54;
constexpr float kPoopDeckZ = 68;
inline float DeckZ(float x) {
  if (x < kForecastleBreakX) return kForecastleDeckZ;
  if (x < kQuarterdeckBreakX) return kWaistDeckZ;
  if (x < kPoopBreakX) return kQuarterdeckZ;
  return kPoopDeckZ;
}
// Top of the side (the rail), with the sheer rising to bow and stern.
inline float RailZ(float x) {
  float z = 58;
  z += 12 * (1 - SmoothStep(kForecastleBreakX - 15, kForecastleBreakX + 5, x));
  z += 14 * SmoothStep(kQuarterdeckBreakX - 10, kQuarterdeckBreakX + 10, x);
  z += 14 * SmoothStep(kPoopBreakX - 10, kPoopBreakX + 10, x);
  z += 6 * SmoothStep(-200, -260, x);  // the bow's last lift
  return z;
}

// ---- masts (ship frame) -------------------------------------------------
// Masts rake aft by the same slope as the clone matrices imply.
constexpr float kMastRake = 0.0395f;  // +x per unit of height
struct Mast {
  float footX, footZ;  // where the axis meets its deck
  float truckZ;        // top of the mast
  float x(float z) const { return footX + kMastRake * (z - footZ); }
  Vector3 at(float z) const { return {x(z), 0, z}; }
};
// Fore: carries "sail01" (course) and "sailx01" (topsail); a flag at its truck.
inline const Mast kFore{-189.1f, kForecastleDeckZ, 268};
// Main: course and topsail clones, "sailxx01" (topgallant), pennant and flag.
inline const Mast kMain{33.07f, kWaistDeckZ, 322};
// Mizzen: a small course clone and the pennant "flagx01".
inline const Mast kMizzen{152.2f, kQuarterdeckZ, 244};

// Yard heights (ship frame). The sails hang from their yard (origin on the
// yard, cloth below). Clone yards follow from the clone matrices.
constexpr float kForeCourseYardZ = 140;     // "sail01"
constexpr float kForeTopsailYardZ = 226;    // "sailx01"
constexpr float kMainCourseYardZ = 137.27f;  // clone
constexpr float kMainTopsailYardZ = 228.9f;  // clone
constexpr float kMainTopgallantYardZ = 285;  // "sailxx01"
constexpr float kMizzenCourseYardZ = 104.2f;  // clone

// Sail sizes as authored (the clones scale them). Sails are trapezoids:
// head (at the yard) and foot widths, and the height.
constexpr float kCourseHead = 165, kCourseFoot = 175, kCourseHeight = 66;        // "sail01"
constexpr float kTopsailHead = 110, kTopsailFoot = 150, kTopsailHeight = 90;     // "sailx01"
constexpr float kTopgallantHead = 72, kTopgallantFoot = 98, kTopgallantHeight = 52;  // "sailxx01"
// Flags: hoist at the origin (top of the staff side), cloth below and along -x.
constexpr float kFlagFly = 38, kFlagHoist = 24;
constexpr float kPennantFly = 60, kPennantHoist = 5;

// Yards are braced 15 degrees: the yard's port arm (-y) swings aft (+x).
// Sail local axes in the rig frame (a mirrored frame, as the clone matrices
// are): x along the yard, y up (with the mast's rake), z through the cloth;
// the cloth bellies towards local -z, which is forward (-x).
inline Matrix SailFrame(Vector3 shipPos) {
  const Vector3 along{0.258819f, -0.965926f, 0};
  const Vector3 up = Normalize(Vector3{kMastRake, 0, 1});
  const Vector3 through{0.965926f, 0.258819f, -0.0168f};
  return Frame(along, up, through, ShipToRig(shipPos));
}

// ---- guns ----------------------------------------------------------------
// Guns 1-4 on the port side (-y) from forward aft, 5-8 to starboard at the
// same stations; each fires outwards along its side's y.
inline const float kGunX[4] = {-140, -90, -40, 10};
constexpr float kGunAxisZ = 49;    // bore height on the waist deck
constexpr float kPortSize = 11;    // square port, centred on the bore
constexpr float kRunOut = 10;      // how far the gun moves out through its port
inline float GunX(int gun) { return kGunX[(gun - 1) % 4]; }
inline float GunSide(int gun) { return gun <= 4 ? -1.0f : 1.0f; }  // sign of y

// ---- stern -----------------------------------------------------------------
inline const Vector3 kLantern[2] = {{262, -26, 104}, {262, 26, 104}};  // lantern flames

// ---- sun -----------------------------------------------------------------
// Towards the sun from the ship (world frame): high over the port bow, so the
// show's cameras find it when they look forward along the port side. The
// sky picture paints it there, the sun light and "Dummy_sun" sit there, and
// the hull's baked light comes from there.
inline const Vector3 kSunDirection = Normalize(Vector3{-0.60f, -0.55f, 0.58f});
constexpr float kSunDistance = 8000;  // "Dummy_sun"; the sky dome is larger
constexpr float kSkyRadius = 9000;

// ---- reference points on the waterline (bow, port aft, starboard aft) ------
inline const Vector3 kWaterPoint[3] = {{-225, 0, 0}, {175, -52, 0}, {175, 52, 0}};

}  // namespace brisane::assets::ship::layout
