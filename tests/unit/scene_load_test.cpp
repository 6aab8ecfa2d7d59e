#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::AsFake;
using testing::Bytes;
using testing::Find;
using testing::Layer;
using testing::NodeUnder;
using testing::OneFrame;
using testing::QuadMesh;
using testing::SceneHarness;

std::vector<std::string> ChildNames(const SceneNode& node) {
  std::vector<std::string> names;
  for (const SceneNode* child : node.children()) names.push_back(child->name());
  return names;
}

class SceneLoadTest : public ::testing::Test, public SceneHarness {};

TEST_F(SceneLoadTest, BuildsTheSampleShip) {
  ASSERT_TRUE(load(testing::SampleArchive()));
  EXPECT_EQ(scene->nodes().size(), 8u);
  EXPECT_EQ(scene->findNode(kSceneRootName), nullptr);  // the root is not in the name map
  EXPECT_EQ(scene->findNode("nothing"), nullptr);
  EXPECT_EQ(scene->nodes().count("nothing"), 0u);
  // Children in byte order of their names; parents that are no node put a node under the root.
  EXPECT_EQ(ChildNames(scene->root()), (std::vector<std::string>{"Camera01", "Sun", "hull"}));
  EXPECT_EQ(ChildNames(*scene->findNode("mast")), (std::vector<std::string>{"Camera02", "sail"}));
  auto* hull = Find<GeometryObject>(*scene, "hull");
  ASSERT_EQ(hull->activeMeshes().size(), 2u);
  EXPECT_EQ(hull->local(), Matrix::translation(0, 1, 0));  // the first key
  EXPECT_EQ(hull->activeMeshes()[1]->fvf(), kFvfTwoTextures);
  EXPECT_EQ(hull->activeMeshes()[1]->vertices(), testing::Vertices(kFvfTwoTextures, 4, 7));
  EXPECT_EQ(hull->activeMeshes()[1]->indices(), (std::vector<std::uint16_t>{0, 1, 2, 2, 1, 3}));
  auto* camera = Find<Camera>(*scene, "Camera01");
  EXPECT_EQ(camera->projection(2, 3), 1.0f);
  EXPECT_EQ(camera->keys().size(), 2u);
  EXPECT_EQ(scene->currentCamera(), nullptr);
}

TEST_F(SceneLoadTest, LightsAreIndexedInNameOrderAndExcludeGeometryBelowTheTarget) {
  SceneArchiveWriter w = testing::SampleWriter();
  w.addLight("Aft", NodeUnder("Scene Root"), DeviceLight{}, {"Camera01", "no such node"});
  // Every field distinct, so a field read out of place shows.
  const DeviceLight light{d3d::kLightPoint, {0.1f, 0.2f, 0.3f, 0.4f}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11}, {0, -1, 0},
                          500, 1, 0.5f, 0.25f, 0.125f, 0.3f, 0.6f};
  w.addLight("Z1", NodeUnder("Scene Root"), light, {"a", "b"});
  ASSERT_TRUE(load(w.finish()));
  std::vector<std::string> names;
  for (const Light* l : scene->lights()) {
    EXPECT_EQ(l->index(), names.size());
    EXPECT_TRUE(l->inScene());
    names.push_back(l->name());
  }
  ASSERT_EQ(names, (std::vector<std::string>{"Aft", "Lamp", "Sun", "Z1"}));
  EXPECT_EQ(scene->lights()[3]->light, light);
  EXPECT_EQ(scene->lights()[3]->excludedNames, (std::vector<std::string>{"a", "b"}));
  // Aft names a camera and nothing at all, so only the lamp is kept off.
  for (const char* name : {"hull", "mast", "sail", "lantern"})
    EXPECT_EQ(Find<GeometryObject>(*scene, name)->excludedLights(), std::vector<Light*>{scene->lights()[1]}) << name;
}

