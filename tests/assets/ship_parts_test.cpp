// The deck and rig parts of the ship scene, each loaded alone and played the
// way the show plays it.
#include "scene/material.h"
#include "ship/deck_parts.h"
#include "ship/rig_common.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::VertexAt;
using fixtures::VisibleArea;

struct DeckPart { static void Author(SceneAuthor& author) { AuthorDeck(author); } };

class ShipDeckScene : public fixtures::LoadedShipPart<DeckPart> {
 protected:
  // Starts a key window at `ms` as the show does.
  void play(SceneNode& n, std::uint32_t ms, contract::KeyWindow w, std::int32_t offset, float speed) {
    clock_.set(kStart + ms);
    n.StartAnimation(w.from, w.to, offset, speed, 1);
  }
};

Vector3 Position(const SceneNode& n) { return TranslationOf(n.world()); }

// Played in the show's windows, each gun waits behind its closed lid, runs
// out once the lid is up, recoils past its run-in place and runs in; the lid
// closes after its gun.
TEST_F(ShipDeckScene, GunsRunOutRecoilAndRunInWhileTheirLidsOpenAndClose) {
  for (int gun = 1; gun <= 8; ++gun) {
    SCOPED_TRACE(gun);
    SceneNode &g = node(contract::kGuns[gun - 1]), &muzzle = node(contract::kGunMuzzles[gun - 1]);
    SceneNode& lid = node(contract::kGunPorts[gun - 1]);
    ASSERT_EQ(muzzle.parent(), &g);
    const float side = layout::GunSide(gun);
    auto beyond = [&] { return Position(muzzle).y * side - deck::PortHalfBreadth(gun); };  // past the hull's skin
    auto closed = [&] { return TransformDirection({0, 0, -1}, lid.world()).z < -0.99f; };  // the lid's lower edge down
    const float in = beyond();
    EXPECT_LT(in, 0) << "behind its closed lid";
    EXPECT_TRUE(closed()) << "at load";
    play(lid, 0, contract::kPortOpen, 0, 0.3f);
    play(g, 0, contract::kGunRunOut, -499, 0.5f);
    at(400);
    EXPECT_NEAR(beyond(), in, 0.01f) << "waits for its lid";
    at(3000);
    EXPECT_FALSE(closed());
    const float out = beyond();
    EXPECT_GT(out, 0) << "out through the port";
    play(lid, 3000, contract::kPortClose, -800, 0.3f);
    at(3700);
    EXPECT_FALSE(closed()) << "the lid waits for its gun";
    play(g, 4000, contract::kGunRecoil, 0, 1.0f);
    at(4051);
    EXPECT_LT(beyond(), in - 1) << "recoils past its run-in place";
    play(g, 5000, contract::kGunRunIn, 0, 0.5f);
    at(5700);
    EXPECT_TRUE(closed()) << "closed again";
    at(6700);
    EXPECT_NEAR(beyond(), in, 0.01f);
  }
}

