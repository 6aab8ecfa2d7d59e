// The generated ship scene, read back by the program's own scene loader:
// every name the show looks up with the record type it needs, the animation
// windows the show plays, seamless cloth loops, meshes the device can draw,
// the lightmapped hull parts, the metre marks and where the clones land.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "scene/archive.h"
#include "platform/clock.h"
#include "scene/descriptions.h"
#include "scene/mesh.h"
#include "platform/resource_source.h"
#include "scene/scene.h"
#include "scene/scene_node.h"
#include "ship/layout.h"
#include "ship/parts.h"

namespace brisane::assets::ship {
namespace {

std::string Num(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// The generated archive, loaded once for all the tests here, as the show
// loads it: from resource 147.
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
    l->resources.add(147, kSceneResourceType, l->built.archive);
    l->scene = std::make_unique<Scene>(l->clock);
    l->scene->setResourceSource(&l->resources);
    if (!l->scene->load("", 147)) ADD_FAILURE() << "the archive does not load: " << l->scene->loadError();
    l->scene->root().updateSubtree();
    if (l->archive.openResource(l->resources, 147))
      for (const ArchiveKey& k : l->archive.keys()) l->records.insert({k.name, k.type});
    return l;
  }();
  return *loaded;
}

GeometryObject* Geometry(const std::string& name) { return dynamic_cast<GeometryObject*>(Ship().scene->findNode(name)); }

// The names of the reflection pass's two lists.
std::vector<std::string> ReflectionNames() {
  std::vector<std::string> n;
  for (int g = 1; g <= 8; ++g) {
    const std::string s = Num(g);
    for (const char* part : {"gun_lafet01_", "gun_lafet02_", "gun_lafet03_", "gun_wheel01_", "gun_wheel02_",
                             "gun_wheel03_", "gun_wheel04_"})
      n.push_back(part + s);
    n.push_back("gun_shadow" + s);
  }
  for (int k = 1; k <= 5; ++k) n.push_back("bochka" + Num(k));
  for (int k = 1; k <= 8; ++k) n.push_back("podpor" + Num(k));
  for (int k = 1; k <= 3; ++k) n.push_back("mastbase" + Num(k));
  n.push_back("boat_1_01");
  for (int k = 1; k <= 5; ++k) n.push_back("banka" + Num(k));
  for (const char* s : {"boat_toretc", "boat_rubber01", "boat_rubber02"}) n.push_back(s);
  for (int k = 1; k <= 31; ++k) n.push_back("Box" + Num(k));
  for (int k = 38; k <= 43; ++k) n.push_back("Box" + Num(k));
  for (int k = 184; k <= 195; ++k) n.push_back("Box" + std::to_string(k));
  for (const char* s : {"bushprit_x", "ard_high_inside02", "f_board02in02", "board_high_inside", "f_board01in",
                        "f_board03in", "f_board02in01"})
    n.push_back(s);
  for (int k = 1; k <= 4; ++k) n.push_back("Line" + Num(k));
  n.push_back("desc01");
  for (int k = 2; k <= 5; ++k) n.push_back("desck" + Num(k));
  for (int k = 1; k <= 36; ++k)
    if (k != 7) n.push_back("boardbox" + Num(k));
  for (const char* s : {"lantern01", "reshotka01", "lantern01_top"}) n.push_back(s);
  return n;
}

const std::vector<std::string> kLightmapped = {"balkon_down", "board_high01", "board_high02", "board_low01",
                                               "board_low02", "board_mid01",  "board_mid02",  "bottom01",
                                               "bottom02",    "kiel",         "rudder",       "tranetc_up",
                                               "tranetc01",   "tranetc03"};
const std::vector<std::string> kRopes = {"anch_kanat01", "anch_kanat02", "Line257", "sailkanat01", "sailkanat02",
                                         "sailkanat03",  "sailkanat04",  "sailkanat05", "sailkanat06", "sailkanat07",
                                         "sailkanat08",  "sailkanat09"};
const std::vector<std::string> kSails = {"sail01", "sailx01", "sailxx01"};
const std::vector<std::string> kFlags = {"flag01", "flagx01"};

// Every (name, type) the show looks up, for the report of what is missing.
std::vector<std::pair<std::string, std::string>> ExpectedRecords() {
  std::vector<std::pair<std::string, std::string>> r;
  auto go = [&](const std::string& n) { r.push_back({n, kRecordGeometry}); };
  auto mat = [&](const std::string& n) { r.push_back({n, kRecordMaterial}); };
  go(layout::kShip);
  for (const auto& n : kLightmapped) go(n);
  for (const auto& n : kRopes) go(n);
  for (const auto& n : kSails) go(n);
  for (const auto& n : kFlags) go(n);
  for (const char* m : {"sail01_sail01_1", "sail01_sail02_1", "sail01_sail03_1", "sail02_sailx01_1",
                        "sail02_sailx02_1", "Flag_flag01_1", "Flag2", "Water", "Water02 alfa"})
    mat(m);
  for (int k = 1; k <= 7; ++k) r.push_back({"Camera" + Num(k), kRecordCamera});
  for (const char* n : {"Dummy_sun", "Dummy_lantern01", "Dummy_lantern02", "Water01", "Water02", "Dummy_water01",
                        "Dummy_water02", "Dummy_water03", "Dummy_wind01", "Dummy_skrip01", "Dummy_skrip02",
                        "Dummy_metr01", "Dummy_metr02"})
    go(n);
  for (int g = 1; g <= 8; ++g)
    for (const char* part : {"Gun", "Dummy_gun", "gun_fire1_", "gun_fire2_", "port"}) go(part + Num(g));
  for (const auto& n : ReflectionNames()) go(n);
  return r;
}

TEST(ShipScene, EveryNameTheShowLooksUpHasItsRecord) {
  const Loaded& ship = Ship();
  ASSERT_NE(ship.scene, nullptr);
  EXPECT_EQ(ReflectionNames().size(), 192u);
  std::vector<std::string> missing;
  for (const auto& [name, type] : ExpectedRecords())
    if (!ship.records.count({name, type})) missing.push_back(name + " (" + type + ")");
  std::string list;
  for (const auto& m : missing) list += "\n  " + m;
  EXPECT_TRUE(missing.empty()) << missing.size() << " names missing:" << list;

  // The scene counts three lights, all point lights.
  EXPECT_EQ(ship.scene->lights().size(), 3u);
  for (const Light* light : ship.scene->lights()) EXPECT_EQ(light->light.type, 1u) << light->name();
}

TEST(ShipScene, MaterialsAreTheOnesTheScriptReplacesAndClones) {
  // The clones copy the original's material under its name plus the clone
  // suffix, and the script looks those copies up by name: the originals must
  // carry these names.
  const std::map<std::string, std::string> uses = {{"sail01", "sail01_sail01_1"},
                                                   {"sailx01", "sail02_sailx01_1"},
                                                   {"flag01", "Flag_flag01_1"},
                                                   {"flagx01", "Flag2"},
                                                   {"Water01", "Water"},
                                                   {"Water02", "Water02 alfa"}};
  for (const auto& [node, material] : uses) {
    const GeometryObject* g = Geometry(node);
    if (!g) {
      ADD_FAILURE() << node << " is missing";
      continue;
    }
    std::set<std::string> names;
    for (const GeometryFrame& f : g->frames())
      for (const auto& mesh : f.meshes) names.insert(mesh->material() ? mesh->material()->name() : "");
    EXPECT_EQ(names, std::set<std::string>{material}) << node;
  }
  // The water: both meshes in one frame (the show draws the second with the
  // first one's matrix), one mesh each, the second with two coordinate pairs.
  const GeometryObject* w1 = Geometry("Water01");
  const GeometryObject* w2 = Geometry("Water02");
  ASSERT_TRUE(w1 && w2);
  EXPECT_EQ(w1->world(), w2->world());
  ASSERT_EQ(w1->frames().size(), 1u);
  ASSERT_EQ(w2->frames().size(), 1u);
  ASSERT_EQ(w1->frames()[0].meshes.size(), 1u);
  ASSERT_EQ(w2->frames()[0].meshes.size(), 1u);
  EXPECT_EQ(w2->frames()[0].meshes[0]->fvf(), kFvfTwoTextures);
}

// A geometry animation window: frames from time 0 up to at least its end.
void ExpectFramesCover(const std::string& name, std::uint32_t end, bool seamless) {
  SCOPED_TRACE(name);
  const GeometryObject* g = Geometry(name);
  ASSERT_NE(g, nullptr) << "missing";
  ASSERT_GE(g->frames().size(), 2u) << "no waving frames";
  EXPECT_EQ(g->frames().front().time, 0u);
  EXPECT_GE(g->frames().back().time, end);
  if (!seamless) return;
  const auto& first = g->frames().front().meshes;
  const auto& last = g->frames().back().meshes;
  ASSERT_EQ(first.size(), last.size());
  for (std::size_t m = 0; m < first.size(); ++m) {
    EXPECT_EQ(first[m]->vertices(), last[m]->vertices()) << "mesh " << m << ": the loop jumps";
    EXPECT_EQ(first[m]->indices(), last[m]->indices()) << "mesh " << m;
  }
}

// A transform animation window: moving keys up to at least its end.
void ExpectKeysCover(const std::string& name, std::uint32_t end) {
  SCOPED_TRACE(name);
  const SceneNode* n = Ship().scene->findNode(name);
  ASSERT_NE(n, nullptr) << "missing";
  ASSERT_GE(n->keys().size(), 2u) << "does not move";
  EXPECT_EQ(n->keys().front().time, 0u);
  EXPECT_GE(n->keys().back().time, end);
}

// Triangles of a frame that cover any area (a frame may hold a collapsed
// triangle to keep its material while it shows nothing).
std::size_t Triangles(const GeometryFrame& f) {
  std::size_t t = 0;
  for (const auto& m : f.meshes) {
    const auto at = [&](std::uint16_t i) {
      float p[3];
      std::memcpy(p, m->vertices().data() + static_cast<std::size_t>(i) * m->stride(), sizeof p);
      return Vec3{p[0], p[1], p[2]};
    };
    const auto& idx = m->indices();
    for (std::size_t k = 0; k + 2 < idx.size(); k += 3)
      if (Length(Cross(at(idx[k + 1]) - at(idx[k]), at(idx[k + 2]) - at(idx[k]))) > 1e-6f) ++t;
  }
  return t;
}

TEST(ShipScene, AnimationsCoverTheWindowsTheShowPlays) {
  for (const auto& n : kRopes) ExpectFramesCover(n, 1679, true);
  for (const auto& n : kSails) ExpectFramesCover(n, 1679, true);
  for (const auto& n : kFlags) ExpectFramesCover(n, 1499, true);
  for (int g = 1; g <= 8; ++g) {
    ExpectKeysCover("Gun" + Num(g), 2949);
    ExpectKeysCover("port" + Num(g), 3199);
    // Fire: shown only inside the part of its window the show plays, so it
    // is hidden before the first shot and after each one.
    const std::pair<std::string, std::pair<std::uint32_t, std::uint32_t>> fires[] = {
        {"gun_fire1_" + Num(g), {1339, 1440}}, {"gun_fire2_" + Num(g), {1379, 1500}}};
    for (const auto& [name, window] : fires) {
      SCOPED_TRACE(name);
      const GeometryObject* fire = Geometry(name);
      if (!fire) {
        ADD_FAILURE() << "missing";
        continue;
      }
      if (fire->keys().size() > 1) {
        EXPECT_GE(fire->keys().back().time, 2939u);
      }
      ASSERT_GE(fire->frames().size(), 2u);
      EXPECT_EQ(fire->frames().front().time, 0u);
      EXPECT_EQ(Triangles(fire->frames().front()), 0u) << "fire before the shot";
      std::size_t shown = 0;
      for (const GeometryFrame& f : fire->frames()) {
        if (f.time < window.first || f.time > window.second) {
          EXPECT_EQ(Triangles(f), 0u) << "frame " << f.time;
        } else {
          shown += Triangles(f);
        }
      }
      EXPECT_GT(shown, 0u) << "no fire in its window";
      // The last evaluation of the window shows the frame nearest its end
      // (a tie goes to the later frame): that one must be empty.
      const auto& frames = fire->frames();
      std::size_t pick = frames.size() - 1;
      for (std::size_t j = 1; j < frames.size(); ++j)
        if (frames[j].time >= window.second) {
          pick = frames[j].time - window.second <= window.second - frames[j - 1].time ? j : j - 1;
          break;
        }
      EXPECT_EQ(Triangles(frames[pick]), 0u) << "fire left showing after the shot (frame " << frames[pick].time << ")";
    }
  }
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
  resources.add(147, kSceneResourceType, ship.built.archive);
  ASSERT_TRUE(archive.openResource(resources, 147));
  for (const auto& name : kLightmapped) {
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
  const SceneNode* m1 = ship.scene->findNode("Dummy_metr01");
  const SceneNode* m2 = ship.scene->findNode("Dummy_metr02");
  if (m1 && m2) {
    const Vector3 a = m1->position(), b = m2->position();
    EXPECT_NEAR(std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z)),
                layout::kUnitsPerMetre, 1e-3f);
  } else {
    ADD_FAILURE() << "no metre marks";
  }

