// The deck part of the ship scene played the way the show plays it: the
// guns' run-out, recoil and run-in, the port lids, and the fire meshes that
// must show a burst inside their windows and nothing anywhere else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "scene/material.h"
#include "ship/deck_parts.h"
#include "ship/deck_shapes.h"
#include "ship/layout.h"
#include "ship/parts.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;

struct DeckPart {
  static void Author(SceneAuthor& author) { AuthorDeck(author); }
  static constexpr const char* kFamily = "deck";
};

// The deck authored alone under the ship's node, loaded by the program's loader.
class ShipDeckScene : public fixtures::LoadedShipPart<DeckPart> {
 protected:
  void at(std::uint32_t ms) {
    clock_.set(kStart + ms);
    settle();
  }
};

Vector3 Position(const SceneNode& n) { return TranslationOf(n.world()); }
Vector3 Direction(const SceneNode& n, Vector3 d) { return TransformDirection(d, n.world()); }

using fixtures::VisibleArea;

// Outward distance of the muzzle beyond the hull's skin at the port.
float MuzzleBeyondSkin(SceneNode& muzzle, int gun) {
  return Position(muzzle).y * layout::GunSide(gun) - deck::PortHalfBreadth(gun);
}

TEST_F(ShipDeckScene, GunsRunOutRecoilPastTheirRunInPlaceAndRunIn) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    SceneNode& g = node(std::string(contract::kGuns[gun - 1]));
    SceneNode& muzzle = node(std::string(contract::kGunMuzzles[gun - 1]));
    ASSERT_EQ(muzzle.parent(), &g);
    // Children get the gun's windows too: none of them may move by itself.
    for (const SceneNode* child : g.children()) EXPECT_EQ(child->keys().size(), 1u) << child->name();

    const float in = MuzzleBeyondSkin(muzzle, gun);
    EXPECT_LT(in, -5.0f) << "a run-in gun stays behind its closed lid";
    EXPECT_NEAR(Position(muzzle).x, layout::GunX(gun), 0.01f);
    EXPECT_NEAR(Position(muzzle).z, layout::kGunAxisZ, 0.01f);

    clock_.set(kStart);
    g.startAnimation(0, 999, -499, 0.5f, 1);  // ports opening
    at(400);
    EXPECT_NEAR(MuzzleBeyondSkin(muzzle, gun), in, 0.01f) << "waits for its lid";
    at(1500);
    const float half = MuzzleBeyondSkin(muzzle, gun);
    EXPECT_GT(half, in + 1);
    EXPECT_LT(half, in + layout::kRunOut - 1);
    at(3000);
    const float out = MuzzleBeyondSkin(muzzle, gun);
    EXPECT_NEAR(out - in, layout::kRunOut, 0.01f);
    EXPECT_GT(out, 1.0f) << "the muzzle pokes out of the port";
    EXPECT_LT(out, 4.0f);

    clock_.set(kStart + 4000);
    g.startAnimation(1349, 1899, 0, 1.0f, 1);  // the shot
    at(4000);
    EXPECT_NEAR(MuzzleBeyondSkin(muzzle, gun), out, 0.01f);
    at(4051);
    EXPECT_LT(MuzzleBeyondSkin(muzzle, gun), in - 1) << "thrown back past the run-in place";
    at(4250);
    const float hauling = MuzzleBeyondSkin(muzzle, gun);
    EXPECT_GT(hauling, in - 3);
    EXPECT_LT(hauling, out - 1);
    at(4600);
    EXPECT_NEAR(MuzzleBeyondSkin(muzzle, gun), out, 0.01f);

    clock_.set(kStart + 5000);
    g.startAnimation(2149, 2949, 0, 0.5f, 1);  // running in
    at(5800);
    const float going = MuzzleBeyondSkin(muzzle, gun);
    EXPECT_LT(going, out - 1);
    EXPECT_GT(going, in + 1);
    at(6700);
    EXPECT_NEAR(MuzzleBeyondSkin(muzzle, gun), in, 0.01f);
  }
}

