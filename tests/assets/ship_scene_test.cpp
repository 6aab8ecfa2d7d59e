// The generated ship scene, read back by the program's own scene loader:
// every name the show looks up with the record type it needs, the materials
// the show replaces and copies, meshes the device can draw, the lightmapped
// hull parts, the metre marks and where the clones land.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The generated archive, loaded once for all the tests here, as the show
// loads it.
struct Loaded {
  ShipScene built;
  MemoryResourceSource resources;
  ManualClock clock{1000};
  std::unique_ptr<Scene> scene;
  SceneArchive archive;
  std::set<std::pair<std::string, std::string>> records;  // (name, type)
};

const Loaded& Ship() {
  static const std::unique_ptr<Loaded> loaded = [] {
    auto l = std::make_unique<Loaded>();
    l->built = BuildShipScene();
    l->resources.add(contract::kSceneResource, kSceneResourceType, l->built.archive);
    l->scene = std::make_unique<Scene>(l->clock);
    l->scene->setResourceSource(&l->resources);
    if (!l->scene->load("", contract::kSceneResource))
      ADD_FAILURE() << "the archive does not load: " << l->scene->loadError();
    l->scene->root().updateSubtree();
    if (l->archive.openResource(l->resources, contract::kSceneResource))
      for (const ArchiveKey& k : l->archive.keys()) l->records.insert({k.name, k.type});
    return l;
  }();
  return *loaded;
}

GeometryObject* Geometry(std::string_view name) {
  return dynamic_cast<GeometryObject*>(Ship().scene->findNode(std::string(name)));
}

// The names of the reflection pass's two lists.
std::vector<std::string> ReflectionNames() {
  std::vector<std::string> n;
  for (std::string_view name : contract::kReflectionHidden) n.emplace_back(name);
  for (std::string_view name : contract::kReflectionHiddenFittings) n.emplace_back(name);
  return n;
}

// Every (name, type) the show looks up, for the report of what is missing.
std::vector<std::pair<std::string, std::string>> ExpectedRecords() {
  std::vector<std::pair<std::string, std::string>> r;
  auto go = [&](std::string_view n) { r.push_back({std::string(n), kRecordGeometry}); };
  go(contract::kShipRoot);
  for (std::string_view n : contract::kHullLightmapNodes) go(n);
  for (std::string_view n : contract::kRopes) go(n);
  for (const contract::Waving& w : contract::kCloths)
    if (!fixtures::IsCopy(w.node)) go(w.node);
  for (const contract::CloneSpec& c : contract::kClones)
    if (!c.cloth.empty()) r.push_back({std::string(c.cloth), kRecordMaterial});
  for (std::string_view m : contract::kWaterMaterials) r.push_back({std::string(m), kRecordMaterial});
  for (const contract::CameraSpec& c : contract::kCameras) r.push_back({std::string(c.node), kRecordCamera});
  for (std::string_view n : {contract::kSun, contract::kWind}) go(n);
  for (const auto& pair : {contract::kLanterns, contract::kMetreMarks, contract::kCreaks, contract::kWater})
    for (std::string_view n : pair) go(n);
  for (std::string_view n : contract::kWaterPoints) go(n);
  for (const auto& parts : {contract::kGuns, contract::kGunMuzzles, contract::kGunFires1, contract::kGunFires2,
                             contract::kGunPorts})
    for (std::string_view n : parts) go(n);
  for (const auto& n : ReflectionNames()) go(n);
  return r;
}

TEST(ShipScene, EveryNameTheShowLooksUpHasItsRecord) {
  const Loaded& ship = Ship();
  ASSERT_NE(ship.scene, nullptr);
  std::vector<std::string> missing;
  for (const auto& [name, type] : ExpectedRecords())
    if (!ship.records.count({name, type})) missing.push_back(name + " (" + type + ")");
  std::string list;
  for (const auto& m : missing) list += "\n  " + m;
  EXPECT_TRUE(missing.empty()) << missing.size() << " names missing:" << list;

  // What the reflection pass draws is real geometry.
  for (const std::string& n : ReflectionNames()) {
    const GeometryObject* g = Geometry(n);
    if (g) {
      EXPECT_GT(fixtures::VisibleArea(*g), 0.0f) << n;
    }
  }
  // The scene counts three lights, all point lights.
  EXPECT_EQ(ship.scene->lights().size(), 3u);
  for (const Light* light : ship.scene->lights()) EXPECT_EQ(light->light.type, 1u) << light->name();
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
    EXPECT_NE(Ship().scene->findMaterial(std::string(c.cloth)), nullptr);
  }
  // The water: both meshes in one frame (the show draws the second with the
  // first one's matrix), one mesh each, the second with two coordinate pairs.
  const GeometryObject* sea = Geometry(contract::kWater[0]);
  const GeometryObject* foam = Geometry(contract::kWater[1]);
  ASSERT_TRUE(sea && foam);
  EXPECT_EQ(MaterialsOf(*sea), std::set<std::string>{std::string(contract::kWaterMaterials[0])});
  EXPECT_EQ(MaterialsOf(*foam), std::set<std::string>{std::string(contract::kWaterMaterials[1])});
  EXPECT_EQ(sea->world(), foam->world());
  ASSERT_EQ(sea->frames().size(), 1u);
  ASSERT_EQ(foam->frames().size(), 1u);
  ASSERT_EQ(sea->frames()[0].meshes.size(), 1u);
  ASSERT_EQ(foam->frames()[0].meshes.size(), 1u);
  EXPECT_EQ(foam->frames()[0].meshes[0]->fvf(), kFvfTwoTextures);
}