  const SceneNode* sun = ship.scene->findNode("Dummy_sun");
  ASSERT_NE(sun, nullptr);
  const Vec3 at = layout::kSunDirection * layout::kSunDistance;
  EXPECT_NEAR(sun->position().x, at.x, 0.5f);
  EXPECT_NEAR(sun->position().y, at.y, 0.5f);
  EXPECT_NEAR(sun->position().z, at.z, 0.5f);

  // The show overwrites the clones' local matrices (in the frame of the
  // original's parent) with fixed ones: the sails must land on the masts.
  const SceneNode* sail = ship.scene->findNode("sail01");
  if (!sail || !sail->parent()) {
    ADD_FAILURE() << "no sail01";
    return;
  }
  const Matrix parent = sail->parent()->world();
  const struct {
    const char* clone;
    float x, y, z;
  } clones[] = {{"sail02clone", -33.08929f, 167.7166f, -42.734f},   {"sail03clone", 84.20404f, 168.8775f, -75.78201f},
                {"sailx02clone", -29.46042f, 168.5049f, 48.89615f}, {"flagx02clone", -26.29717f, 167.4824f, 117.2579f},
                {"flag02clone", -25.81691f, 167.5155f, 137.7154f},  {"flag03clone", -250.7436f, 167.5155f, 83.85338f}};
  for (const auto& c : clones) {
    SCOPED_TRACE(c.clone);
    const Vec3 p = TransformPoint({c.x, c.y, c.z}, parent);
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