TEST_F(SceneLoadTest, RecordsOfOneNameAndUnknownTypesAndTrailingBytes) {
  SceneArchiveWriter w;
  ArchiveMaterial material;
  material.description.power = 12.0f;
  w.addMaterial("Flag", material);
  w.addGeometry("Flag", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag")}));
  w.addRecord("Other", "XYZ", Bytes("unknown types are not visited"));
  // Some exported groups carry bytes after their frames.
  auto payload = EncodeGeometry(NodeUnder("Scene Root"), {});
  const auto header = EncodeCamera(NodeUnder("Scene Root"), Matrix::identity());
  payload.insert(payload.end(), header.begin(), header.end());
  w.addRecord("group", "GO", payload);
  ASSERT_TRUE(load(w.finish()));
  EXPECT_EQ(scene->nodes().size(), 2u);
  EXPECT_TRUE(Find<GeometryObject>(*scene, "group")->frames().empty());
  Material* m = scene->findMaterial("Flag");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->description().power, 12.0f);
  EXPECT_EQ(Find<GeometryObject>(*scene, "Flag")->activeMeshes()[0]->material(), m);
}

TEST_F(SceneLoadTest, MaterialsAndTexturesAreSharedByNameAndKind) {
  SceneArchiveWriter w;
  ArchiveMaterial a, b, keyed;
  a.layers = {Layer(1, {"Wood.jpg"})};
  b.twoSided = 3;
  b.layers = {Layer(1, {"Wood.jpg"}), Layer(3, {"Sky.jpg"}), Layer(9, {}), Layer(2, {"Wood.jpg"})};
  keyed.layers = {Layer(6, {"Wood.jpg", "missing.jpg", "bad.jpg"})};
  keyed.layers[0].param = 1;
  w.addMaterial("A", a);
  w.addMaterial("B", b);
  w.addMaterial("Keyed", keyed);
  w.addImage("Wood.jpg", Bytes("Wood.jpg"));
  w.addImage("Sky.jpg", Bytes("Sky.jpg"));
  w.addImage("bad.jpg", Bytes("bad data"));
  w.addGeometry("one", NodeUnder("Scene Root"), OneFrame({QuadMesh("A"), QuadMesh("B"), QuadMesh("A")}));
  w.addGeometry("two", NodeUnder("Scene Root"), OneFrame({QuadMesh("B"), QuadMesh("Keyed"), QuadMesh("None")}));
  ASSERT_TRUE(load(w.finish()));
  auto* one = Find<GeometryObject>(*scene, "one");
  auto* two = Find<GeometryObject>(*scene, "two");
  EXPECT_EQ(one->activeMeshes()[0]->material(), one->activeMeshes()[2]->material());
  EXPECT_EQ(one->activeMeshes()[1]->material(), two->activeMeshes()[0]->material());
  EXPECT_EQ(two->activeMeshes()[2]->material(), nullptr);  // no record: left off
  EXPECT_EQ(scene->materials().size(), 3u);
  Material* ma = scene->findMaterial("A");
  Material* mb = scene->findMaterial("B");
  Material* mk = scene->findMaterial("Keyed");
  EXPECT_EQ(mb->twoSided(), 3u);
  EXPECT_EQ(ma->layer(1)->frames()[0], mb->layer(1)->frames()[0]);
  ASSERT_EQ(mk->layer(6)->frames().size(), 1u);  // missing and undecodable images are dropped
  EXPECT_EQ(AsFake(mk->layer(6)->frames()[0]).loadKind, 3u);
  EXPECT_EQ(AsFake(mk->layer(6)->frames()[0]).threshold, 1u);
  EXPECT_EQ(AsFake(mb->layer(3)->frames()[0]).loadKind, 4u);
  EXPECT_EQ(AsFake(ma->layer(1)->frames()[0]).image, "Wood.jpg");
  EXPECT_TRUE(mb->layer(2)->frames().empty());  // kind 2 loads no texture
  EXPECT_EQ(scene->textures().size(), 3u);      // Wood/1, Sky/3, Wood/6
  EXPECT_EQ(loader.calls, 4);                   // and the bad image
  // The scene holds the last reference of each texture it decoded.
  std::weak_ptr<Surface> wood = ma->layer(1)->frames()[0];
  scene.reset();
  EXPECT_TRUE(wood.expired());
}

