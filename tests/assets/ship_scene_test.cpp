// The generated ship scene read back by the program's own loader, as the show
// finds, replaces, copies and animates its parts.
#include <set>

#include "scene/material.h"
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
    l->scene.SetResourceSource(&l->resources);
    if (!l->scene.Load("", contract::kSceneResource)) ADD_FAILURE() << l->scene.loadError();
    l->scene.root().UpdateSubtree();
    if (!l->archive.OpenResource(l->resources, contract::kSceneResource)) ADD_FAILURE() << "no directory";
    return l;
  }();
  return *loaded;
}

GeometryObject* Geometry(std::string_view name) {
  return dynamic_cast<GeometryObject*>(Ship().scene.FindNode(std::string(name)));
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
    EXPECT_TRUE(Ship().archive.GetBlock(std::string(name), type)) << name << " (" << type << ")";
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
        const TextureLayer* lightmap = m->material()->layer(LayerKind::Lightmap);
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

}  // namespace
}  // namespace brisane::assets::ship