TEST_F(ShipDeckScene, PortLidsSwingOutAndUpOnTheirTopHingeAndClose) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    SceneNode& lid = node(std::string(contract::kGunPorts[gun - 1]));
    const float side = layout::GunSide(gun);
    const Vector3 hinge = Position(lid);
    EXPECT_NEAR(hinge.z, layout::kGunAxisZ + layout::kPortSize / 2, 1.0f) << "hinged at the port's top";
    EXPECT_NEAR(hinge.y * side, deck::PortHalfBreadth(gun), 1.5f) << "on the hull's side";
    const Vector3 down = Direction(lid, {0, 0, -1});
    EXPECT_NEAR(down.z, -1, 1e-4f) << "closed at load";

    clock_.set(kStart);
    lid.startAnimation(0, 499, 0, 0.3f, 1);
    at(800);
    const Vector3 half = Direction(lid, {0, 0, -1});
    EXPECT_GT(half.y * side, 0.3f);
    EXPECT_LT(half.y * side, 0.95f);
    at(2000);
    const Vector3 open = Direction(lid, {0, 0, -1});
    // About 80 degrees up: the lower edge swung outwards, nearly level.
    EXPECT_NEAR(std::acos(std::clamp(-open.z / Length(open), -1.0f, 1.0f)) * 180 / kPi, 80, 2);
    EXPECT_GT(open.y * side, 0.95f);
    EXPECT_NEAR(Length(Position(lid) - hinge), 0, 1e-3f) << "turns about its hinge";
    EXPECT_NEAR(Length(open), 1, 0.02f) << "no visible shrinking between keys";

    clock_.set(kStart + 3000);
    lid.startAnimation(2649, 3199, -800, 0.3f, 1);
    at(3700);
    EXPECT_NEAR(Direction(lid, {0, 0, -1}).y * side, open.y * side, 1e-3f) << "waits for its gun";
    at(3000 + 800 + 1900);
    EXPECT_NEAR(Direction(lid, {0, 0, -1}).z, -1, 1e-4f) << "closed again";
  }
}

TEST_F(ShipDeckScene, FireShowsABurstOnlyInsideTheWindowsTheGunsPlay) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    for (int which = 1; which <= 2; ++which) {
      const deck::FireWindow window = which == 1 ? deck::kFire1Window : deck::kFire2Window;
      GeometryObject& fire = object(std::string((which == 1 ? contract::kGunFires1 : contract::kGunFires2)[gun - 1]));
      // Drawn blended from the start, though it shows nothing at load.
      EXPECT_NE(std::find(scene_->transparentList().begin(), scene_->transparentList().end(), &fire),
                scene_->transparentList().end());
      EXPECT_EQ(VisibleArea(fire), 0.0f);
      EXPECT_LT(Length(Position(fire) - deck::MuzzleOut(gun)), 0.01f);

      clock_.set(kStart);
      fire.startAnimation(0, 2939, 0, 1.0f, 1);
      fire.startGeometryAnimation(0, window.to, static_cast<std::int32_t>(window.from), 1.0f, 1);
      float largest = 0;
      int shown = 0;
      const std::uint32_t length = window.to - window.from;
      for (std::uint32_t ms = 0; ms < length - 8; ms += 4) {
        at(ms);
        const float area = VisibleArea(fire);
        largest = std::max(largest, area);
        shown += area > 0;
      }
      EXPECT_GT(largest, 50.0f) << "a burst worth seeing";
      EXPECT_GT(shown * 4u, length * 3 / 4) << "for most of the window";
      EXPECT_GT(Position(fire).y * layout::GunSide(gun), deck::MuzzleOut(gun).y * layout::GunSide(gun))
          << "pushed outwards";
      for (std::uint32_t ms : {length + 1, length + 50, 3000u}) {
        at(ms);
        EXPECT_EQ(VisibleArea(fire), 0.0f) << ms;
      }
      // The whole key window played from the start shows nothing at its end either.
      clock_.set(kStart + 10000);
      fire.startGeometryAnimation(0, window.to, 0, 1.0f, 1);
      at(10000 + 200);
      EXPECT_EQ(VisibleArea(fire), 0.0f);
      at(10000 + window.to + 20);
      EXPECT_EQ(VisibleArea(fire), 0.0f);
    }
  }
}

