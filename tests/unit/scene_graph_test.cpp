#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "scene/vertex_format.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::Find;
using testing::Layer;
using testing::NodeUnder;
using testing::OneFrame;
using testing::QuadMesh;
using testing::SceneHarness;

std::vector<std::unique_ptr<Mesh>> OneMesh(std::uint32_t fvf, std::uint8_t seed) {
  std::vector<std::unique_ptr<Mesh>> meshes;
  meshes.push_back(std::make_unique<Mesh>(fvf, testing::Vertices(fvf, 3, seed), std::vector<std::uint16_t>{0, 1, 2}));
  return meshes;
}

class SceneGraphTest : public ::testing::Test {
 protected:
  ManualClock clock{500};
  Scene scene{clock};
};

// The sample ship loaded, for the tests that walk its tree.
class SampleShipTest : public ::testing::Test, public SceneHarness {
 protected:
  void SetUp() override { ASSERT_TRUE(load(testing::SampleArchive())); }
  Scene& s() { return *scene; }
};

TEST_F(SceneGraphTest, AddNodeSortsIntoRootListsAndLights) {
  auto opaque = std::make_unique<GeometryObject>("opaque", clock);
  opaque->addFrame(0, OneMesh(kFvfOneTexture, 0));
  SceneNode* opaqueNode = scene.addNode(std::move(opaque));
  EXPECT_EQ(scene.root().children(), std::vector<SceneNode*>{opaqueNode});
  std::vector<Light*> added;
  for (const char* name : {"L0", "L1", "L2"})
    added.push_back(static_cast<Light*>(scene.addNode(std::make_unique<Light>(name, clock))));
  EXPECT_EQ(added[2]->index(), 2u);
  EXPECT_EQ(scene.lights(), added);
  scene.addNode(std::make_unique<Camera>("cam", clock));
  EXPECT_EQ(scene.opaqueList(), std::vector<SceneNode*>{opaqueNode});  // lights and cameras are not drawn
  // A name already taken is only shadowed in the map; the earlier node stays in its list.
  SceneNode* second = scene.addNode(std::make_unique<GeometryObject>("opaque", clock));
  EXPECT_EQ(scene.findNode("opaque"), second);
  EXPECT_EQ(scene.opaqueList(), (std::vector<SceneNode*>{opaqueNode, second}));
}

TEST_F(SceneGraphTest, TransparencyComesFromTheFirstMeshMaterial) {
  SceneHarness h;
  SceneArchiveWriter w;
  ArchiveMaterial opacity, keyed, plain;
  opacity.layers = {Layer(1, {"a"}), Layer(4, {"a"})};
  keyed.layers = {Layer(6, {"a"})};
  w.addMaterial("Opacity", opacity);
  w.addMaterial("Keyed", keyed);
  w.addMaterial("Plain", plain);
  w.addImage("a", testing::Bytes("a"));
  w.addGeometry("o", NodeUnder("x"), OneFrame({QuadMesh("Opacity")}));
  w.addGeometry("k", NodeUnder("x"), OneFrame({QuadMesh("Keyed"), QuadMesh("Plain")}));
  w.addGeometry("p", NodeUnder("x"), OneFrame({QuadMesh("Plain"), QuadMesh("Opacity")}));
  w.addGeometry("n", NodeUnder("x"), OneFrame({QuadMesh("")}));
  w.addGeometry("m", NodeUnder("x"), {});
  ASSERT_TRUE(h.load(w.finish()));
  std::vector<std::string> transparent, opaque;
  for (auto* n : h.scene->transparentList()) transparent.push_back(n->name());
  for (auto* n : h.scene->opaqueList()) opaque.push_back(n->name());
  EXPECT_EQ(transparent, (std::vector<std::string>{"k", "o"}));
  EXPECT_EQ(opaque, (std::vector<std::string>{"m", "n", "p"}));
}

