// The deck part of the ship scene played the way the show plays it: the
// guns' run-out, recoil and run-in, the port lids, and fire that shows a
// burst inside its windows and nothing anywhere else.
#include "scene/material.h"
#include "ship/deck_parts.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::VisibleArea;

struct DeckPart {
  static void Author(SceneAuthor& author) { AuthorDeck(author); }
};

class ShipDeckScene : public fixtures::LoadedShipPart<DeckPart> {
 protected:
  // Starts a key window at `ms` as the show does.
  void play(SceneNode& n, std::uint32_t ms, contract::KeyWindow w, std::int32_t offset, float speed) {
    clock_.set(kStart + ms);
    n.startAnimation(w.from, w.to, offset, speed, 1);
  }
};

Vector3 Position(const SceneNode& n) { return TranslationOf(n.world()); }

TEST_F(ShipDeckScene, GunsRunOutRecoilPastTheirRunInPlaceAndRunIn) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    SceneNode& g = node(contract::kGuns[gun - 1]);
    SceneNode& muzzle = node(contract::kGunMuzzles[gun - 1]);
    ASSERT_EQ(muzzle.parent(), &g);
    for (const SceneNode* child : g.children()) EXPECT_EQ(child->keys().size(), 1u) << "moves by itself";
    EXPECT_NEAR(Position(muzzle).x, layout::GunX(gun), 0.01f);
    EXPECT_NEAR(Position(muzzle).z, layout::kGunAxisZ, 0.01f);
    // How far the muzzle reaches beyond the hull's skin at the port.
    auto beyond = [&] { return Position(muzzle).y * layout::GunSide(gun) - deck::PortHalfBreadth(gun); };
    const float in = beyond(), out = in + layout::kRunOut;
    EXPECT_LT(in, -5.0f) << "behind its closed lid";
    EXPECT_TRUE(out > 1 && out < 4) << out;
    auto between = [&](std::uint32_t ms, float lo, float hi) {
      at(ms);
      EXPECT_TRUE(beyond() >= lo && beyond() <= hi) << ms << ": " << beyond();
    };
    play(g, 0, contract::kGunRunOut, -499, 0.5f);
    between(400, in - 0.01f, in + 0.01f);  // waits for its lid
    between(3000, out - 0.01f, out + 0.01f);
    play(g, 4000, contract::kGunRecoil, 0, 1.0f);
    between(4051, -1e9f, in - 1);  // thrown back past the run-in place
    between(4600, out - 0.01f, out + 0.01f);
    play(g, 5000, contract::kGunRunIn, 0, 0.5f);
    between(6700, in - 0.01f, in + 0.01f);
  }
}

TEST_F(ShipDeckScene, PortLidsSwingOutAndUpOnTheirTopHingeAndClose) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    SceneNode& lid = node(contract::kGunPorts[gun - 1]);
    const float side = layout::GunSide(gun);
    const Vector3 hinge = Position(lid);
    EXPECT_NEAR(hinge.z, layout::kGunAxisZ + layout::kPortSize / 2, 1.0f);
    EXPECT_NEAR(hinge.y * side, deck::PortHalfBreadth(gun), 1.5f);
    auto down = [&] { return TransformDirection({0, 0, -1}, lid.world()); };  // the lid's lower edge
    EXPECT_NEAR(down().z, -1, 1e-4f) << "closed at load";
    play(lid, 0, contract::kPortOpen, 0, 0.3f);
    at(2000);
    const Vector3 open = down();
    // About 80 degrees up, outwards, turned about its hinge without shrinking.
    EXPECT_NEAR(std::acos(std::clamp(-open.z / Length(open), -1.0f, 1.0f)) * 180 / kPi, 80, 2);
    EXPECT_GT(open.y * side, 0.95f);
    EXPECT_NEAR(Length(Position(lid) - hinge), 0, 1e-3f);
    EXPECT_NEAR(Length(open), 1, 0.02f);
    play(lid, 3000, contract::kPortClose, -800, 0.3f);
    at(3700);
    EXPECT_NEAR(down().y, open.y, 1e-3f) << "waits for its gun";
    at(5700);
    EXPECT_NEAR(down().z, -1, 1e-4f) << "closed again";
  }
}

TEST_F(ShipDeckScene, FireShowsABurstOnlyInsideTheWindowsTheGunsPlay) {
  const auto& blended = scene_->transparentList();
  for (int gun = 1; gun <= 8; ++gun)
    for (int which = 1; which <= 2; ++which) {
      SCOPED_TRACE(gun * 10 + which);
      const deck::FireWindow window = which == 1 ? deck::kFire1Window : deck::kFire2Window;
      GeometryObject& fire = object((which == 1 ? contract::kGunFires1 : contract::kGunFires2)[gun - 1]);
      EXPECT_NE(std::find(blended.begin(), blended.end(), &fire), blended.end());
      EXPECT_EQ(VisibleArea(fire), 0.0f);
      EXPECT_LT(Length(Position(fire) - deck::MuzzleOut(gun)), 0.01f);
      play(fire, 0, {0, contract::kFireKeysEnd}, 0, 1.0f);
      fire.startGeometryAnimation(0, window.to, static_cast<std::int32_t>(window.from), 1.0f, 1);
      float largest = 0;
      std::uint32_t shown = 0;
      const std::uint32_t length = window.to - window.from;
      for (std::uint32_t ms = 0; ms < length - 8; ms += 4) {
        at(ms);
        largest = std::max(largest, VisibleArea(fire));
        shown += VisibleArea(fire) > 0;
      }
      EXPECT_GT(largest, 50.0f);
      EXPECT_GT(shown * 4, length * 3 / 4) << "for most of the window";
      EXPECT_GT((Position(fire).y - deck::MuzzleOut(gun).y) * layout::GunSide(gun), 0) << "pushed outwards";
      at(length + 1);
      EXPECT_EQ(VisibleArea(fire), 0.0f) << "after the window";
      clock_.set(kStart + 10000);
      fire.startGeometryAnimation(0, window.to, 0, 1.0f, 1);
      at(10200);
      EXPECT_EQ(VisibleArea(fire), 0.0f) << "before the window";
    }
}

TEST_F(ShipDeckScene, EveryPartRidesWithTheShipAndFireAndShadowsAreBlended) {
  for (const auto& [name, found] : scene_->nodes()) {
    const SceneNode* up = found;
    while (up->parent() && up->parent() != &scene_->root()) up = up->parent();
    EXPECT_EQ(up->name(), layout::kShip) << name;
  }
  const Material* fire = scene_->findMaterial(deck::kFire);
  ASSERT_NE(fire, nullptr);
  EXPECT_TRUE(fire->layer(LayerAlphaKeyed) && fire->isTransparent());
  EXPECT_NE(scene_->textures().count(TextureCacheKey{deck::kFireImage, LayerAlphaKeyed}), 0u);
  const Material* shadow = scene_->findMaterial(deck::kShadow);
  ASSERT_NE(shadow, nullptr);
  EXPECT_NE(shadow->layer(LayerOpacity), nullptr);
  const auto& blended = scene_->transparentList();
  EXPECT_NE(std::find(blended.begin(), blended.end(), &node("gun_shadow01")), blended.end());
}

}  // namespace
