// The generated ship scene read back by the program's own loader, as the show
// finds, replaces, copies and animates its parts, and drawn by the show through
// the filter of repeated states: every draw finds the same states and textures
// in force as without it, and most of the show's state calls never get through.
#include <map>
#include <set>

#include "platform/random.h"
#include "render/state_filter.h"
#include "scene/material.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/sea_fixtures.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

struct Loaded {
  ShipScene built = BuildShipScene();
  MemoryResourceSource resources;
  ManualClock clock{1000};
  Scene scene{clock};
  SceneArchive archive;
};

Loaded& Ship() {
  static const std::unique_ptr<Loaded> loaded = [] {
    auto l = std::make_unique<Loaded>();
    l->resources.add(contract::kSceneResource, kSceneResourceType, l->built.archive);
    l->scene.setResourceSource(&l->resources);
    if (!l->scene.load("", contract::kSceneResource)) ADD_FAILURE() << l->scene.loadError();
    l->scene.root().updateSubtree();
    if (!l->archive.openResource(l->resources, contract::kSceneResource)) ADD_FAILURE() << "no directory";
    return l;
  }();
  return *loaded;
}

GeometryObject* Geometry(std::string_view name) {
  return dynamic_cast<GeometryObject*>(Ship().scene.findNode(std::string(name)));
}

std::set<std::string> MaterialsOf(std::string_view node) {  // empty for a missing node
  std::set<std::string> names;
  const GeometryObject* g = Geometry(node);
  for (std::size_t k = 0; g && k < g->frames().size(); ++k)
    for (const auto& mesh : g->frames()[k].meshes) names.insert(mesh->material() ? mesh->material()->name() : "");
  return names;
}

TEST(ShipScene, EveryNameTheShowLooksUpHasItsRecord) {
  std::vector<std::pair<std::string_view, const char*>> expected;  // (name, record type)
  auto go = [&](std::string_view n) { expected.push_back({n, kRecordGeometry}); };
  std::vector<std::string_view> reflected(contract::kReflectionHidden.begin(), contract::kReflectionHidden.end());
  reflected.insert(reflected.end(), contract::kReflectionHiddenFittings.begin(), contract::kReflectionHiddenFittings.end());
  for (std::string_view n : {contract::kShipRoot, contract::kSun, contract::kWind}) go(n);
  using Names = std::span<const std::string_view>;
  for (Names list : {Names(contract::kHullLightmapNodes), Names(contract::kRopes), Names(contract::kWaterPoints),
                     Names(reflected), Names(contract::kLanterns), Names(contract::kMetreMarks), Names(contract::kCreaks),
                     Names(contract::kWater), Names(contract::kGuns), Names(contract::kGunMuzzles),
                     Names(contract::kGunFires1), Names(contract::kGunFires2), Names(contract::kGunPorts)})
    for (std::string_view n : list) go(n);
  for (const contract::Waving& w : contract::kCloths)
    if (!fixtures::IsCopy(w.node)) go(w.node);
  for (const contract::CloneSpec& c : contract::kClones)
    if (!c.cloth.empty()) expected.push_back({c.cloth, kRecordMaterial});
  for (std::string_view m : contract::kWaterMaterials) expected.push_back({m, kRecordMaterial});
  for (const contract::CameraSpec& c : contract::kCameras) expected.push_back({c.node, kRecordCamera});
  for (const auto& [name, type] : expected)
    EXPECT_TRUE(Ship().archive.getBlock(std::string(name), type)) << name << " (" << type << ")";
  for (std::string_view n : reflected)  // what the reflection pass hides is real geometry
    EXPECT_TRUE(!Geometry(n) || fixtures::VisibleArea(*Geometry(n)) > 0) << n;
  EXPECT_EQ(Ship().scene.lights().size(), 3u);
  for (const Light* light : Ship().scene.lights()) EXPECT_EQ(light->light.type, 1u) << "a point light";
}

