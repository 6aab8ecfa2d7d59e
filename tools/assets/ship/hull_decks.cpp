// The decks, from the head's grating to the poop, and the bulwarks' insides
// with the breastworks and rails at the decks' breaks.
#include <algorithm>
#include <string>
#include <vector>

#include "hull_mesh.h"
#include "hull_paint.h"
#include "hull_parts.h"

namespace brisane::assets::ship::hull {

namespace {

using layout::HalfBreadth;
using layout::RailZ;
using layout::SternX;
using layout::StemX;

float InnerHalf(float x, float z) { return std::max(0.2f, HalfBreadth(x, z) - kSideThickness); }

MeshBuilder DeckMesh(float xa, float xb, float z, int cols) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float x = xa + (xb - xa) * s;
        const float w = InnerHalf(x, z);
        return Vector3{x, -w + 2 * w * t, z};
      },
      cols, 4, [](Vector3 p, float, float) { return Coords{p.x / kDeckRepeat, p.y / kDeckRepeat, 0, 0}; },
      [](float, float) { return Vector3{0, 0, 1}; });
  return m;
}

// Port bulwark inside between xa and xb above the deck at z; the starboard
// one is its mirror.
MeshBuilder InsideMesh(float xa, float xb, float deckZ, int cols) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float x = xb - (xb - xa) * s;
        const float z = deckZ + (std::max(deckZ + 0.5f, RailZ(x)) - deckZ) * t;
        return Vector3{x, -InnerHalf(x, z), z};
      },
      cols, 3, [](Vector3 p, float, float) { return Coords{p.x / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  return m;
}

// A bulkhead across the ship at x between two heights, facing aft (+x) or forward.
MeshBuilder Breastwork(float x, float z0, float z1, bool facingAft) {
  MeshBuilder m;
  Loft(
      m,
      [&](float s, float t) {
        const float z = z0 + (z1 - z0) * t;
        const float w = InnerHalf(x, z);
        const float y = facingAft ? -w + 2 * w * s : w - 2 * w * s;
        return Vector3{x, y, z};
      },
      6, 2, [](Vector3 p, float, float) { return Coords{p.y / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  return m;
}

// The rail along a deck's break: a cap on turned posts, above the bulkhead.
MeshBuilder BreakRail(float x, float deckZ) {
  MeshBuilder m;
  const float w = InnerHalf(x, deckZ + 4);
  const float dx = x < 0 ? -0.5f : 0.5f;  // stands on the upper deck's edge
  m.box({x - 0.6f + dx, -w, deckZ + 4}, {x + 0.6f + dx, w, deckZ + 5}, 0.05f);
  const int posts = static_cast<int>(2 * w / 7);
  for (int k = 0; k <= posts; ++k) {
    const float y = -w + 0.6f + (2 * w - 1.2f) * static_cast<float>(k) / posts;
    m.box({x - 0.4f + dx, y - 0.4f, deckZ}, {x + 0.4f + dx, y + 0.4f, deckZ + 4}, 0.05f);
  }
  return m;
}

float ForemostDeckX(float z) {
  float x = StemX(z) + 0.5f;
  while (InnerHalf(x, z) < 0.4f && x < 0) x += 0.25f;
  return x;
}

}  // namespace

void AuthorDecks(SceneAuthor& scene) {
  using namespace layout;
  scene.material("hull_deck", Plain("hull_deck.jpg", 0.65f));
  scene.material("hull_inside", Plain("hull_inside.jpg", 0.65f));
  const float foreX = ForemostDeckX(kForecastleDeckZ);
  const float poopEnd = SternX(kPoopDeckZ) - kSideThickness;
  auto deck = [&](const std::string& name, const MeshBuilder& m) {
    scene.object(name, kShip, Matrix::Identity(), {m.build("hull_deck")});
  };
  deck("desc01", DeckMesh(kForecastleBreakX, kQuarterdeckBreakX, kWaistDeckZ, 24));
  deck("desck02", DeckMesh(foreX, kForecastleBreakX, kForecastleDeckZ, 12));
  deck("desck03", DeckMesh(kQuarterdeckBreakX, kPoopBreakX, kQuarterdeckZ, 12));
  {
    // The poop deck's after edge follows the transom's round-up.
    MeshBuilder poopDeck = DeckMesh(kPoopBreakX, poopEnd, kPoopDeckZ, 10);
    for (Vertex& v : poopDeck.vertices())
      if (v.p.x >= poopEnd - 0.01f) v.p.x += SternBulge(v.p.y, kPoopDeckZ);
    deck("desck04", poopDeck);
  }
  {
    // The head's grating platform, over the knee behind the figurehead.
    MeshBuilder head;
    const float z = 62, xa = StemX(z) - 10, xb = StemX(z) + 3;
    Loft(
        head,
        [&](float s, float t) {
          const float x = xa + (xb - xa) * s;
          const float w = 1.5f + 6 * s;
          return Vector3{x, -w + 2 * w * t, z};
        },
        3, 2, [](Vector3 p, float, float) { return Coords{p.x / 20, p.y / 20, 0, 0}; },
        [](float, float) { return Vector3{0, 0, 1}; });
    head.box({xa, -7.5f, z - 1.2f}, {xb, 7.5f, z - 0.05f}, 0.05f);
    deck("desck05", head);
  }

  auto inside = [&](const std::string& name, std::vector<MeshBuilder> parts) {
    MeshBuilder all;
    for (const MeshBuilder& p : parts) all.append(p);
    scene.object(name, kShip, Matrix::Identity(), {all.build("hull_inside")});
  };
  auto mirrored = [](const MeshBuilder& port) {
    MeshBuilder m;
    m.append(port, Scale(1, -1, 1));
    return m;
  };
  const MeshBuilder waist = InsideMesh(kForecastleBreakX, kQuarterdeckBreakX, kWaistDeckZ, 24);
  inside("board_high_inside", {waist});
  inside("ard_high_inside02", {mirrored(waist)});
  const MeshBuilder fore = InsideMesh(foreX, kForecastleBreakX, kForecastleDeckZ, 12);
  inside("f_board01in", {fore, mirrored(fore), Breastwork(kForecastleBreakX, kWaistDeckZ, kForecastleDeckZ, true),
                         BreakRail(kForecastleBreakX, kForecastleDeckZ)});
  const MeshBuilder quarter = InsideMesh(kQuarterdeckBreakX, kPoopBreakX, kQuarterdeckZ, 12);
  inside("f_board02in01", {quarter, Breastwork(kQuarterdeckBreakX, kWaistDeckZ, kQuarterdeckZ, false),
                           BreakRail(kQuarterdeckBreakX, kQuarterdeckZ)});
  inside("f_board02in02", {mirrored(quarter)});
  const MeshBuilder poop = InsideMesh(kPoopBreakX, poopEnd, kPoopDeckZ, 8);
  // The transom's inside above the poop deck.
  MeshBuilder transom;
  Loft(
      transom,
      [&](float s, float t) {
        // Up to the taffrail's crown, so nothing of the stern is open from inboard.
        const float zRail = kPoopDeckZ + (RailZ(SternX(90)) - kPoopDeckZ) * t;
        const float w = InnerHalf(poopEnd, zRail);
        const float y = w - 2 * w * s;
        const float z = kPoopDeckZ + (TaffrailZ(y) - kPoopDeckZ) * t;
        return Vector3{SternX(z) - kSideThickness + SternBulge(y, z), y, z};
      },
      8, 2, [](Vector3 p, float, float) { return Coords{p.y / kWoodRepeat, (100 - p.z) / kWoodRepeat, 0, 0}; });
  inside("f_board03in", {poop, mirrored(poop), Breastwork(kPoopBreakX, kQuarterdeckZ, kPoopDeckZ, false), transom,
                         BreakRail(kPoopBreakX, kPoopDeckZ)});
}

}  // namespace brisane::assets::ship::hull
