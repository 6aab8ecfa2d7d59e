// The hull part, authored piece by piece: the side's painted bands
// (hull_side.cpp), keel and rudder (hull_timbers.cpp), the stern with its
// walk and lanterns (hull_stern.cpp), the carved work at stern and bow
// (hull_carving.cpp), the decks and the bulwarks' insides (hull_decks.cpp).
// hull.cpp adds the pictures, bakes the lightmaps and places the dummies.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "author.h"
#include "hull_lines.h"

namespace brisane::assets::ship::hull {

// ---- the side's bands ------------------------------------------------------
struct SideBand {
  const char* part;  // without the side number
  Band band;
  int rows;
  bool waves;  // 16 lightmap frames of wave light
};
// Bottom to top: bottom, board_low, board_mid, board_high.
std::vector<SideBand> SideBands();
// The port side's mesh of a band (the starboard one is its mirror).
MeshBuilder PortBand(const SideBand& band);

// The side's lightmaps fold the ship's length in two: the fore half in the
// picture's upper half, the after half below, each a band of 128 x 32
// texels, so the light along the side is twice as fine. Coordinates hit
// texel centres at the edges, so filtering never reaches the other half.
inline constexpr int kLmW = 128, kLmH = 64, kLmHalfRows = kLmH / 2;
inline float LmU(float sHalf) { return (0.5f + sHalf * (kLmW - 1)) / kLmW; }
inline float LmV(int half, float t) { return (static_cast<float>(half * kLmHalfRows) + 0.5f + (1 - t) * (kLmHalfRows - 1)) / kLmH; }
// The (s, t) a lightmap texel shows.
inline std::pair<float, float> LmTexel(float u, float v) {
  const int i = std::min(kLmW - 1, static_cast<int>(u * kLmW)), j = std::min(kLmH - 1, static_cast<int>(v * kLmH));
  const int half = j / kLmHalfRows, row = j % kLmHalfRows;
  const float sHalf = static_cast<float>(i) / (kLmW - 1);
  return {0.5f * static_cast<float>(half) + 0.5f * sHalf, 1 - static_cast<float>(row) / (kLmHalfRows - 1)};
}

// ---- shared by the pieces --------------------------------------------------
// A hull picture into the scene, stored upside down so that its v counts down
// from the top of the painting.
void Picture(SceneAuthor& scene, const std::string& name, const Image& img);
// The picture on the first coordinates, lightmaps cycling on the second.
ArchiveMaterial Lightmapped(const std::string& diffuse, std::vector<std::string> lightmaps);
ArchiveMaterial Plain(const std::string& diffuse, float ambient = 0.62f);
// Lightmap frames of a part, w x h texels: one still frame, or the 16-frame
// loop of light thrown up by the waves. `still` is the light without the
// waves and `wave` the waves' share at frame k, both at lightmap coordinates.
// Returns the frames' picture names.
std::vector<std::string> BakeLightmaps(SceneAuthor& scene, const std::string& part, int w, int h, bool waves,
                                       const std::function<float(float u, float v)>& still,
                                       const std::function<float(float u, float v, int frame)>& wave);

// The stern walk's floor and the top of the counter; the quarter galleries
// stand on it.
constexpr float kGalleryZ = 60;
// How far the transom rounds aft at (y, z); the poop deck and the transom's
// inside follow it.
float SternBulge(float y, float z);

void AuthorSide(SceneAuthor& scene);
void AuthorKeelAndRudder(SceneAuthor& scene);
void AuthorStern(SceneAuthor& scene);       // the transom and the stern walk
void AuthorCarvedWork(SceneAuthor& scene);  // quarter galleries, the head, catheads
void AuthorDecks(SceneAuthor& scene);       // decks and the bulwarks' insides
void AuthorLanterns(SceneAuthor& scene);

}  // namespace brisane::assets::ship::hull
