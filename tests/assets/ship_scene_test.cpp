// The generated ship scene, read back by the program's own scene loader:
// every name the show looks up with the record type it needs, the materials
// the show replaces and copies, meshes the device can draw, the lightmapped
// hull parts and where the clones land.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "scene/archive.h"
#include "scene/descriptions.h"
#include "ship/layout.h"
#include "ship/parts.h"
#include "ship_part_fixture.h"

namespace brisane::assets::ship {
namespace {

// The generated archive, loaded once for all the tests here, as the show loads it.
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
    if (!l->scene.load("", contract::kSceneResource)) ADD_FAILURE() << "the archive does not load: " << l->scene.loadError();
    l->scene.root().updateSubtree();
    if (!l->archive.openResource(l->resources, contract::kSceneResource)) ADD_FAILURE() << "no directory";
    return l;
  }();
  return *loaded;
}

GeometryObject* Geometry(std::string_view name) {
  return dynamic_cast<GeometryObject*>(Ship().scene.findNode(std::string(name)));
}

TEST(ShipScene, EveryNameTheShowLooksUpHasItsRecord) {
  std::vector<std::pair<std::string_view, const char*>> expected;  // (name, record type)
  auto go = [&](std::string_view n) { expected.push_back({n, kRecordGeometry}); };
  std::vector<std::string_view> reflected(contract::kReflectionHidden.begin(), contract::kReflectionHidden.end());
  reflected.insert(reflected.end(), contract::kReflectionHiddenFittings.begin(), contract::kReflectionHiddenFittings.end());
  for (std::string_view n : {contract::kShipRoot, contract::kSun, contract::kWind}) go(n);
  using Names = std::span<const std::string_view>;
  for (Names list : {Names(contract::kHullLightmapNodes), Names(contract::kRopes), Names(contract::kWaterPoints),
                     Names(reflected)})
    for (std::string_view n : list) go(n);
  for (const auto& pair : {contract::kLanterns, contract::kMetreMarks, contract::kCreaks, contract::kWater})
    for (std::string_view n : pair) go(n);
  for (const auto& parts : {contract::kGuns, contract::kGunMuzzles, contract::kGunFires1, contract::kGunFires2,
                            contract::kGunPorts})
    for (std::string_view n : parts) go(n);
  for (const contract::Waving& w : contract::kCloths)
    if (!fixtures::IsCopy(w.node)) go(w.node);
  for (const contract::CloneSpec& c : contract::kClones)
    if (!c.cloth.empty()) expected.push_back({c.cloth, kRecordMaterial});
  for (std::string_view m : contract::kWaterMaterials) expected.push_back({m, kRecordMaterial});
  for (const contract::CameraSpec& c : contract::kCameras) expected.push_back({c.node, kRecordCamera});

  std::string missing;
  for (const auto& [name, type] : expected)
    if (!Ship().archive.getBlock(std::string(name), type)) missing += "\n  " + std::string(name) + " (" + type + ")";
  EXPECT_EQ(missing, "") << "names missing:";
  // What the reflection pass draws is real geometry.
  for (std::string_view n : reflected)
    if (const GeometryObject* g = Geometry(n)) {
      EXPECT_GT(fixtures::VisibleArea(*g), 0.0f) << n;
    }
  // The scene counts three lights, all point lights.
  EXPECT_EQ(Ship().scene.lights().size(), 3u);
  for (const Light* light : Ship().scene.lights()) EXPECT_EQ(light->light.type, 1u) << light->name();
}

// The materials of a node's frames, by name.
std::set<std::string> MaterialsOf(const GeometryObject& g) {
  std::set<std::string> names;
  for (const GeometryFrame& f : g.frames())
    for (const auto& mesh : f.meshes) names.insert(mesh->material() ? mesh->material()->name() : "");
  return names;
}