// A copy's material is found under the original's name plus the copy's
// suffix, where the show puts the copy's own cloth; the water is one mesh
// each under the sea's matrix, the foam with two coordinate pairs.
TEST(ShipScene, MaterialsAreTheOnesTheShowReplacesAndCopies) {
  for (const contract::CloneSpec& c : contract::kClones) {
    const std::set<std::string> materials = MaterialsOf(c.original);
    EXPECT_TRUE(c.copiedCloth.empty() || (materials.size() == 1 && *materials.begin() + std::string(c.suffix) == c.copiedCloth))
        << c.original;
  }
  EXPECT_EQ(MaterialsOf(contract::kWater[0]), std::set<std::string>{std::string(contract::kWaterMaterials[0])});
  EXPECT_EQ(MaterialsOf(contract::kWater[1]), std::set<std::string>{std::string(contract::kWaterMaterials[1])});
  const GeometryObject *sea = Geometry(contract::kWater[0]), *foam = Geometry(contract::kWater[1]);
  ASSERT_TRUE(sea && foam);
  EXPECT_EQ(sea->world(), foam->world());
  for (const GeometryObject* g : {sea, foam}) ASSERT_TRUE(g->frames().size() == 1 && g->frames()[0].meshes.size() == 1);
  EXPECT_EQ(foam->frames()[0].meshes[0]->fvf(), kFvfTwoTextures);
}

// Every mesh drawable with a material; the hull parts whose lightmaps the show
// animates with two coordinate pairs and a lightmap layer on the second.
TEST(ShipScene, MeshesFitTheDeviceAndTheHullPartsAreLightmapped) {
  for (const auto& [name, node] : Ship().scene.nodes()) {
    const auto* g = dynamic_cast<const GeometryObject*>(node);
    if (!g) continue;
    for (const GeometryFrame& f : g->frames())
      for (const auto& m : f.meshes)
        ASSERT_TRUE(m->material() && (m->fvf() == kFvfOneTexture || m->fvf() == kFvfTwoTextures)) << name;
  }
  for (std::string_view name : contract::kHullLightmapNodes) {
    const GeometryObject* g = Geometry(name);
    ASSERT_TRUE(g && !g->frames().empty()) << name;
    for (const GeometryFrame& f : g->frames())
      for (const auto& m : f.meshes) {
        EXPECT_EQ(m->fvf(), kFvfTwoTextures) << name;
        const TextureLayer* lightmap = m->material()->layer(LayerLightmap);
        EXPECT_TRUE(lightmap && lightmap->texCoordIndex() == 1) << m->material()->name();
      }
  }
}

// The show overwrites the copies' local matrices (in the frame of the
// original's parent) with fixed ones: the sails and flags land on the masts.
TEST(ShipScene, ClonesLandOnTheMastsAndTheTrianglesStayInBudget) {
  for (const contract::CloneSpec& c : contract::kClones) {
    const GeometryObject* original = Geometry(c.original);
    ASSERT_TRUE(original && original->parent());
    const Vector3 p = TransformPoint({c.local[12], c.local[13], c.local[14]}, original->parent()->world());
    float best = 1e9f;
    for (const layout::Mast& mast : {layout::kFore, layout::kMain, layout::kMizzen})
      if (p.z > mast.footZ && p.z < mast.truckZ + 40) best = std::min(best, std::hypot(p.x - mast.x(p.z), p.y));
    EXPECT_LT(best, 6.0f) << c.suffix << " lands off every mast";
  }
  std::size_t total = 0;
  for (const auto& [family, triangles] : Ship().built.triangles) total += triangles;
  EXPECT_LT(total, 140000u);
}

