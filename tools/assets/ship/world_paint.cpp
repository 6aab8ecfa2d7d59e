// Pictures of the sea, the foam and the sky.
#include <algorithm>
#include <cmath>

#include "layout.h"
#include "noise.h"
#include "paint.h"
#include "world_parts.h"

namespace brisane::assets::ship::world {

namespace {

// Value noise on a tile of side 1 with cellsX by cellsY lattice cells, so
// it repeats seamlessly with different feature sizes across and down.
float TileNoise(double fx, double fy, int cellsX, int cellsY, std::uint32_t seed) {
  const double x = fx * cellsX, y = fy * cellsY;
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  auto lattice = [&](int i, int j) {
    i = ((i % cellsX) + cellsX) % cellsX;
    j = ((j % cellsY) + cellsY) % cellsY;
    Rng rng(seed * 1000003ull + static_cast<std::uint64_t>(j) * 7919ull + static_cast<std::uint64_t>(i));
    return static_cast<float>(rng.Uniform());
  };
  const float tx = static_cast<float>(Fade(x - x0)), ty = static_cast<float>(Fade(y - y0));
  const float a = lattice(x0, y0), b = lattice(x0 + 1, y0), c = lattice(x0, y0 + 1), d = lattice(x0 + 1, y0 + 1);
  return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

float TileFbm(double fx, double fy, int cellsX, int cellsY, std::uint32_t seed, int octaves) {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * TileNoise(fx, fy, cellsX << o, cellsY << o, seed + static_cast<std::uint32_t>(o) * 31u);
    norm += amp;
    amp *= 0.5f;
  }
  return sum / norm;
}

// Periodic distance on a tile of side 1.
float WrapDelta(float d) { return d - std::round(d); }

// What the show's daylight ambient makes of the sky's and the haze's
// material (its ambient is set in AuthorWorld): paint colours are divided by
// it to look as meant.
const Colour kSkyLight{0.87f * 1.0f, 0.7f * 1.2f, 0.7f * 1.25f};
// The haze where the far sea meets the sky: both end in it.
const Colour kHaze{164, 182, 192};

Colour UnderSkyLight(Colour c) { return {c.r / kSkyLight.r, c.g / kSkyLight.g, c.b / kSkyLight.b}; }

// Takes most of the brightness changes wider than about a quarter of the
// tile out of a tiling picture: seen from above, those are what shows each
// repeat as a patch. A wrapped box blur, run twice, gives the local level.
void FlattenLargeScale(Image& img, int radius, float strength) {
  const int w = img.width, h = img.height;
  std::vector<float> level(static_cast<std::size_t>(w) * h), pass(level.size());
  double mean = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float* p = img.at(x, y);
      mean += level[y * w + x] = (p[0] + p[1] + p[2]) / 3;
    }
  mean /= static_cast<double>(level.size());
  const float span = static_cast<float>(2 * radius + 1);
  for (int round = 0; round < 2; ++round) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += level[y * w + (x + k + w) % w];
        pass[y * w + x] = sum / span;
      }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) sum += pass[((y + k + h) % h) * w + x];
        level[y * w + x] = sum / span;
      }
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float gain = std::pow(static_cast<float>(mean) / std::max(1.0f, level[y * w + x]), strength);
      float* p = img.at(x, y);
      for (int ch = 0; ch < 3; ++ch) p[ch] *= gain;
    }
}

}  // namespace