TEST_F(SampleShipTest, SetVisibleReachesEveryGeometryObjectOfTheSubtree) {
  s().findNode("mast")->setVisible(false);
  EXPECT_FALSE(Find<GeometryObject>(s(), "sail")->visible());
  EXPECT_TRUE(Find<GeometryObject>(s(), "lantern")->visible());
  // Through a light that hangs between geometry objects.
  auto child = std::make_unique<GeometryObject>("under_lamp", clock);
  s().findNode("Lamp")->addChild(child.get());
  auto* underLamp = static_cast<GeometryObject*>(s().addNode(std::move(child)));
  s().findNode("hull")->setVisible(false);
  EXPECT_FALSE(underLamp->visible());
  s().findNode("sail")->setVisible(true);
  EXPECT_TRUE(Find<GeometryObject>(s(), "sail")->visible());
  EXPECT_FALSE(Find<GeometryObject>(s(), "mast")->visible());  // only the subtree changes
}

TEST_F(SampleShipTest, WorldMatricesChainThroughParentsInOnePass) {
  s().root().updateSubtree();
  EXPECT_EQ(s().findNode("sail")->position(), (Vector3{0, 11, 0}));
  EXPECT_EQ(Find<Light>(s(), "Sun")->light.position, (DeviceVector{5, 6, 7}));
  Light loose("loose", clock);
  loose.setLocal(Matrix::translation(1, 2, 3));
  loose.update(Matrix::identity());
  EXPECT_EQ(loose.world(), Matrix::identity());  // a light outside a scene does nothing
}

TEST_F(SampleShipTest, CloneCopiesDeeplyAndCopiesMaterialsUnderTheSuffix) {
  auto* sail = Find<GeometryObject>(s(), "sail");
  sail->setLocal(Matrix::translation(3, 0, 0));
  GeometryObject* copy = sail->clone("sail02clone", s());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->name(), "sailsail02clone");
  EXPECT_EQ(s().findNode("mast")->children().back(), copy);
  EXPECT_EQ(s().findNode("sailsail02clone"), nullptr);  // not registered until added
  EXPECT_EQ(copy->local(), Matrix::translation(3, 0, 0));
  ASSERT_EQ(copy->frames().size(), 2u);
  EXPECT_NE(copy->frames()[1].meshes[0].get(), sail->frames()[1].meshes[0].get());
  EXPECT_EQ(copy->frames()[1].meshes[0]->vertices(), sail->frames()[1].meshes[0]->vertices());
  EXPECT_EQ(copy->activeMeshes(), std::vector<Mesh*>{copy->frames()[0].meshes[0].get()});
  Material* copied = s().findMaterial("Sailsail02clone");
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copy->frames()[1].meshes[0]->material(), copied);
  EXPECT_EQ(sail->activeMeshes()[0]->material(), s().findMaterial("Sail"));
  EXPECT_EQ(copied->twoSided(), 1u);
  EXPECT_EQ(copied->layer(1)->frames(), s().findMaterial("Sail")->layer(1)->frames());
  // A second clone with the same suffix reuses the copied material.
  GeometryObject* again = sail->clone("sail02clone", s(), s().findNode("hull"));
  EXPECT_EQ(again->activeMeshes()[0]->material(), copied);
  EXPECT_EQ(again->parent(), s().findNode("hull"));
  EXPECT_TRUE(s().addNode(copy));
  EXPECT_EQ(s().findNode("sailsail02clone"), copy);
  EXPECT_EQ(copy->parent(), s().findNode("mast"));
  GeometryObject stranger("stranger", clock);
  EXPECT_FALSE(s().addNode(&stranger));  // only nodes the scene owns
  Material* other = s().findMaterial("Hull");
  copy->replaceMaterial(other, copied);
  EXPECT_EQ(copy->frames()[0].meshes[0]->material(), other);
  EXPECT_EQ(copy->frames()[1].meshes[0]->material(), other);
  EXPECT_EQ(again->activeMeshes()[0]->material(), copied);
}