TEST(ShipScene, MeshesFitTheDeviceAndTheHullPartsAreLightmapped) {
  const Loaded& ship = Ship();
  std::size_t meshes = 0;
  for (const auto& [name, node] : ship.scene->nodes()) {
    const auto* g = dynamic_cast<const GeometryObject*>(node);
    if (!g) continue;
    for (const GeometryFrame& f : g->frames())
      for (const auto& m : f.meshes) {
        ++meshes;
        ASSERT_TRUE(m->fvf() == kFvfOneTexture || m->fvf() == kFvfTwoTextures) << name;
        ASSERT_LT(m->vertexCount(), 65536u) << name;
        ASSERT_EQ(m->indices().size() % 3, 0u) << name;
        for (std::uint16_t i : m->indices()) ASSERT_LT(i, m->vertexCount()) << name;
        ASSERT_NE(m->material(), nullptr) << name << ": a mesh without a material";
      }
  }
  EXPECT_GT(meshes, 0u);

  // The hull parts whose lightmaps the show animates: two coordinate pairs,
  // and a lightmap layer, last, on the second pair.
  SceneArchive archive;
  MemoryResourceSource resources;
  resources.add(contract::kSceneResource, kSceneResourceType, ship.built.archive);
  ASSERT_TRUE(archive.openResource(resources, contract::kSceneResource));
  for (std::string_view name : contract::kHullLightmapNodes) {
    SCOPED_TRACE(name);
    const GeometryObject* g = Geometry(name);
    if (!g) {
      ADD_FAILURE() << "missing";
      continue;
    }
    ASSERT_FALSE(g->frames().empty());
    for (const GeometryFrame& f : g->frames())
      for (const auto& m : f.meshes) {
        EXPECT_EQ(m->fvf(), kFvfTwoTextures);
        ASSERT_NE(m->material(), nullptr);
        StorageBlock* block = archive.getBlock(m->material()->name(), kRecordMaterial);
        ASSERT_NE(block, nullptr);
        block->skip(kMaterialDescriptionBytes + 2);
        const std::uint16_t count = block->readU16();
        std::vector<std::pair<std::uint16_t, std::uint16_t>> layers;  // kind, coordinate set
        for (std::uint16_t k = 0; k < count; ++k) {
          const std::uint16_t kind = block->readU16();
          if (kind == 0 || kind > 6) continue;
          block->readU16();
          const std::uint16_t set = block->readU16();
          const std::uint16_t frames = block->readU16();
          for (std::uint16_t i = 0; i < frames; ++i) block->readString();
          layers.push_back({kind, set});
        }
        ASSERT_FALSE(layers.empty());
        EXPECT_EQ(layers.back().first, 5u) << m->material()->name() << ": the lightmap layer comes last";
        EXPECT_EQ(layers.back().second, 1u) << m->material()->name();
      }
  }
}

TEST(ShipScene, MetreMarksSunAndClonesSitWhereTheShowExpects) {
  const Loaded& ship = Ship();
  const SceneNode* m1 = ship.scene->findNode(std::string(contract::kMetreMarks[0]));
  const SceneNode* m2 = ship.scene->findNode(std::string(contract::kMetreMarks[1]));
  ASSERT_TRUE(m1 && m2);
  const Vector3 a = m1->position(), b = m2->position();
  EXPECT_NEAR(Length(Vec3{a.x - b.x, a.y - b.y, a.z - b.z}), layout::kUnitsPerMetre, 1e-3f);

  const SceneNode* sun = ship.scene->findNode(std::string(contract::kSun));
  ASSERT_NE(sun, nullptr);
  const Vec3 at = layout::kSunDirection * layout::kSunDistance;
  EXPECT_NEAR(sun->position().x, at.x, 0.5f);
  EXPECT_NEAR(sun->position().y, at.y, 0.5f);
  EXPECT_NEAR(sun->position().z, at.z, 0.5f);

  // The show overwrites the copies' local matrices (in the frame of the
  // original's parent) with fixed ones: the sails and flags must land on the masts.
  for (const contract::CloneSpec& c : contract::kClones) {
    SCOPED_TRACE(c.suffix);
    const GeometryObject* original = Geometry(c.original);
    ASSERT_TRUE(original && original->parent());
    const Vec3 p = TransformPoint(Vec3{c.local[12], c.local[13], c.local[14]}, original->parent()->world());
    float best = 1e9f;
    for (const layout::Mast& mast : {layout::kFore, layout::kMain, layout::kMizzen})
      if (p.z > mast.footZ && p.z < mast.truckZ + 40)
        best = std::min(best, std::hypot(p.x - mast.x(p.z), p.y));
    EXPECT_LT(best, 6.0f) << "lands at " << p.x << "," << p.y << "," << p.z << ", off every mast";
  }
}

TEST(ShipScene, TriangleBudgetPerFamily) {
  std::size_t total = 0;
  for (const auto& [family, triangles] : Ship().built.triangles) {
    std::printf("  %-8s %7zu triangles\n", family.c_str(), triangles);
    total += triangles;
  }
  std::printf("  %-8s %7zu triangles\n", "total", total);
  EXPECT_LT(total, 140000u);
  EXPECT_GT(Ship().built.triangles.count("world"), 0u);
}

}  // namespace
}  // namespace brisane::assets::ship