TEST(ShipScene, MaterialsAreTheOnesTheShowReplacesAndCopies) {
  // A copy takes its original's material under the original's name plus the
  // copy's suffix, and the show looks the copy up by that name to put the
  // copy's own cloth on it.
  for (const contract::CloneSpec& c : contract::kClones) {
    if (c.copiedCloth.empty()) continue;
    SCOPED_TRACE(c.suffix);
    const GeometryObject* original = Geometry(c.original);
    ASSERT_NE(original, nullptr);
    const std::set<std::string> materials = MaterialsOf(*original);
    ASSERT_EQ(materials.size(), 1u);
    EXPECT_EQ(*materials.begin() + std::string(c.suffix), c.copiedCloth);
  }
  // The water: one frame of one mesh each, drawn with the first one's
  // matrix, the second with two coordinate pairs.
  const GeometryObject* sea = Geometry(contract::kWater[0]);
  const GeometryObject* foam = Geometry(contract::kWater[1]);
  ASSERT_TRUE(sea && foam);
  EXPECT_EQ(MaterialsOf(*sea), std::set<std::string>{std::string(contract::kWaterMaterials[0])});
  EXPECT_EQ(MaterialsOf(*foam), std::set<std::string>{std::string(contract::kWaterMaterials[1])});
  EXPECT_EQ(sea->world(), foam->world());
  for (const GeometryObject* g : {sea, foam}) {
    ASSERT_EQ(g->frames().size(), 1u);
    ASSERT_EQ(g->frames()[0].meshes.size(), 1u);
  }
  EXPECT_EQ(foam->frames()[0].meshes[0]->fvf(), kFvfTwoTextures);
}

// The loader itself refuses indices outside the mesh and loose triangles.
TEST(ShipScene, MeshesFitTheDeviceAndTheHullPartsAreLightmapped) {
  for (const auto& [name, node] : Ship().scene.nodes())
    if (const auto* g = dynamic_cast<const GeometryObject*>(node))
      for (const GeometryFrame& f : g->frames())
        for (const auto& m : f.meshes) {
          ASSERT_TRUE(m->fvf() == kFvfOneTexture || m->fvf() == kFvfTwoTextures) << name;
          ASSERT_NE(m->material(), nullptr) << name << ": a mesh without a material";
        }
  // The hull parts whose lightmaps the show animates: two coordinate pairs,
  // and a lightmap layer, last, on the second pair.
  for (std::string_view name : contract::kHullLightmapNodes) {
    SCOPED_TRACE(name);
    const GeometryObject* g = Geometry(name);
    ASSERT_TRUE(g && !g->frames().empty());
    for (const GeometryFrame& f : g->frames())
      for (const auto& m : f.meshes) {
        EXPECT_EQ(m->fvf(), kFvfTwoTextures);
        StorageBlock* block = Ship().archive.getBlock(m->material()->name(), kRecordMaterial);
        ASSERT_NE(block, nullptr);
        block->skip(kMaterialDescriptionBytes + 2);
        std::pair<std::uint16_t, std::uint16_t> last{};  // kind, coordinate set
        for (std::uint16_t k = 0, count = block->readU16(); k < count; ++k) {
          const std::uint16_t kind = block->readU16();
          if (kind == 0 || kind > 6) continue;
          block->readU16();
          last = {kind, block->readU16()};
          for (std::uint16_t i = 0, frames = block->readU16(); i < frames; ++i) block->readString();
        }
        EXPECT_EQ(last, (std::pair<std::uint16_t, std::uint16_t>{5, 1})) << m->material()->name();
      }
  }
}

TEST(ShipScene, ClonesLandOnTheMastsAndTheTrianglesStayInBudget) {
  // The show overwrites the copies' local matrices (in the frame of the
  // original's parent) with fixed ones: the sails and flags must land on the masts.
  for (const contract::CloneSpec& c : contract::kClones) {
    SCOPED_TRACE(c.suffix);
    const GeometryObject* original = Geometry(c.original);
    ASSERT_TRUE(original && original->parent());
    const Vector3 p = TransformPoint({c.local[12], c.local[13], c.local[14]}, original->parent()->world());
    float best = 1e9f;
    for (const layout::Mast& mast : {layout::kFore, layout::kMain, layout::kMizzen})
      if (p.z > mast.footZ && p.z < mast.truckZ + 40) best = std::min(best, std::hypot(p.x - mast.x(p.z), p.y));
    EXPECT_LT(best, 6.0f) << "lands at " << p.x << "," << p.y << "," << p.z << ", off every mast";
  }
  std::size_t total = 0;
  for (const auto& [family, triangles] : Ship().built.triangles) total += triangles;
  EXPECT_LT(total, 140000u);
}

}  // namespace
}  // namespace brisane::assets::ship