TEST_F(SceneLoadTest, LightmapLayersAreReadOnlyWhileEnabled) {
  const auto bytes = testing::SampleArchive();
  ASSERT_TRUE(load(bytes));
  Material* hull = scene->findMaterial("Hull");
  EXPECT_EQ(hull->layer(5)->texCoordIndex(), 1u);
  EXPECT_EQ(AsFake(hull->layer(5)->frames()[0]).loadKind, 2u);
  SceneHarness off;
  off.scene->setLightmapsEnabled(false);
  ASSERT_TRUE(off.load(bytes));
  EXPECT_NE(off.scene->findMaterial("Hull")->layer(1), nullptr);
  EXPECT_EQ(off.scene->findMaterial("Hull")->layer(5), nullptr);
  EXPECT_EQ(off.scene->findTexture("Board_lm.jpg", 5), nullptr);  // not even decoded
}

TEST_F(SceneLoadTest, AFileIsPreferredAndItsFailureFallsBackSilently) {
  SceneArchiveWriter fromResource;
  fromResource.addGeometry("resource", NodeUnder("Scene Root"), {});
  resources.add(147, kSceneResourceType, fromResource.finish());
  EXPECT_TRUE(scene->load("/nonexistent/brisane.sss", 147));
  EXPECT_NE(scene->findNode("resource"), nullptr);
  SceneHarness other;
  EXPECT_FALSE(other.scene->load("", 147));  // neither source opens
  EXPECT_TRUE(other.scene->nodes().empty());
}

TEST_F(SceneLoadTest, AFailedLoadLeavesTheSceneAsItWasAndALaterOneSharesItsMaterials) {
  ASSERT_TRUE(load(testing::SampleArchive()));
  const auto nodes = scene->nodes();
  const auto materials = scene->materials();
  const auto opaque = scene->opaqueList();
  const auto rootChildren = scene->root().children();
  const auto textureCount = scene->textures().size();
  SceneArchiveWriter damaged;
  ArchiveMaterial fresh;
  fresh.layers = {Layer(1, {"New.jpg"})};
  damaged.addMaterial("Fresh", fresh);
  damaged.addImage("New.jpg", Bytes("New.jpg"));
  damaged.addGeometry("a_good", NodeUnder("Scene Root"), OneFrame({QuadMesh("Fresh")}));
  auto broken = EncodeGeometry(NodeUnder("Scene Root"), OneFrame({QuadMesh("Fresh")}));
  broken.resize(broken.size() - 3);
  damaged.addRecord("z_broken", "GO", broken);
  EXPECT_FALSE(load(damaged.finish()));
  EXPECT_NE(scene->loadError().find("z_broken"), std::string::npos) << scene->loadError();
  EXPECT_EQ(scene->nodes(), nodes);
  EXPECT_EQ(scene->materials(), materials);
  EXPECT_EQ(scene->opaqueList(), opaque);
  EXPECT_EQ(scene->root().children(), rootChildren);
  EXPECT_EQ(scene->textures().size(), textureCount);

  SceneArchiveWriter more;
  more.addGeometry("sail2", NodeUnder("mast"), OneFrame({QuadMesh("Sail")}));
  more.addMaterial("Sail", ArchiveMaterial{});
  ASSERT_TRUE(load(more.finish()));
  auto* sail2 = Find<GeometryObject>(*scene, "sail2");
  EXPECT_EQ(sail2->activeMeshes()[0]->material(), scene->findMaterial("Sail"));
  EXPECT_EQ(materials.at("Sail"), scene->findMaterial("Sail"));
  EXPECT_EQ(sail2->parent(), &scene->root());  // parents are looked up within one file
}

}  // namespace
}  // namespace brisane