// Fire and shadows are drawn blended; the fire shows a burst inside its
// window and nothing before or after; every deck part rides with the ship.
TEST_F(ShipDeckScene, FireShowsABurstOnlyInsideTheWindowsTheGunsPlay) {
  const auto& blended = scene_->transparentList();
  auto isBlended = [&](const SceneNode& n) { return std::find(blended.begin(), blended.end(), &n) != blended.end(); };
  const Material *fireLook = scene_->FindMaterial(deck::kFire), *shadow = scene_->FindMaterial(deck::kShadow);
  ASSERT_TRUE(fireLook && shadow);
  EXPECT_TRUE(fireLook->layer(LayerKind::AlphaKeyed) && fireLook->isTransparent() && shadow->layer(LayerKind::Opacity));
  EXPECT_NE(scene_->textures().count(TextureCacheKey{deck::kFireImage, LayerKind::AlphaKeyed}), 0u);
  EXPECT_TRUE(isBlended(node("gun_shadow01")));
  for (const auto& [name, found] : scene_->nodes()) {
    const SceneNode* up = found;
    while (up->parent() && up->parent() != &scene_->root()) up = up->parent();
    EXPECT_EQ(up->name(), layout::kShip) << name;
  }
  for (int gun = 1; gun <= 8; ++gun)
    for (int which = 1; which <= 2; ++which) {
      SCOPED_TRACE(gun * 10 + which);
      const deck::FireWindow window = which == 1 ? deck::kFire1Window : deck::kFire2Window;
      GeometryObject& fire = object((which == 1 ? contract::kGunFires1 : contract::kGunFires2)[gun - 1]);
      EXPECT_TRUE(isBlended(fire));
      EXPECT_EQ(VisibleArea(fire), 0.0f);
      play(fire, 0, {0, contract::kFireKeysEnd}, 0, 1.0f);
      fire.StartGeometryAnimation(0, window.to, static_cast<std::int32_t>(window.from), 1.0f, 1);
      std::uint32_t shown = 0;
      const std::uint32_t length = window.to - window.from;
      for (std::uint32_t ms = 0; ms < length - 8; ms += 4) {
        at(ms);
        shown += VisibleArea(fire) > 0;
      }
      EXPECT_GT(shown * 4, length * 3 / 4) << "for most of the window";
      at(length + 1);
      EXPECT_EQ(VisibleArea(fire), 0.0f) << "after the window";
      clock_.set(kStart + 10000);
      fire.StartGeometryAnimation(0, window.to, 0, 1.0f, 1);
      at(10200);
      EXPECT_EQ(VisibleArea(fire), 0.0f) << "before the window";
    }
}

struct RigPart { static void Author(SceneAuthor& author) { AuthorRig(author); } };
using RigScene = fixtures::LoadedShipPart<RigPart>;

TEST_F(RigScene, ClothsHangInTheRigFrameAndEveryWavingPartLoopsOverItsWindow) {
  auto check = [&](std::string_view name, std::uint32_t window) {
    SCOPED_TRACE(name);
    const auto& frames = object(name).frames();
    ASSERT_GT(frames.size(), 3u);
    EXPECT_TRUE(frames.front().time == 0 && frames.back().time >= window);
    const Mesh& first = *frames.front().meshes[0];
    EXPECT_EQ(first.vertices(), frames.back().meshes[0]->vertices()) << "the loop jumps";
    EXPECT_NE(first.vertices(), frames[frames.size() / 3].meshes[0]->vertices()) << "it does not wave";
  };
  for (std::string_view rope : contract::kRopes) check(rope, contract::kRiggingWindow);
  for (const contract::Waving& cloth : contract::kCloths) {
    if (fixtures::IsCopy(cloth.node)) continue;
    check(cloth.node, cloth.toTime);
    // The clone matrices are written in the rig frame; the cloth shows both sides.
    GeometryObject& g = object(cloth.node);
    EXPECT_EQ(g.parent()->name(), layout::kRig);
    ASSERT_TRUE(g.activeMeshes().size() == 1 && g.activeMeshes()[0]->material());
    EXPECT_NE(g.activeMeshes()[0]->material()->twoSided(), 0u);
  }
}

TEST_F(RigScene, TheFlagSpansItsWholePicture) {
  const Mesh& flag = *object("flag01").activeMeshes()[0];
  float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f}, topZ = -1e9f, top[2] = {};
  for (std::size_t i = 0; i < flag.vertexCount(); ++i) {
    float uv[2];
    std::memcpy(uv, flag.vertices().data() + i * flag.stride() + 24, sizeof uv);
    for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], uv[k]), hi[k] = std::max(hi[k], uv[k]);
    if (VertexAt(flag, i).z > topZ) topZ = VertexAt(flag, i).z, top[0] = uv[0], top[1] = uv[1];
  }
  EXPECT_TRUE(lo[0] == 0 && lo[1] == 0 && hi[0] == 1 && hi[1] == 1);
  // Texture row 0 holds the picture's bottom row: the top of the hoist shows its top left corner.
  EXPECT_EQ(std::pair(top[0], top[1]), std::pair(0.0f, 1.0f));
}

}  // namespace
