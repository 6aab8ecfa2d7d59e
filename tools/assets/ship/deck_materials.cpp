// Pictures and materials of the deck: wood, paint, iron, brass, canvas,
// rope, the carriages' contact shadow and the gun fire.
#include <algorithm>
#include <cmath>

#include "deck_parts.h"
#include "noise.h"

namespace brisane::assets::ship::deck {

namespace {

struct Colour {
  float r, g, b;
};
Colour Mix(Colour a, Colour b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Colour Scaled(Colour c, float s) { return {c.r * s, c.g * s, c.b * s}; }

template <typename F>
Image Paint(int size, F colourAt) {
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const Colour c = colourAt(static_cast<double>(x) / size, static_cast<double>(y) / size);
      float* p = img.at(x, y);
      p[0] = std::clamp(c.r, 0.0f, 255.0f);
      p[1] = std::clamp(c.g, 0.0f, 255.0f);
      p[2] = std::clamp(c.b, 0.0f, 255.0f);
    }
  return img;
}

// Planks along x (u) with grain, seams every 1/planks of the height, and
// weathering; tiles seamlessly.
Image Wood(int size, Colour light, Colour dark, int planks, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    const double plank = std::floor(y * planks);
    const double within = y * planks - plank;
    const double shift = ValueNoise(plank * 3.1, 0.5, seed + 7) * 4;
    const double warp = Fbm(x * 4 + shift, y * 16, seed, 3, 0) * 1.5;
    const double grain = 0.5 + 0.5 * std::sin((within * 9 + warp * 3) * 2 * kPi + shift);
    const double fine = Fbm(x * 64, y * 8, seed + 3, 2, 0);
    const double tone = 0.85 + 0.3 * ValueNoise(plank * 5.3, shift, seed + 11);
    Colour c = Mix(dark, light, static_cast<float>(0.35 + 0.45 * grain * grain + 0.2 * fine));
    c = Scaled(c, static_cast<float>(tone));
    const double seam = std::min(within, 1 - within) * planks * size / 64.0;
    if (seam < 0.6) c = Scaled(c, static_cast<float>(0.45 + 0.55 * seam / 0.6));
    const double stain = Fbm(x * 3, y * 3, seed + 19, 4, 0);
    return Scaled(c, static_cast<float>(0.8 + 0.3 * stain));
  });
}

// Painted wood: paint over faint grain, rubbed through in places.
Image PaintedWood(int size, Colour paint, Colour wood, int planks, std::uint32_t seed) {
  const Image grain = Wood(size, wood, Scaled(wood, 0.55f), planks, seed);
  Image img(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double u = static_cast<double>(x) / size, v = static_cast<double>(y) / size;
      const double wear = Fbm(u * 6, v * 6, seed + 23, 4, 0);
      const float show = static_cast<float>(std::clamp((wear - 0.62) * 5, 0.0, 1.0));
      const float* g = grain.at(x, y);
      const float shade = 0.85f + 0.3f * (g[0] / 255.0f - 0.35f);
      float* p = img.at(x, y);
      const Colour c = Mix(Scaled(paint, shade), Colour{g[0], g[1], g[2]}, show);
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  return img;
}

Image Iron(int size, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    const double rust = Fbm(x * 5, y * 5, seed, 5, 0);
    const double pit = Fbm(x * 40, y * 40, seed + 1, 2, 0);
    Colour c = Mix(Colour{26, 27, 30}, Colour{48, 50, 55}, static_cast<float>(pit));
    const float r = static_cast<float>(std::clamp((rust - 0.63) * 4, 0.0, 1.0));
    c = Mix(c, Colour{95, 52, 30}, r * 0.7f);
    // Worn high spots catch the light as streaks along the part.
    const double sheen = Fbm(x * 2, y * 24, seed + 5, 3, 0);
    if (sheen > 0.62) c = Mix(c, Colour{110, 112, 118}, static_cast<float>((sheen - 0.62) * 1.6));
    return c;
  });
}

Image Brass(int size, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    const double n = Fbm(x * 6, y * 6, seed, 4, 0);
    const double band = 0.5 + 0.5 * std::sin(y * 2 * kPi * 3 + n * 2);
    Colour c = Mix(Colour{120, 85, 30}, Colour{225, 185, 95}, static_cast<float>(0.4 + 0.6 * band * n));
    const double tarnish = Fbm(x * 10, y * 10, seed + 4, 3, 0);
    if (tarnish > 0.6) c = Mix(c, Colour{70, 80, 50}, static_cast<float>((tarnish - 0.6) * 1.5));
    return c;
  });
}

