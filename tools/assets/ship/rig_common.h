// Shared pieces of the rig part: where the spars stand, the cloth of the
// sails and flags as functions of the wave phase, the rope builders, and the
// pictures. Spars and ropes are authored in the ship frame; sails and flags
// hang under the rig frame, where the show's clone matrices are written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "author.h"
#include "layout.h"
#include "show/ship_contract.h"

namespace brisane::assets::ship::rig {

// ---- time lines ------------------------------------------------------------
// Ropes and sails loop over key times 0..1680 (the show plays 0..1679), flags
// over 0..1500 (it plays 0..1499). The last frame repeats the first, so the
// loop has no seam.
constexpr std::uint32_t kClothLoop = contract::kRiggingWindow + 1;
constexpr int kClothFrames = 42;  // 40 ms apart
constexpr std::uint32_t kFlagLoop = contract::kFlagWindow + 1;
constexpr int kFlagFrames = 37;  // about 40.5 ms apart

// Key times of frames 0..frames (frames + 1 entries, the last at `loop`).
std::vector<std::uint32_t> LoopTimes(std::uint32_t loop, int frames);
// Phase in 0..1 of frame k of `frames`.
inline float LoopPhase(int k, int frames) { return static_cast<float>(k % frames) / static_cast<float>(frames); }

// ---- masts -------------------------------------------------------------------
// Heights (ship frame) of the parts of one mast, on top of layout's axis.
struct MastPlan {
  const layout::Mast* mast;
  float lowerRadius;      // at the deck
  float topZ;             // platform of the top (lower shrouds end below it)
  float lowerHeadZ;       // the cap on the lower masthead
  float topHalfWidth;     // athwart the top
  float topFore, topAft;  // platform forward and aft of the axis
  float crosstreesZ;      // topmast shrouds end here
  float topmastHeadZ;     // cap on the topmast head
  float crossHalfWidth;   // crosstrees athwart
  int lowerShrouds;       // a side
  int topmastShrouds;     // a side
};
const MastPlan& Plan(int index);  // 0 fore, 1 main, 2 mizzen
constexpr int kMastCount = 3;
float TopmastRadius(const MastPlan& plan);
float TopgallantRadius(const MastPlan& plan);
// Where the topgallant shrouds and stays meet the topgallant mast.
float TopgallantHoundsZ(const MastPlan& plan);
// Channel (chainwale) height at a mast; shrouds start from deadeyes on it.
float ChannelZ(const MastPlan& plan);

// Bowsprit: heel on the forecastle, steeved up over the stem.
struct Spar {
  Vector3 heel, dir;
  float length;
  Vector3 at(float along) const { return heel + dir * along; }
};
Spar Bowsprit();
Spar JibBoom();
// The ensign staff at the taffrail.
struct Staff {
  Vector3 foot, head;
};
Staff EnsignStaff();

// ---- sails ---------------------------------------------------------------------
struct SailCut {
  float head, foot, height;  // trapezoid as authored (local units)
  float depth;               // belly depth at the middle of the foot
  std::uint32_t seed;        // ripple pattern
};
SailCut Cut(float head, float foot, float height, std::uint32_t seed);
// Cloth point at (s across 0..1 from local -x, t down 0..1 from the head) at
// loop phase 0..1: local x along the yard, y up (cloth below 0), bellying
// towards -z. The head hangs kHeadForward in front of the yard's origin.
constexpr float kHeadForward = 6;
Vector3 SailPoint(const SailCut& cut, float s, float t, float phase);
MeshBuilder SailMesh(const SailCut& cut, float phase, int cols, int rows);
constexpr int kSailCols = 16, kSailRows = 19;

// One sail as it hangs in the rig frame: its local matrix (an authored frame
// or a clone's fixed matrix), its cut, and how far its waving runs ahead of
// the ropes that follow it (key milliseconds: the show starts the sail with a
// real-time offset at its waving speed).
struct HungSail {
  Matrix local;
  SailCut cut;
  std::uint32_t lead;
  // Ship-frame point of the cloth at key time `time` of the ropes.
  Vector3 At(float s, float t, std::uint32_t time) const;
  // Yard centre and unit direction (ship frame) and the head's half width.
  Vector3 YardCentre() const;
  Vector3 YardAlong() const;
  float HalfHead() const;
};
enum SailId { kForeCourse, kForeTopsail, kMainTopgallant, kMainCourse, kMizzenCourse, kMainTopsail, kSailCount };
const HungSail& Sail(SailId id);
// The show's entry for a waving node (a sail, a flag or a copy of one); throws
// std::invalid_argument for a node the show does not wave.
const contract::Waving& Waving(std::string_view node);
// The fixed matrix (rig frame) the show gives the copy with this suffix: the
// main and mizzen sails and the flags; throws std::invalid_argument for none.
Matrix CloneMatrix(std::string_view suffix);

// ---- flags -------------------------------------------------------------------
// Flag cloth (local z up, hoist at the origin, cloth along -x) at loop phase.
MeshBuilder FlagMesh(float fly, float hoist, float tipHoist, float phase, int cols, int rows, std::uint32_t seed);

// ---- ropes ---------------------------------------------------------------------
// A rope hanging between a and b with `sag` units of dip at its middle,
// `points` points from a to b, pushed sideways by `sway` at the middle.
std::vector<Vector3> Hang(Vector3 a, Vector3 b, float sag, int points, Vector3 sway = {});
// A thin tube along a path: `sides` vertices a ring, no seam vertices.
void Rope(MeshBuilder& mesh, const std::vector<Vector3>& path, float radius, int sides = 3);
// A flat strip between two lines (ratlines): p0-p1 at the bottom, width up.
void Strip(MeshBuilder& mesh, Vector3 p0, Vector3 p1, float width, Vector3 normal);

// Upper deadeyes on a mast's channel (ship frame), side -1 port or +1
// starboard: the lower shrouds forward to aft, then the backstays.
std::vector<Vector3> ChannelStations(const MastPlan& plan, float side);
// Deadeyes and chainplates of every station.
void ChannelFittings(MeshBuilder& deadeyes, MeshBuilder& plates);

// ---- authoring -------------------------------------------------------------------
void AuthorRigPictures(SceneAuthor& scene);  // materials and pictures
void AuthorSpars(SceneAuthor& scene);
void AuthorRigging(SceneAuthor& scene);
void AuthorSails(SceneAuthor& scene);
void AuthorFlags(SceneAuthor& scene);
std::vector<ArchiveFrame> LoopFrames(const std::vector<MeshBuilder>& shapes, std::uint32_t loop,
                                     const std::string& material);

// Material names of the rig's own parts.
inline constexpr const char* kMastWood = "rig_mastwood";
inline constexpr const char* kDarkWood = "rig_darkwood";
inline constexpr const char* kTarred = "rig_tarred";
inline constexpr const char* kHemp = "rig_hemp";
inline constexpr const char* kTopgallantCloth = "rig_sailxx01";

}  // namespace brisane::assets::ship::rig
