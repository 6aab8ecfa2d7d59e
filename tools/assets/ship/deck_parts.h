// The deck part of the ship scene, split by kind of work: materials and
// their pictures, the guns with their port lids and fire, and the furniture.
// Where the guns stand and when they fire are exposed for the tests.
#pragma once

#include <string>
#include <vector>

#include "author.h"
#include "layout.h"
#include "show/ship_contract.h"

namespace brisane::assets::ship::deck {

// Material names of the deck.
inline constexpr const char* kOak = "deck_oak";
inline constexpr const char* kPine = "deck_pine";
inline constexpr const char* kIron = "deck_iron";
inline constexpr const char* kBrass = "deck_brass";
inline constexpr const char* kCanvas = "deck_canvas";
inline constexpr const char* kBoatPaint = "deck_boat";
inline constexpr const char* kRope = "deck_rope";
inline constexpr const char* kRedPaint = "deck_red";
inline constexpr const char* kLidPaint = "deck_lid";
inline constexpr const char* kShadow = "deck_shadow";
inline constexpr const char* kFire = "deck_fire";
inline constexpr const char* kFireImage = "Gunfire01.jpg";
inline constexpr const char* kPortDark = "deck_port_dark";

void AuthorMaterials(SceneAuthor& scene);
void AuthorGuns(SceneAuthor& scene);
void AuthorPortLids(SceneAuthor& scene);
void AuthorFurniture(SceneAuthor& scene);
void AuthorBoat(SceneAuthor& scene);

// The skid beams over the waist that carry the boat and the spare spars.
constexpr float kSkidTopZ = 62;
constexpr float kSkidDepth = 2.4f;
inline constexpr float kSkidX[2] = {-112, -58};

// ---- guns ---------------------------------------------------------------
// How far the run-out muzzle stands outside the hull's skin (a hand span).
constexpr float kMuzzleOutside = 2.2f;
// Distance from the gun's origin (on the deck under the trunnions) to the
// muzzle face, along the bore.
constexpr float kMuzzleAhead = 13;
// How far a recoiling gun jumps back beyond its run-in position.
constexpr float kRecoilBeyond = 3;

// The bulwark's thickness, skin to inside planking (the hull's number).
constexpr float kBulwarkThickness = 2.5f;
// Hull skin's distance from the centreline at the gun's port.
float PortHalfBreadth(int gun);
// Local matrix of "Gun0N" with the gun `out` units out from its run-in place.
Matrix GunPlacement(int gun, float out);
// The gun's keys: run out 0..999, recoil 1349..1899, run in 2149..2949.
std::vector<TransformKey> GunKeys(int gun);
// The port lid's hinge frame and keys: closed 0, open 499..2649, closed 3199.
std::vector<TransformKey> PortKeys(int gun);
// Muzzle of the run-out gun in the ship frame.
Vector3 MuzzleOut(int gun);

// Geometry frame times of the two fire meshes; the windows the guns play.
struct FireWindow {
  std::uint32_t from, to;
};
inline constexpr FireWindow kFire1Window{contract::kFire1Offset, contract::kFire1Frames.to};
inline constexpr FireWindow kFire2Window{contract::kFire2Offset, contract::kFire2Frames.to};
// Geometry frames of "gun_fire1_0N" (which 1) or "gun_fire2_0N" (2), in the
// fire's own frame: origin at the muzzle, +y out along the bore.
std::vector<ArchiveFrame> GunFireFrames(int which);

// The fire picture, an atlas in pixels (see FirePicture): tongues span rows
// kTongueTip..kTongueBase of their 128-wide column, bursts sit at kBurstRow.
constexpr int kFireAtlas = 512;
constexpr int kTongueTip = 4, kTongueBase = 172;
constexpr int kBurstRow = 216, kBurstRadius = 38;
Image FirePicture();

}  // namespace brisane::assets::ship::deck