TEST_F(SampleShipTest, MaterialCopiesLeaveLightmapsOutWhenDisabled) {
  Material* hull = s().findMaterial("Hull");
  hull->layer(5)->start(20);
  Material with(*hull, "with", true), without(*hull, "without", false);
  ASSERT_NE(with.layer(5), nullptr);
  EXPECT_EQ(with.layer(5)->rate(), 20u);
  EXPECT_EQ(with.layer(5)->texCoordIndex(), 1u);
  EXPECT_EQ(without.layer(5), nullptr);
  EXPECT_NE(without.layer(1), nullptr);
  EXPECT_EQ(without.description(), hull->description());
}

TEST_F(SceneGraphTest, TextureAnimationStartsTheLayersOfAKindFamily) {
  SceneHarness h;
  SceneArchiveWriter w;
  ArchiveMaterial all;
  for (std::uint16_t kind = 1; kind <= 6; ++kind) all.layers.push_back(Layer(kind, {"a"}));
  w.addMaterial("All", all);
  w.addImage("a", testing::Bytes("a"));
  w.addGeometry("g", NodeUnder("x"), OneFrame({QuadMesh("All"), QuadMesh("")}));
  ASSERT_TRUE(h.load(w.finish()));
  auto* object = Find<GeometryObject>(*h.scene, "g");
  Material* m = h.scene->findMaterial("All");
  const std::map<std::uint32_t, std::vector<std::uint32_t>> started = {
      {1, {1, 6}}, {2, {2}}, {3, {3}}, {4, {4, 6}}, {5, {5}}, {6, {4, 6}}, {0, {}}, {7, {}}};
  h.clock.set(777);
  for (const auto& [family, kinds] : started) {
    for (std::uint32_t kind = 1; kind <= 6; ++kind) m->layer(kind)->start(0);
    object->startTextureAnimation(12, family);
    for (std::uint32_t kind = 1; kind <= 6; ++kind)
      EXPECT_EQ(m->layer(kind)->rate(), std::ranges::count(kinds, kind) ? 12u : 0u) << family << " " << kind;
  }
  EXPECT_EQ(m->layer(1)->animStart(), 777u);
}

TEST_F(SceneGraphTest, LayerCopiesKeepEveryFieldAndShareFrames) {
  auto keyed = MakeTextureLayer(LayerAlphaKeyed, clock);
  static_cast<ConstantAlphaLayer&>(*keyed).alpha = 99;
  keyed->setTexCoordIndex(1);
  keyed->addFrame(std::make_shared<testing::FakeTexture>("k", 3, 0));
  clock.set(4321);
  keyed->start(7);
  auto copy = keyed->copy();
  EXPECT_EQ(std::tuple(copy->kind(), static_cast<ConstantAlphaLayer&>(*copy).alpha, copy->texCoordIndex(),
                       copy->frames(), copy->animStart(), copy->rate()),
            std::tuple(6u, 99, 1u, keyed->frames(), 4321u, 7u));
  EXPECT_EQ(MakeTextureLayer(0, clock), nullptr);
  EXPECT_EQ(MakeTextureLayer(7, clock), nullptr);
}

TEST_F(SceneGraphTest, LightsGoIntoTheDeviceAtTheirIndexOnlyOnceInTheScene) {
  testing::RecordingDevice device;
  Light loose("loose", clock);
  loose.apply(device);
  loose.enable(false);
  scene.addNode(std::make_unique<Light>("first", clock));
  auto* second = static_cast<Light*>(scene.addNode(std::make_unique<Light>("second", clock)));
  second->light.range = 42.0f;
  second->enable(true);  // no device remembered yet
  EXPECT_TRUE(device.log.empty());
  second->apply(device);
  EXPECT_EQ(device.lights[1].range, 42.0f);
  second->enable(false);
  EXPECT_EQ(device.log, (std::vector<std::string>{"SetLight(1)", "LightEnable(1, 1)", "LightEnable(1, 0)"}));
}