// For every draw, every state in force and the textures bound, numbered in
// the order first drawn: the runs make their own surfaces.
class SnapshotDevice final : public testing::RecordingDevice {
 public:
  std::vector<std::vector<std::uint32_t>> seen;
  int stateCalls = 0;
  HResult SetRenderState(RenderState s, std::uint32_t v) override {
    return ++stateCalls, RecordingDevice::SetRenderState(s, v);
  }
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState s, std::uint32_t v) override {
    return ++stateCalls, RecordingDevice::SetTextureStageState(stage, s, v);
  }
  HResult DrawPrimitive(PrimitiveType t, std::uint32_t fvf, const void* v, std::uint32_t n) override {
    return Snapshot(), RecordingDevice::DrawPrimitive(t, fvf, v, n);
  }
  HResult DrawIndexedPrimitive(PrimitiveType t, std::uint32_t fvf, const void* v, std::uint32_t n,
                               const std::uint16_t* i, std::uint32_t ni) override {
    return Snapshot(), RecordingDevice::DrawIndexedPrimitive(t, fvf, v, n, i, ni);
  }
  HResult DrawIndexedPrimitiveVB(PrimitiveType t, VertexBuffer& b, std::uint32_t start, std::uint32_t n,
                                 const std::uint16_t* i, std::uint32_t ni) override {
    return Snapshot(), RecordingDevice::DrawIndexedPrimitiveVB(t, b, start, n, i, ni);
  }

 private:
  void Snapshot() {
    std::vector<std::uint32_t> values;
    for (std::uint32_t s = 0; s < 256; ++s) values.push_back(State(static_cast<RenderState>(s)));
    for (std::uint32_t stage = 0; stage < 8; ++stage)
      for (std::uint32_t s = 0; s < 32; ++s) values.push_back(StageState(stage, static_cast<TextureStageState>(s)));
    for (Surface* t : textures)
      values.push_back(t ? numbers_.try_emplace(t, static_cast<std::uint32_t>(numbers_.size() + 1)).first->second : 0);
    seen.push_back(std::move(values));
    log.clear();
  }
  std::map<Surface*, std::uint32_t> numbers_;
};

// A second and a half of the show with a volley under way.
struct Recorded {
  std::vector<std::vector<std::uint32_t>> draws;
  int deviceStateCalls = 0, showStateCalls = 0;
};
Recorded Record(bool filtered, const std::vector<std::uint8_t>& archive) {
  MemoryResourceSource resources;
  resources.add(contract::kSceneResource, kSceneResourceType, archive);
  ManualClock clock(1000);
  LcgRandom random;
  Node settings;
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == TypeInt) settings.Get(spec.key) = Value(spec.defaultValue);
  settings.Get(key::EnableEnvWater) = Value(1);
  testing::TargetLoader loader;
  SnapshotDevice device;
  StateFilter filter(device);
  Device& drawn = filtered ? static_cast<Device&>(filter) : device;
  Show show({clock, random, resources, &loader, settings});
  EXPECT_TRUE(show.Setup(drawn, {768, false, ""}));
  show.MakeGuns(0);
  Guns::FireVolley(show.guns()->side(0), clock.now(), random);
  device.seen.clear();
  device.stateCalls = 0;
  const std::uint64_t stoppedBefore = filter.repeatsStopped();
  for (int i = 0; i < 30; ++i, clock.advance(50)) show.Frame(drawn, [] { return kOk; });
  const int stopped = static_cast<int>(filter.repeatsStopped() - stoppedBefore);
  return {std::move(device.seen), device.stateCalls, device.stateCalls + stopped};
}

TEST(StateFilterOnTheShip, EveryDrawFindsTheSameStatesAndFewCallsGetThrough) {
  const std::vector<std::uint8_t>& archive = Ship().built.archive;
  const Recorded direct = Record(false, archive), filtered = Record(true, archive);
  ASSERT_EQ(direct.draws.size(), filtered.draws.size());
  ASSERT_GT(direct.draws.size(), 30u * 100u);
  for (std::size_t i = 0; i < direct.draws.size(); ++i) ASSERT_EQ(direct.draws[i], filtered.draws[i]) << "draw " << i;
  EXPECT_EQ(filtered.showStateCalls, direct.deviceStateCalls);
  EXPECT_LT(filtered.deviceStateCalls * 4, direct.deviceStateCalls);
}

}  // namespace
}  // namespace brisane::assets::ship
