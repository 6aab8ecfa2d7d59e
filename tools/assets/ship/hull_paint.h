// Pictures of the hull: painted and tarred planking, copper, the stern, decks
// and bulwark insides, carving and the lanterns; and the baked light of the
// lightmaps (sun, sky, occlusion, the hull's own shadow, and the dancing light
// reflected from the waves).
#pragma once

#include "author.h"
#include "paint.h"

namespace brisane::assets::ship::hull {

// Texture space of the side's bands: u runs along the whole ship (so the
// ports land where the guns are), v down from the band's top height.
constexpr float kSideU0 = -270, kSideU1 = 262;
struct ZSpan {
  float top, bottom;
};
constexpr ZSpan kHighSpan{98, 34};
constexpr ZSpan kMidSpan{54, 6};
// The stern picture: u across the ship (port at u = 0), v down from top.
constexpr float kSternHalf = 48;
constexpr ZSpan kSternSpan{100, -20};
// Tiled pictures: units of hull per repeat.
constexpr float kLowRepeat = 64, kCopperRepeat = 48, kWoodRepeat = 64, kDeckRepeat = 80;

inline float SideU(float x) { return (x - kSideU0) / (kSideU1 - kSideU0); }
inline float SpanV(float z, ZSpan s) { return (s.top - z) / (s.top - s.bottom); }
inline float SternU(float y) { return (y + kSternHalf) / (2 * kSternHalf); }

Image PaintUpperWorks();   // 512 x 256, over kHighSpan
Image PaintMiddleBand();   // 512 x 256, over kMidSpan
Image PaintBootTopping();  // 256 x 128, tiled
Image PaintCopper();       // 256 x 256, tiled
Image PaintKeelWood();     // 128 x 128, tiled
Image PaintStern();        // 256 x 512, over kSternSpan
Image PaintDeck();         // 256 x 256, tiled
Image PaintInside();       // 256 x 256, tiled, red ochre bulwarks
Image PaintCarving();      // 128 x 128, gilt carving on blue-green
Image PaintBalusters();    // 128 x 128, a rail of gilt balusters (8 across, rails top and bottom)
Image PaintLanternGlass(); // 128 x 128
Image PaintLanternAlpha(); // 128 x 128, bright = opaque

// Baked light, 1 = neutral (the lightmaps are applied doubled, 128 = 1).
// `open` is the share of sky the point sees (1 open, 0 buried).
float BakedLight(Vector3 p, Vector3 n, float open);
// The hull's own shadow: 0 where the sun is hidden by the hull, else 1.
float SunVisible(Vector3 p, Vector3 n);
// Light thrown up by the waves near the waterline at frame k of 16 (loops:
// frame 16 is frame 0); 0 far from the water.
float WaveLight(Vector3 p, Vector3 n, int frame);
constexpr int kWaveFrames = 16;
// A lightmap picture from a light value per texel (1 = neutral).
template <typename F>
Image LightmapImage(int w, int h, F light) {
  return Paint(w, h, [&](int i, int j) {
    const float l = light((i + 0.5f) / w, (j + 0.5f) / h);
    // Warm in the light, a little cool in the shade.
    return Colour{128 * l * (l > 1 ? 1.02f : 0.97f), 128 * l, 128 * l * (l > 1 ? 0.95f : 1.03f)};
  });
}

}  // namespace brisane::assets::ship::hull