TEST_F(SceneGraphTest, ExcludedLightsReachGeometryChildrenOnly) {
  GeometryObject top("top", clock), child("child", clock), grandchild("grandchild", clock), belowCamera("b", clock);
  Camera camera("camera", clock);
  top.addChild(&child);
  child.addChild(&grandchild);
  top.addChild(&camera);
  camera.addChild(&belowCamera);
  Light light("light", clock);
  top.addExcludedLight(&light);
  EXPECT_EQ(grandchild.excludedLights().size(), 1u);
  EXPECT_TRUE(belowCamera.excludedLights().empty());  // a camera's subtree is skipped
}

TEST_F(SceneGraphTest, AppendToVertexBufferCopiesAndConvertsStrides) {
  GeometryObject object("o", clock);
  auto meshes = OneMesh(kFvfOneTexture, 0);
  meshes.push_back(std::move(OneMesh(kFvfTwoTextures, 100)[0]));
  object.addFrame(0, std::move(meshes));
  testing::RecordingVertexBuffer buffer(kFvfOneTexture, 6);
  std::vector<std::uint16_t> indices{9};
  EXPECT_EQ(object.appendToVertexBuffer(buffer, indices), kOk);
  EXPECT_FALSE(buffer.Locked());
  EXPECT_EQ(indices, (std::vector<std::uint16_t>{9, 0, 1, 2, 0, 1, 2}));  // appended unshifted
  const auto& out = buffer.Bytes();
  const auto first = testing::Vertices(kFvfOneTexture, 3, 0), second = testing::Vertices(kFvfTwoTextures, 3, 100);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin()));
  for (std::size_t v = 0; v < 3; ++v)  // 40-byte vertices cut to their first 32
    EXPECT_TRUE(std::equal(second.begin() + v * 40, second.begin() + v * 40 + 32, out.begin() + 96 + v * 32)) << v;
  testing::RecordingVertexBuffer wide(kFvfTwoTextures, 6);
  EXPECT_EQ(object.appendToVertexBuffer(wide, indices), kOk);
  EXPECT_TRUE(std::equal(first.begin() + 32, first.begin() + 64, wide.Bytes().begin() + 40));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), wide.Bytes().begin() + 120));
  testing::RecordingVertexBuffer small(kFvfOneTexture, 5);
  std::vector<std::uint16_t> none;
  EXPECT_EQ(object.appendToVertexBuffer(small, none), kEFail);
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(small.Locked());
}

// The device's vertex size and the file's stride agree on every format both
// take; the stride refuses codes that describe no vertex.
TEST(VertexFormatTest, SizesOfKnownFormatsAndNoneForOthers) {
  const std::pair<std::uint32_t, std::uint32_t> known[] = {
      {kFvfOneTexture, 32},
      {kFvfTwoTextures, 40},
      {d3d::kFvfXyz | d3d::kFvfDiffuse, 16},
      {d3d::kFvfXyzRhw | d3d::kFvfDiffuse | d3d::kFvfSpecular | d3d::kFvfTex1, 32},
      {0x006 /* one blend weight */, 16}};
  for (const auto& [fvf, bytes] : known) {
    EXPECT_EQ(VertexSize(fvf), bytes) << std::hex << fvf;
    EXPECT_EQ(FvfStride(fvf), bytes) << std::hex << fvf;
  }
  EXPECT_EQ(FvfStride(d3d::kFvfXyz | d3d::kFvfTex1 | (1u << 16)), 24u);  // one three-float set
  for (std::uint32_t bad : {0u, d3d::kFvfNormal | d3d::kFvfTex1, kFvfOneTexture | (1u << 18), d3d::kFvfXyz | 0xF00u})
    EXPECT_EQ(FvfStride(bad), 0u) << std::hex << bad;
  EXPECT_THROW(Mesh(kFvfOneTexture, std::vector<std::uint8_t>(33), {}), SceneDataError);
  EXPECT_THROW(Mesh(kFvfOneTexture, std::vector<std::uint8_t>(64), {0, 1, 2}), SceneDataError);
}

}  // namespace
}  // namespace brisane
