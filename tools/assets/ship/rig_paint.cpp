// Pictures and materials of the rig: sailcloth, the house flag and the
// pennant; mast wood, black-painted wood and two ropes from the stock pictures.
#include <algorithm>
#include <cmath>

#include "noise.h"
#include "paint.h"
#include "rig_common.h"
#include "stock_pictures.h"

namespace brisane::assets::ship::rig {

namespace {

float Hash01(std::uint32_t a, std::uint32_t b) {
  std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return static_cast<float>(h & 0xFFFFu) / 65535.0f;
}

Image PaintSail(int variant, int reefBands, std::uint32_t seed) {
  const int size = 256;
  const int cloths = 13 + variant % 3;
  // Patches: newer cloth sewn over worn places, a few a sail.
  struct Patch {
    float u0, v0, u1, v1, tone;
  };
  std::vector<Patch> patches;
  Rng rng(seed);
  const int patchCount = 1 + variant % 3;
  for (int i = 0; i < patchCount; ++i) {
    const float u0 = static_cast<float>(rng.Range(0.12, 0.75)), v0 = static_cast<float>(rng.Range(0.3, 0.8));
    patches.push_back({u0, v0, u0 + static_cast<float>(rng.Range(0.06, 0.14)), v0 + static_cast<float>(rng.Range(0.05, 0.12)),
                       static_cast<float>(rng.Range(0.97, 1.07))});
  }
  const float px = 1.0f / size;
  return Paint(size, size, [&](int x, int y) {
    const float u = (x + 0.5f) * px, v = (y + 0.5f) * px;
    // Cloth by cloth, each a slightly different bolt.
    const float cu = u * cloths;
    const int cloth = static_cast<int>(cu);
    float k = 1 + 0.05f * (Hash01(seed, static_cast<std::uint32_t>(cloth)) - 0.5f);
    const float seam = std::min(cu - cloth, 1 - (cu - cloth)) * size / cloths;  // pixels to a seam
    if (seam < 0.9f) k *= 0.87f;
    else if (seam > 2.2f && seam < 3.0f) k *= 0.95f;  // the second row of stitches
    // Weave and weather.
    k *= 1 + 0.035f * static_cast<float>(ValueNoise(x * 0.7, y * 0.7, seed + 3) - 0.5);
    const float stain = static_cast<float>(Fbm(u * 5, v * 5, seed + 5, 4));
    float r = 230, g = 222, b = 200;
    if (stain > 0.58f) {
      const float s = std::min(1.0f, (stain - 0.58f) * 4);
      r -= 28 * s;
      g -= 32 * s;
      b -= 40 * s;
    }
    // Dirtier towards the foot; worn and greyer near the head.
    const float dirt = 0.2f * std::pow(v, 1.6f);
    r *= 1 - dirt * 0.75f;
    g *= 1 - dirt * 0.85f;
    b *= 1 - dirt;
    for (const Patch& p : patches)
      if (u > p.u0 && u < p.u1 && v > p.v0 && v < p.v1) {
        k *= p.tone;
        const float edge = std::min({u - p.u0, p.u1 - u, v - p.v0, p.v1 - v}) * size;
        if (edge < 1.2f) k *= 0.84f;
      }
    // Reef bands across the upper sail, with reef points hanging from them.
    for (int rb = 0; rb < reefBands; ++rb) {
      const float vb = 0.1f + 0.095f * rb;
      const float d = (v - vb) * size;
      if (d > -2.5f && d < 2.5f) k *= std::fabs(d) > 1.8f ? 0.78f : 0.9f;
      const float pu = u * size / 9;
      if (d > 2.5f && d < 9.0f && std::fabs(pu - std::round(pu)) * 9 < 0.7f) {
        r = 150, g = 132, b = 104;
      }
    }
    // Tabling along the edges, the boltrope outermost.
    const float edge = std::min({u, 1 - u, v, 1 - v}) * size;
    if (edge < 2.0f) r = 122, g = 100, b = 74, k = 1;
    else if (edge < 6.0f) k *= edge < 5.2f && edge > 4.4f ? 0.8f : 0.93f;
    // Baked soft light: brighter in the belly, shaded at the leeches and foot.
    const float shade = 0.86f + 0.14f * std::sin(kPi * u) * (1 - 0.3f * v) +
                        0.05f * static_cast<float>(Fbm(u * 2.5, v * 1.5, seed + 7, 3) - 0.5);
    k *= shade;
    return Colour{r * k, g * k, b * k};
  });
}

Image PaintHouseFlag() {
  // The Duskwright line: a saffron sun setting into a crimson sea under a
  // night-blue sky, with a white evening star in the fly.
  const double w = 38, h = 24;
  Canvas c(w, h, 256, 128, 4);
  const Rgb navy{22, 34, 86}, crimson{176, 28, 38}, saffron{244, 168, 32}, white{246, 244, 236};
  c.Clear(navy);
  const double horizon = h * 0.64;
  c.SetClip(0, 0, w, horizon);
  c.Fill(Ellipse(w * 0.36, horizon, 8.2, 8.2), saffron);
  c.ClearClip();
  for (int i = 0; i < 7; ++i) {  // rays
    const double a = kPi * (0.1 + 0.8 * i / 6.0);
    const double cx = w * 0.36, cy = horizon;
    c.Fill(Band({cx - std::cos(a) * 10.0, cy - std::sin(a) * 10.0}, {cx - std::cos(a) * 13.5, cy - std::sin(a) * 13.5}, 1.3),
           saffron);
  }
  c.Rect(0, horizon, w, h, crimson);
  c.Rect(0, horizon - 0.6, w, horizon + 0.6, white);
  c.Fill(Star(w * 0.8, h * 0.28, 3.6, 1.45, 5), white);
  Image im = c.Resolve();
  // Bunting: a faint weave and a little weathering.
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) {
      const float k = 0.94f + 0.06f * static_cast<float>(ValueNoise(x * 0.9, y * 0.9, 61)) -
                      0.05f * static_cast<float>(Fbm(x / 64.0, y / 64.0, 62, 3));
      float* p = im.at(x, y);
      for (int ch = 0; ch < 3; ++ch) p[ch] *= k;
    }
  return im;
}

Image PaintPennant() {
  const double w = 60, h = 5;
  Canvas c(w, h, 256, 32, 4);
  const Rgb navy{22, 34, 86}, crimson{176, 28, 38}, saffron{244, 168, 32}, white{246, 244, 236};
  c.Clear(white);
  c.Rect(0, 0, w, h * 0.5, crimson);
  c.Rect(0, 0, 11, h, navy);
  c.Fill(Ellipse(5.5, h * 0.5, 1.5, 1.5), saffron);
  return c.Resolve();
}

}  // namespace