Image Canvas(int size, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    const double weave = 0.5 + 0.25 * std::sin(x * size * kPi) * std::sin(y * size * kPi * 0.5) +
                         0.25 * std::sin(y * size * kPi);
    const double dirt = Fbm(x * 4, y * 4, seed, 5, 0);
    Colour c = Mix(Colour{150, 140, 115}, Colour{215, 205, 180}, static_cast<float>(0.6 * weave + 0.4 * dirt));
    // Folds of the stowed cloth: soft bands across.
    const double fold = 0.5 + 0.5 * std::sin((y * 3 + 0.6 * Fbm(x * 3, y * 2, seed + 2, 3, 0)) * 2 * kPi);
    return Scaled(c, static_cast<float>(0.88 + 0.12 * fold));
  });
}

Image Rope(int size, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    // Strands twisted round the rope: diagonal stripes across u (round) and v (along).
    const double s = std::fmod(x * 3 + y * 6 + 10, 1.0);
    const double strand = std::sin(s * kPi);
    const double fibre = Fbm(x * 32, y * 32, seed, 2, 0);
    const Colour c = Mix(Colour{70, 52, 30}, Colour{185, 150, 100}, static_cast<float>(strand * (0.75 + 0.25 * fibre)));
    return c;
  });
}

// Boat planking: cream sides, a black sheer strake at the top of the picture
// (the gunwale), clinker lines along.
Image BoatPaint(int size, std::uint32_t seed) {
  return Paint(size, [&](double x, double y) {
    const double dirt = Fbm(x * 5, y * 5, seed, 4, 0);
    Colour c = Mix(Colour{175, 165, 140}, Colour{230, 222, 200}, static_cast<float>(dirt));
    if (y < 0.1) c = Mix(Colour{22, 22, 24}, Colour{45, 42, 40}, static_cast<float>(dirt));
    const double lap = std::fmod(y * 9, 1.0);
    if (lap < 0.08) c = Scaled(c, 0.6f + 5 * static_cast<float>(lap));
    return c;
  });
}

// Contact shadow mask: luminance is the opacity (dense under the carriage).
Image ShadowMask(int size) {
  return Paint(size, [&](double x, double y) {
    const double dx = std::max(0.0, std::fabs(x - 0.5) * 2 - 0.55) / 0.45;
    const double dy = std::max(0.0, std::fabs(y - 0.5) * 2 - 0.55) / 0.45;
    const double d = std::min(1.0, std::sqrt(dx * dx + dy * dy));
    const float a = static_cast<float>(150 * (1 - d * d) * (1 - d));
    return Colour{a, a, a};
  });
}

// Fire colour by heat 0..1 (black to white through red and yellow).
Colour Heat(double h) {
  h = std::clamp(h, 0.0, 1.0);
  const Colour stops[5] = {{0, 0, 0}, {150, 25, 5}, {245, 105, 20}, {255, 200, 70}, {255, 250, 225}};
  const double p = h * 4;
  const int i = std::min(3, static_cast<int>(p));
  return Mix(stops[i], stops[i + 1], static_cast<float>(p - i));
}

}  // namespace

