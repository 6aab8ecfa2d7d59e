// Materials of the deck: stock wood, paint, iron and rope, and pictures of
// its own for brass, canvas, the boat, the carriages' contact shadow and the
// gun fire.
#include <algorithm>
#include <cmath>

#include "deck_parts.h"
#include "noise.h"
#include "paint.h"
#include "stock_pictures.h"

namespace brisane::assets::ship::deck {

namespace {

Image Brass(int size, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double n = Fbm(x * 6, y * 6, seed, 4, 0);
    const double band = 0.5 + 0.5 * std::sin(y * 2 * kPi * 3 + n * 2);
    Colour c = Mix(Colour{120, 85, 30}, Colour{225, 185, 95}, static_cast<float>(0.4 + 0.6 * band * n));
    const double tarnish = Fbm(x * 10, y * 10, seed + 4, 3, 0);
    if (tarnish > 0.6) c = Mix(c, Colour{70, 80, 50}, static_cast<float>((tarnish - 0.6) * 1.5));
    return c;
  });
}

Image Canvas(int size, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double weave = 0.5 + 0.25 * std::sin(x * size * kPi) * std::sin(y * size * kPi * 0.5) +
                         0.25 * std::sin(y * size * kPi);
    const double dirt = Fbm(x * 4, y * 4, seed, 5, 0);
    Colour c = Mix(Colour{150, 140, 115}, Colour{215, 205, 180}, static_cast<float>(0.6 * weave + 0.4 * dirt));
    // Folds of the stowed cloth: soft bands across.
    const double fold = 0.5 + 0.5 * std::sin((y * 3 + 0.6 * Fbm(x * 3, y * 2, seed + 2, 3, 0)) * 2 * kPi);
    return c * static_cast<float>(0.88 + 0.12 * fold);
  });
}

// Boat planking: cream sides, a black sheer strake at the top of the picture
// (the gunwale), clinker lines along.
Image BoatPaint(int size, std::uint32_t seed) {
  return PaintSquare(size, [&](double x, double y) {
    const double dirt = Fbm(x * 5, y * 5, seed, 4, 0);
    Colour c = Mix(Colour{175, 165, 140}, Colour{230, 222, 200}, static_cast<float>(dirt));
    if (y < 0.1) c = Mix(Colour{22, 22, 24}, Colour{45, 42, 40}, static_cast<float>(dirt));
    const double lap = std::fmod(y * 9, 1.0);
    if (lap < 0.08) c = c * (0.6f + 5 * static_cast<float>(lap));
    return c;
  });
}

// Contact shadow mask: luminance is the opacity (dense under the carriage).
Image ShadowMask(int size) {
  return PaintSquare(size, [&](double x, double y) {
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
        Put(img, x, y, Heat(h));
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
        Put(img, x, y, Heat(h));
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
  const Image flipped = FlipRows(img);
  const std::size_t half = img.rgb.size() / 2;
  std::copy(flipped.rgb.begin() + static_cast<std::ptrdiff_t>(half), flipped.rgb.end(),
            img.rgb.begin() + static_cast<std::ptrdiff_t>(half));
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
  textured(kOak, "deck_oak.jpg", PlankWood(256, {150, 108, 68}, {78, 52, 32}, 4, 101));
  textured(kPine, "deck_pine.jpg", PlankWood(256, {205, 172, 122}, {140, 105, 66}, 3, 103));
  textured(kIron, "deck_iron.jpg", CastIron(256, 107));
  textured(kBrass, "deck_brass.jpg", Brass(128, 109));
  textured(kCanvas, "deck_canvas.jpg", Canvas(256, 113));
  textured(kBoatPaint, "deck_boat.jpg", BoatPaint(256, 127));
  textured(kRope, "deck_rope.jpg", TwistedRope(128, 131));
  textured(kRedPaint, "deck_red.jpg", PaintedPlanks(256, {150, 42, 30}, {120, 85, 55}, 4, 137));
  textured(kLidPaint, "deck_lid.jpg", PaintedPlanks(128, {38, 70, 64}, {110, 80, 50}, 3, 139));

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
