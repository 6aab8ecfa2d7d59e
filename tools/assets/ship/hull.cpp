// The hull part: its pictures, the materials and lightmaps its pieces share,
// the pieces in order, and the reference dummies on the waterline, low in the
// hull and on the waist deck.
#include <algorithm>
#include <string>
#include <vector>

#include "hull_paint.h"
#include "hull_parts.h"
#include "parts.h"
#include "show/ship_contract.h"
#include "stock_pictures.h"

namespace brisane::assets::ship {

namespace hull {

void Picture(SceneAuthor& scene, const std::string& name, const Image& img) { scene.image(name, FlipRows(img), 85); }

ArchiveMaterial Lightmapped(const std::string& diffuse, std::vector<std::string> lightmaps) {
  ArchiveMaterial m;
  m.description = LitMaterial({1, 1, 1}, 0.62f);
  m.layers = {Layer(1, {diffuse}), Layer(5, std::move(lightmaps), 1)};
  return m;
}

ArchiveMaterial Plain(const std::string& diffuse, float ambient) {
  ArchiveMaterial m;
  m.description = LitMaterial({1, 1, 1}, ambient);
  m.layers = {Layer(1, {diffuse})};
  return m;
}

std::vector<std::string> BakeLightmaps(SceneAuthor& scene, const std::string& part, int w, int h, bool waves,
                                       const std::function<float(float, float)>& still,
                                       const std::function<float(float, float, int)>& wave) {
  std::vector<float> base(static_cast<std::size_t>(w) * h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) base[static_cast<std::size_t>(j) * w + i] = still((i + 0.5f) / w, (j + 0.5f) / h);
  std::vector<std::string> names;
  const int frames = waves ? kWaveFrames : 1;
  for (int k = 0; k < frames; ++k) {
    const Image img = LightmapImage(w, h, [&](float u, float v) {
      const int i = std::min(w - 1, static_cast<int>(u * w)), j = std::min(h - 1, static_cast<int>(v * h));
      return base[static_cast<std::size_t>(j) * w + i] + (waves ? wave(u, v, k) : 0.0f);
    });
    names.push_back("hull_lm_" + part + "_" + Two(k + 1) + ".jpg");
    Picture(scene, names.back(), img);
  }
  return names;
}

}  // namespace hull

namespace {

using namespace hull;

void AuthorDummies(SceneAuthor& scene) {
  using namespace layout;
  for (int i = 0; i < 3; ++i) scene.group(std::string(contract::kWaterPoints[i]), kShip, Translate(kWaterPoint[i]));
  // Creaks low in the hull, fore and aft.
  scene.group(std::string(contract::kCreaks[0]), kShip, Translate({-150, 0, -20}));
  scene.group(std::string(contract::kCreaks[1]), kShip, Translate({150, 0, -20}));
  // One metre on the waist deck.
  scene.group(std::string(contract::kMetreMarks[0]), kShip, Translate({-20, 0, kWaistDeckZ}));
  scene.group(std::string(contract::kMetreMarks[1]), kShip, Translate({-20 + kUnitsPerMetre, 0, kWaistDeckZ}));
}

void AuthorPictures(SceneAuthor& scene) {
  Picture(scene, "hull_board_high.jpg", PaintUpperWorks());
  Picture(scene, "hull_board_mid.jpg", PaintMiddleBand());
  Picture(scene, "hull_board_low.jpg", PaintBootTopping());
  Picture(scene, "hull_copper.jpg", PaintCopper());
  Picture(scene, "hull_keel.jpg", PaintKeelWood());
  Picture(scene, "hull_stern.jpg", PaintStern());
  Picture(scene, "hull_deck.jpg", PaintDeck());
  Picture(scene, "hull_inside.jpg", PaintInside());
  Picture(scene, "hull_carving.jpg", PaintCarving());
  Picture(scene, "hull_balusters.jpg", PaintBalusters());
  Picture(scene, "Lantern01.jpg", PaintLanternGlass());
  Picture(scene, "Lantern01alfa.jpg", PaintLanternAlpha());
  Picture(scene, "hull_iron.jpg", WroughtIron());
}

}  // namespace

void AuthorHull(SceneAuthor& scene) {
  scene.setFamily("hull");
  AuthorPictures(scene);
  hull::AuthorSide(scene);
  hull::AuthorKeelAndRudder(scene);
  hull::AuthorStern(scene);
  hull::AuthorCarvedWork(scene);
  hull::AuthorDecks(scene);
  hull::AuthorLanterns(scene);
  AuthorDummies(scene);
}

}  // namespace brisane::assets::ship