Image SeaPicture() {
  constexpr int kSize = 256;
  constexpr double k2Pi = 6.283185307179586;
  // Whole numbers of wave crests across the tile keep it seamless.
  struct Wave {
    int kx, ky;
    double amp, phase;
  };
  // Many directions and a strong warp, so the repeats do not line up into
  // stripes across the sea.
  const Wave waves[] = {{4, 1, 1.0, 0.3},  {3, -2, 0.7, 1.9}, {5, 3, 0.5, 4.1},  {1, 4, 0.45, 2.6},
                        {7, -1, 0.3, 0.8}, {2, -6, 0.3, 5.5}, {8, 5, 0.2, 3.7},  {-6, 4, 0.2, 1.1}};
  double ampSum = 0;
  for (const Wave& w : waves) ampSum += w.amp;
  const Colour trough{14, 52, 68}, body{26, 84, 100}, crest{78, 140, 150}, cap{205, 222, 224};
  std::vector<float> crestness(kSize * kSize);
  Image img = Paint(kSize, kSize, [&](int x, int y) {
    const double fx = (x + 0.5) / kSize, fy = (y + 0.5) / kSize;
    const double warp = Fbm(fx * 3, fy * 3, 71, 4, 3) - 0.5;
    double h = 0;
    for (const Wave& w : waves) h += w.amp * std::sin(k2Pi * (w.kx * fx + w.ky * fy) + w.phase + 7.0 * warp);
    const float swell = std::clamp(static_cast<float>(h / (0.55 * ampSum)), -1.0f, 1.0f);
    // Ripples ride on the swell, stretched along the crests.
    const float ripple = TileFbm(fx, fy, 24, 8, 72, 3);
    const float patches = TileFbm(fx, fy, 11, 11, 75, 2);
    const float level = std::clamp(0.5f + 0.4f * swell + (ripple - 0.5f) * 0.6f, 0.0f, 1.0f);
    const float top = std::pow(level, 4.0f);
    Colour c = Mix(trough, body, std::min(1.0f, level * 1.6f));
    c = Mix(c, crest, top * 0.8f);
    c = c * (0.9f + 0.2f * patches);
    // Broken white where the highest crests meet bright ripples.
    const float lace = TileFbm(fx, fy, 24, 24, 74, 2);
    const float white = SmoothStep(0.8f, 1.0f, top + (ripple - 0.5f) * 0.6f) * SmoothStep(0.45f, 0.7f, lace);
    c = Mix(c, cap, 0.7f * white);
    crestness[y * kSize + x] = top;
    return c;
  });
  // Glints of the sun on the crests: short bright dashes, wrapped round the edges.
  Rng rng(73);
  int placed = 0;
  for (int tries = 0; tries < 4000 && placed < 28; ++tries) {
    const float gx = static_cast<float>(rng.Uniform()), gy = static_cast<float>(rng.Uniform());
    const int cx = static_cast<int>(gx * kSize), cy = static_cast<int>(gy * kSize);
    if (crestness[cy * kSize + cx] < 0.45f) continue;
    ++placed;
    const float radius = static_cast<float>(rng.Range(0.6, 1.2)) / kSize, bright = static_cast<float>(rng.Range(0.45, 0.9));
    const int r = 4;
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx) {
        const int px = (cx + dx + kSize) % kSize, py = (cy + dy + kSize) % kSize;
        const float ex = WrapDelta((px + 0.5f) / kSize - gx), ey = WrapDelta((py + 0.5f) / kSize - gy);
        const float d2 = (ex * ex * 0.15f + ey * ey) / (radius * radius);
        const float a = bright * std::exp(-d2);
        float* p = img.at(px, py);
        for (int ch = 0; ch < 3; ++ch) p[ch] += (240 - p[ch]) * a;
      }
  }
  FlattenLargeScale(img, kSize / 16, 0.9f);
  return img;
}

Image FoamPicture() {
  constexpr int kSize = 256;
  const Colour sea{64, 116, 124}, foam{238, 243, 241}, shade{168, 192, 194};
  return Paint(kSize, kSize, [&](int x, int y) {
    const double fx = (x + 0.5) / kSize, fy = (y + 0.5) / kSize;
    // Streaks run along v (down the picture), the way the foam streams.
    const float streak = TileFbm(fx, fy, 12, 3, 81, 3);
    const float bubbles = TileFbm(fx, fy, 32, 32, 82, 2);
    const float v = streak * 0.8f + bubbles * 0.35f;
    Colour c = Mix(sea, shade, SmoothStep(0.46f, 0.62f, v));
    c = Mix(c, foam, SmoothStep(0.58f, 0.74f, v));
    return c;
  });
}

