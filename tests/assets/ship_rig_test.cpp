// The rig part of the ship scene as the program loads and plays it: seamless
// loops, the flag's picture, sheets that stay on the clews.
#include "scene/material.h"
#include "ship/rig_common.h"
#include "ship_part_fixture.h"

namespace {

using namespace brisane;
using namespace brisane::assets::ship;
using fixtures::VertexAt;

struct RigPart {
  static void Author(SceneAuthor& author) { AuthorRig(author); }
};
using RigScene = fixtures::LoadedShipPart<RigPart>;

TEST_F(RigScene, ClothsHangInTheRigFrameAndEveryWavingPartLoopsOverItsWindow) {
  auto check = [&](std::string_view name, std::uint32_t window) {
    SCOPED_TRACE(name);
    const auto& frames = object(name).frames();
    ASSERT_GT(frames.size(), 20u);
    EXPECT_EQ(frames.front().time, 0u);
    EXPECT_GE(frames.back().time, window);
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_LE(frames[i].time - frames[i - 1].time, 45u);
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
    ASSERT_EQ(g.activeMeshes().size(), 1u);
    ASSERT_NE(g.activeMeshes()[0]->material(), nullptr);
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

// Played as the show plays them (half speed, each sail its own head start,
// main and mizzen sails cloned with the fixed matrices), the sheets stay on
// the clews of their sails.
TEST_F(RigScene, SheetsStayOnTheClewsOfTheWavingSailsAndTheirClones) {
  for (const contract::CloneSpec& c : contract::kClones) {
    if (c.cloth.empty()) continue;  // the flags' copies
    GeometryObject* copy = object(c.original).clone(std::string(c.suffix), *scene_);
    copy->setLocal(rig::CloneMatrix(c.suffix));
    scene_->addNode(copy);
  }
  for (const contract::Waving& w : contract::kCloths)
    if (w.toTime == contract::kRiggingWindow)
      object(w.node).startGeometryAnimation(0, w.toTime, w.offset, contract::kWavingSpeed, -1);
  for (std::string_view r : contract::kRopes)
    object(r).startGeometryAnimation(0, contract::kRiggingWindow, 0, contract::kWavingSpeed, -1);
  // Rope ends are rings of three round the clew; sailkanat09 holds four ropes.
  auto ropeStart = [&](std::string rope, int which) {
    const Mesh& m = *object(rope).activeMeshes()[0];
    const std::size_t base = m.vertexCount() / (rope == "sailkanat09" ? 4 : 1) * which;
    return (VertexAt(m, base) + VertexAt(m, base + 1) + VertexAt(m, base + 2)) / 3.0f;
  };
  auto clew = [&](const char* sail, int s) {
    const GeometryObject& g = object(sail);
    const std::size_t i = static_cast<std::size_t>(rig::kSailRows) * (rig::kSailCols + 1) + s * rig::kSailCols;
    return TransformPoint(VertexAt(*g.activeMeshes()[0], i), g.world());
  };
  // Sheets k and k+1 hold the starboard and port clews of sail k/2; sailkanat09's four ropes come last.
  const char* sails[] = {"sail01", "sail01sail02clone", "sailx01", "sailx01sailx02clone", "sailxx01", "sail01sail03clone"};
  settle();
  const Vector3 clewAtStart = clew("sail01sail03clone", 1);
  float sailTravel = 0;
  for (std::uint32_t ms : {0u, 1250u, 2999u}) {
    at(ms);
    sailTravel = std::max(sailTravel, Length(clew("sail01sail03clone", 1) - clewAtStart));
    for (int k = 0; k < 12; ++k)
      EXPECT_LT(Length(ropeStart("sailkanat0" + std::to_string(std::min(k + 1, 9)), std::max(k - 8, 0)) - clew(sails[k / 2], 1 - k % 2)), 1.5f)
          << k << " at " << ms;
  }
  EXPECT_GT(sailTravel, 0.3f);  // the clews do move, so the check means something
}

}  // namespace