void AuthorRigPictures(SceneAuthor& scene) {
  auto textured = [&](const std::string& material, const std::string& image, bool twoSided, float ambient) {
    ArchiveMaterial m;
    m.description = LitMaterial({1, 1, 1}, ambient);
    m.twoSided = twoSided ? 1 : 0;
    m.layers.push_back(Layer(1, {image}));
    scene.material(material, m);
  };
  scene.image("rig_mastwood.jpg", SparWood(128, 256, {178, 134, 82}, 0.16f, 301), 85);
  scene.image("rig_darkwood.jpg", SparWood(128, 128, {56, 46, 38}, 0.22f, 302), 85);
  scene.image("rig_tarred.jpg", LaidRope({70, 56, 40}, 303), 85);
  scene.image("rig_hemp.jpg", LaidRope({176, 148, 104}, 304), 85);
  textured(kMastWood, "rig_mastwood.jpg", false, 0.62f);
  textured(kDarkWood, "rig_darkwood.jpg", false, 0.62f);
  textured(kTarred, "rig_tarred.jpg", true, 0.6f);
  textured(kHemp, "rig_hemp.jpg", true, 0.6f);

  // Every sail its own cloth: the courses with two reef bands, topsails three.
  const struct {
    const char* material;
    const char* image;
    int reefs;
  } sails[] = {
      {"sail01_sail01_1", "rig_sail01.jpg", 2}, {"sail01_sail02_1", "rig_sail02.jpg", 2},
      {"sail01_sail03_1", "rig_sail03.jpg", 1}, {"sail02_sailx01_1", "rig_sailx01.jpg", 3},
      {"sail02_sailx02_1", "rig_sailx02.jpg", 3}, {kTopgallantCloth, "rig_sailxx01.jpg", 0},
  };
  int variant = 0;
  for (const auto& s : sails) {
    scene.image(s.image, PaintSail(variant, s.reefs, 400 + 17 * variant), 85);
    textured(s.material, s.image, true, 0.65f);
    ++variant;
  }
  scene.image("rig_duskwright.jpg", PaintHouseFlag(), 88);
  textured("Flag_flag01_1", "rig_duskwright.jpg", true, 0.65f);
  scene.image("rig_pennant.jpg", PaintPennant(), 88);
  textured("Flag2", "rig_pennant.jpg", true, 0.65f);
}

}  // namespace brisane::assets::ship::rig