Image FoamAlphaPicture() {
  constexpr int kSize = 128;
  return Paint(kSize, kSize, [&](int x, int y) {
    // x: across the band (hull at 0), y: along the ship (bow at 0).
    const float across = std::clamp(((x + 0.5f) / kSize - 0.02f) / 0.96f, 0.0f, 1.0f);
    const float along = std::clamp(((y + 0.5f) / kSize - 0.02f) / 0.96f, 0.0f, 1.0f);
    const float ragged = static_cast<float>(Fbm(x * 0.09, y * 0.05, 91, 4));
    float a = std::pow(1 - SmoothStep(0.0f, 1.0f, across + (ragged - 0.5f) * 0.35f), 1.4f);
    a *= SmoothStep(0.0f, 0.06f, along);                  // starts just ahead of the stem
    a *= 0.75f + 0.25f * (1 - SmoothStep(0.1f, 0.3f, along));  // strongest at the bow wave
    a *= 1 - SmoothStep(0.72f, 0.98f, along);             // the wake dies away astern
    a *= 0.75f + 0.5f * static_cast<float>(Fbm(x * 0.2, y * 0.12, 92, 3));
    if (x == kSize - 1 || y == 0 || y == kSize - 1) a = 0;  // edges clear for wrapping filters
    const float v = 255 * std::clamp(a, 0.0f, 1.0f);
    return Colour{v, v, v};
  });
}

Image SkyPicture() {
  constexpr int kWidth = 512, kHeight = 256;
  const Colour zenith{58, 104, 176}, horizon{178, 194, 206};
  const Colour cloudLit{250, 248, 242}, cloudShade{150, 160, 176};
  const Vector3 sun = layout::kSunDirection;
  return Paint(kWidth, kHeight, [&](int x, int y) {
    const float az = (x + 0.5f) / kWidth * 2 * kPi;
    const float el = SkyElevation((y + 0.5f) / kHeight);
    const Vector3 d{std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
    Colour c;
    if (el >= 0) {
      const float haze = std::pow(1 - std::sin(el), 5.0f);
      c = Mix(zenith, horizon, haze);
      // Clouds on a plane overhead: they crowd and thin out towards the horizon.
      const float h = d.z + 0.09f;
      const double px = d.x / h * 1.6, py = d.y / h * 1.6;
      const float n = static_cast<float>(Fbm(px, py, 61, 5));
      const float nSun = static_cast<float>(Fbm(px + sun.x * 0.15, py + sun.y * 0.15, 61, 5));
      const float cover = SmoothStep(0.5f, 0.68f, n) * SmoothStep(0.01f, 0.12f, el);
      const float lit = std::clamp(0.55f + (n - nSun) * 6, 0.0f, 1.0f);
      const Colour cloud = Mix(cloudShade, cloudLit, lit);
      c = Mix(c, Mix(cloud, horizon, haze * 0.6f), cover * 0.92f);
      // The lowest sky thickens into the haze that hides the sea's far edge.
      c = Mix(kHaze, c, SmoothStep(0.0f, 0.07f, el));
    } else {
      // Below the horizon the dome shows behind the sea's far edge, which
      // the haze ring has already turned to this colour.
      c = kHaze;
    }
    // The sun, its glare and the brighter sky around it.
    const float angle = std::acos(std::clamp(Dot(d, sun), -1.0f, 1.0f));
    const float glare = 0.6f * std::exp(-angle / 0.06f) + 0.3f * std::exp(-angle / 0.35f);
    c = Mix(c, Colour{255, 240, 210}, std::min(1.0f, glare));
    if (angle < 0.022f) c = Mix(c, Colour{255, 253, 244}, SmoothStep(0.022f, 0.016f, angle));
    // Fine grain so that large smooth areas do not band.
    const float grain = static_cast<float>(ValueNoise(x * 0.9, y * 0.9, 63, 0)) - 0.5f;
    c = c + Colour{grain, grain, grain} * 3.0f;
    return UnderSkyLight(c);
  });
}

Image HazePicture() {
  return Paint(64, 64, [](int, int) { return UnderSkyLight(kHaze); });
}

float HazeOpacity(float distance) { return SmoothStep(kHazeInner, kSeaRadius, distance); }

Image HazeAlphaPicture() {
  return Paint(64, kHazeRows, [](int, int y) {
    const float a = 255 * HazeOpacity(kHazeInner + (kSeaRadius - kHazeInner) * y / (kHazeRows - 1.0f));
    return Colour{a, a, a};
  });
}

}  // namespace brisane::assets::ship::world