// The fire atlas. Its top half holds four flame tongues (128 x 176 each,
// base at the bottom, from fresh to dying) over four round bursts (76 across,
// centred at row 216); the bottom half is the top half mirrored, so the
// atlas reads the same whichever way up the texture rows run. Black is
// transparent: the alpha-keyed texture takes its alpha from the brightness.
Image FirePicture() {
  Image img(kFireAtlas, kFireAtlas);
  const float level[4] = {1.0f, 0.8f, 0.58f, 0.36f};
  for (int cell = 0; cell < 4; ++cell) {
    const float k = level[cell];
    for (int y = kTongueTip; y <= kTongueBase; ++y)
      for (int x = cell * 128; x < cell * 128 + 128; ++x) {
        const double a = (x - cell * 128 - 63.5) / 60.0;                            // across, -1..1
        const double b = static_cast<double>(kTongueBase - y) / (kTongueBase - kTongueTip);  // from the base
        const double flick = Fbm(a * 3 + cell * 7, b * 6, 41, 4, 0);
        // Narrow at the muzzle, widest a third of the way out, licking to a tip.
        const double width = (0.28 + 0.72 * std::pow(std::sin(kPi * b * 0.9), 0.7)) * (1 - std::pow(b, 4.0)) *
                             (0.75 + 0.45 * flick);
        const double across = width > 0.01 ? a / width : 10;
        const double body = std::exp(-across * across * 2.5);
        double h = body * (1.3 - 1.0 * b) * (0.75 + 0.5 * flick) * k;
        if (cell > 1) h *= 0.85 + 0.3 * Fbm(a * 9, b * 9, 43 + cell, 3, 0);  // breaking up
        const Colour c = Heat(h);
        float* p = img.at(x, y);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
    for (int y = kBurstRow - kBurstRadius; y <= kBurstRow + kBurstRadius; ++y)
      for (int x = cell * 128 + 64 - kBurstRadius; x <= cell * 128 + 64 + kBurstRadius; ++x) {
        const double dx = (x - cell * 128 - 64) / static_cast<double>(kBurstRadius - 1);
        const double dy = (y - kBurstRow) / static_cast<double>(kBurstRadius - 1);
        const double r = std::sqrt(dx * dx + dy * dy);
        if (r >= 1) continue;
        const double ang = std::atan2(dy, dx);
        const double rays = std::pow(ValueNoise(ang * 2.5 + 20, cell * 3.0, 47, 0), 3.0) * 2.2;
        const double ray = std::exp(-r * r * 2.5) * (0.6 + rays) * (1 - r);
        const double core = std::exp(-r * r * 5);
        const double h = 1.2 * (0.9 * core + 0.8 * ray) * k * (0.8 + 0.3 * Fbm(dx * 4, dy * 4, 53 + cell, 3, 0));
        const Colour c = Heat(h);
        float* p = img.at(x, y);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
      }
  }
  // Sparks thrown out with the flame, on the dying tongues.
  Rng rng(59);
  for (int s = 0; s < 120; ++s) {
    const int cell = 1 + static_cast<int>(rng.Uniform() * 3);
    const int x = cell * 128 + 10 + static_cast<int>(rng.Uniform() * 108);
    const int y = kTongueTip + 6 + static_cast<int>(rng.Uniform() * (kTongueBase - kTongueTip - 30));
    const Colour c = Heat(0.7 + 0.3 * rng.Uniform());
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const float w = (dx == 0 && dy == 0) ? 1.0f : 0.35f;
        float* p = img.at(x + dx, y + dy);
        p[0] = std::max(p[0], c.r * w);
        p[1] = std::max(p[1], c.g * w);
        p[2] = std::max(p[2], c.b * w);
      }
  }
  for (int y = 0; y < kFireAtlas / 2; ++y)
    for (int x = 0; x < kFireAtlas; ++x) {
      const float* from = img.at(x, y);
      float* to = img.at(x, kFireAtlas - 1 - y);
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
    }
  return img;
}

void AuthorMaterials(SceneAuthor& scene) {
  auto textured = [&](const char* name, const std::string& image, const Image& picture) {
    scene.image(image, picture, 85);
    ArchiveMaterial m;
    m.description = LitMaterial({1, 1, 1}, 0.62f);
    m.layers = {Layer(1, {image})};
    scene.material(name, m);
  };
  textured(kOak, "deck_oak.jpg", Wood(256, {150, 108, 68}, {78, 52, 32}, 4, 101));
  textured(kPine, "deck_pine.jpg", Wood(256, {205, 172, 122}, {140, 105, 66}, 3, 103));
  textured(kIron, "deck_iron.jpg", Iron(256, 107));
  textured(kBrass, "deck_brass.jpg", Brass(128, 109));
  textured(kCanvas, "deck_canvas.jpg", Canvas(256, 113));
  textured(kBoatPaint, "deck_boat.jpg", BoatPaint(256, 127));
  textured(kRope, "deck_rope.jpg", Rope(128, 131));
  textured(kRedPaint, "deck_red.jpg", PaintedWood(256, {150, 42, 30}, {120, 85, 55}, 4, 137));
  textured(kLidPaint, "deck_lid.jpg", PaintedWood(128, {38, 70, 64}, {110, 80, 50}, 3, 139));

  // The shadow is black; its opacity comes from the mask alone.
  scene.image("deck_shadow.jpg", ShadowMask(64), 90);
  ArchiveMaterial shadow;
  shadow.description = LitMaterial({0, 0, 0}, 0);
  shadow.layers = {Layer(4, {"deck_shadow.jpg"})};
  scene.material(kShadow, shadow);

  // Fire shows its own colours whatever the light: fully emissive.
  scene.image(kFireImage, FirePicture(), 88);
  ArchiveMaterial fire;
  fire.description = LitMaterial({0, 0, 0}, 0, {1, 1, 1});
  fire.twoSided = 1;
  fire.layers = {Layer(6, {kFireImage})};
  scene.material(kFire, fire);
}

}  // namespace brisane::assets::ship::deck