TEST_F(ShipDeckScene, EveryPartRidesWithTheShipAndFireAndShadowsAreBlended) {
  // Every deck part hangs from the ship, so the ship's motion carries it.
  for (const auto& [name, found] : scene_->nodes()) {
    const SceneNode* up = found;
    while (up->parent() && up->parent() != &scene_->root()) up = up->parent();
    EXPECT_EQ(up->name(), layout::kShip) << name;
  }

  const Material* fire = scene_->findMaterial(deck::kFire);
  ASSERT_NE(fire, nullptr);
  ASSERT_NE(fire->layer(LayerAlphaKeyed), nullptr);
  EXPECT_TRUE(fire->isTransparent());
  EXPECT_NE(scene_->textures().count(TextureCacheKey{deck::kFireImage, LayerAlphaKeyed}), 0u);
  const Material* shadow = scene_->findMaterial(deck::kShadow);
  ASSERT_NE(shadow, nullptr);
  EXPECT_NE(shadow->layer(LayerOpacity), nullptr);
  EXPECT_NE(std::find(scene_->transparentList().begin(), scene_->transparentList().end(), &object("gun_shadow01")),
            scene_->transparentList().end());
}

// The fire's alpha is its brightness: the cells must fade to black at the
// edges the quads cut them at, and the atlas must read the same upside down.
TEST(ShipDeckFire, AtlasCellsAreDarkAtTheirEdgesBrightInsideAndMirrored) {
  const assets::Image atlas = deck::FirePicture();
  ASSERT_EQ(atlas.width, deck::kFireAtlas);
  ASSERT_EQ(atlas.height, deck::kFireAtlas);
  auto lum = [&](int x, int y) {
    const float* p = atlas.at(x, y);
    return (p[0] + p[1] + p[2]) / 3;
  };
  for (int cell = 0; cell < 4; ++cell) {
    SCOPED_TRACE(cell);
    float edge = 0, inner = 0;
    for (int y = deck::kTongueTip; y <= deck::kTongueBase; ++y) {
      edge = std::max({edge, lum(cell * 128 + 2, y), lum(cell * 128 + 125, y)});
      inner = std::max(inner, lum(cell * 128 + 64, y));
    }
    for (int x = cell * 128 + 2; x < cell * 128 + 126; ++x) edge = std::max(edge, lum(x, deck::kTongueTip));
    EXPECT_LT(edge, 40.0f);
    EXPECT_GT(inner, 120.0f);
    const int cx = cell * 128 + 64, r = deck::kBurstRadius;
    EXPECT_LT(std::max({lum(cx - r, deck::kBurstRow), lum(cx + r, deck::kBurstRow), lum(cx, deck::kBurstRow - r),
                        lum(cx, deck::kBurstRow + r)}),
              10.0f);
    EXPECT_GT(lum(cx, deck::kBurstRow), 100.0f);
  }
  EXPECT_GT(lum(64, deck::kTongueBase - 8), 200.0f) << "a white-hot root at the muzzle";
  for (int y = 0; y < atlas.height; y += 7)
    for (int x = 0; x < atlas.width; x += 5) ASSERT_EQ(lum(x, y), lum(x, atlas.height - 1 - y)) << x << "," << y;
}

using fixtures::ExpectFrontsOut;

TEST(ShipDeckShapes, TurnedProfilesAndFlippedSurfacesShowTheirOutsides) {
  // A cask on its side: hard edges at both heads, closed at both ends.
  deck::Profile cask = {{0, 0}, {0, 2}, {0, 2}, {3, 2.4f}, {6, 2}, {6, 2}, {6, 0}};
  MeshBuilder m;
  deck::Lathe(m, {1, 2, 3}, {1, 0, 0}, cask, 10);
  ExpectFrontsOut(m, [](Vector3 p) { return p - Vector3{4, 2, 3}; });  // convex: away from its middle
  // The heads face along the axis, out of the solid.
  for (const Vertex& v : m.vertices()) {
    if (std::fabs(v.p.x - 1) < 1e-4f && Length(v.p - Vector3{1, 2, 3}) < 1.9f) {
      EXPECT_LT(v.n.x, -0.99f);
    }
    if (std::fabs(v.p.x - 7) < 1e-4f && Length(v.p - Vector3{7, 2, 3}) < 1.9f) {
      EXPECT_GT(v.n.x, 0.99f);
    }
  }

  // A cylinder lofted the "wrong" way round is turned to face away from its axis.
  for (float turn : {1.0f, -1.0f}) {
    MeshBuilder s;
    deck::SurfaceAway(
        s, [&](float u, float t) { return Vector3{t * 5, std::cos(turn * 2 * kPi * u), std::sin(turn * 2 * kPi * u)}; },
        12, 3, {2.5f, 0, 0});
    ExpectFrontsOut(s, [](Vector3 p) { return Vector3{0, p.y, p.z}; });
  }
}

}  // namespace
