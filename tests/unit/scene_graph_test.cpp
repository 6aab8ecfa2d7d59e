// The scene graph: loading archives into it, its lists, copies, lights and
// the animation of transforms, geometry frames and texture layers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <tuple>

#include "scene/vertex_format.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using namespace testing;

std::vector<std::unique_ptr<Mesh>> OneMesh(std::uint32_t fvf, std::uint8_t seed) {
  std::vector<std::unique_ptr<Mesh>> meshes;
  meshes.push_back(std::make_unique<Mesh>(fvf, testing::Vertices(fvf, 3, seed), std::vector<std::uint16_t>{0, 1, 2}));
  return meshes;
}

std::vector<std::string> Names(const std::vector<SceneNode*>& nodes) {
  std::vector<std::string> names;
  for (const SceneNode* node : nodes) names.push_back(node->name());
  return names;
}

class SceneGraphTest : public ::testing::Test {
 protected:
  ManualClock clock{500};
  Scene scene{clock};
};

// The sample ship loaded, for the tests that walk its tree.
class SceneLoadTest : public ::testing::Test, public SceneHarness {};

class SampleShipTest : public SceneLoadTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Load(testing::SampleArchive())); }
  Scene& s() { return *scene; }
};

TEST_F(SceneGraphTest, AddNodeSortsIntoRootListsAndLights) {
  auto opaque = std::make_unique<GeometryObject>("opaque", clock);
  opaque->AddFrame(0, OneMesh(kFvfOneTexture, 0));
  SceneNode* opaqueNode = scene.AddNode(std::move(opaque));
  std::vector<Light*> added;
  for (const char* name : {"L0", "L1", "L2"})
    added.push_back(static_cast<Light*>(scene.AddNode(std::make_unique<Light>(name, clock))));
  EXPECT_EQ(std::tuple(added[2]->index(), scene.lights()), std::tuple(std::size_t{2}, added));
  scene.AddNode(std::make_unique<Camera>("cam", clock));
  EXPECT_EQ(scene.opaqueList(), std::vector<SceneNode*>{opaqueNode});  // lights and cameras are not drawn
  // A name already taken is only shadowed in the map; the earlier node stays in its list.
  SceneNode* second = scene.AddNode(std::make_unique<GeometryObject>("opaque", clock));
  EXPECT_EQ(scene.FindNode("opaque"), second);
  EXPECT_EQ(scene.opaqueList(), (std::vector<SceneNode*>{opaqueNode, second}));
}

TEST_F(SceneGraphTest, TransparencyComesFromTheFirstMeshMaterial) {
  SceneHarness h;
  SceneArchiveWriter w;
  w.AddMaterial("Opacity", Layered({Layer(1, {"a"}), Layer(4, {"a"})}));
  w.AddMaterial("Keyed", Layered({Layer(6, {"a"})}));
  w.AddMaterial("Plain", ArchiveMaterial{});
  w.AddImage("a", testing::Bytes("a"));
  w.AddGeometry("o", NodeUnder("x"), OneFrame({QuadMesh("Opacity")}));
  w.AddGeometry("k", NodeUnder("x"), OneFrame({QuadMesh("Keyed"), QuadMesh("Plain")}));
  w.AddGeometry("p", NodeUnder("x"), OneFrame({QuadMesh("Plain"), QuadMesh("Opacity")}));
  w.AddGeometry("n", NodeUnder("x"), OneFrame({QuadMesh("")}));
  w.AddGeometry("m", NodeUnder("x"), {});
  ASSERT_TRUE(h.Load(w.Finish()));
  EXPECT_EQ(Names(h.scene->transparentList()), (std::vector<std::string>{"k", "o"}));
  EXPECT_EQ(Names(h.scene->opaqueList()), (std::vector<std::string>{"m", "n", "p"}));
}

TEST_F(SampleShipTest, SetVisibleReachesEveryGeometryObjectOfTheSubtree) {
  s().FindNode("mast")->SetVisible(false);
  EXPECT_FALSE(Find<GeometryObject>(s(), "sail")->visible());
  EXPECT_TRUE(Find<GeometryObject>(s(), "lantern")->visible());
  // Through a light that hangs between geometry objects.
  auto child = std::make_unique<GeometryObject>("under_lamp", clock);
  s().FindNode("Lamp")->AddChild(child.get());
  auto* underLamp = static_cast<GeometryObject*>(s().AddNode(std::move(child)));
  s().FindNode("hull")->SetVisible(false);
  EXPECT_FALSE(underLamp->visible());
  s().FindNode("sail")->SetVisible(true);
  EXPECT_TRUE(Find<GeometryObject>(s(), "sail")->visible());
  EXPECT_FALSE(Find<GeometryObject>(s(), "mast")->visible());  // only the subtree changes
}

TEST_F(SampleShipTest, CloneCopiesDeeplyAndCopiesMaterialsUnderTheSuffix) {
  auto* sail = Find<GeometryObject>(s(), "sail");
  sail->SetLocal(Matrix::Translation(3, 0, 0));
  GeometryObject* copy = sail->Clone("sail02clone", s());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->name(), "sailsail02clone");
  EXPECT_EQ(std::tuple(s().FindNode("mast")->children().back(), s().FindNode("sailsail02clone")), std::tuple(copy, nullptr))
      << "not registered until added";
  EXPECT_EQ(copy->local(), Matrix::Translation(3, 0, 0));
  ASSERT_EQ(copy->frames().size(), 2u);
  EXPECT_NE(copy->frames()[1].meshes[0].get(), sail->frames()[1].meshes[0].get());
  EXPECT_EQ(copy->frames()[1].meshes[0]->vertices(), sail->frames()[1].meshes[0]->vertices());
  EXPECT_EQ(copy->activeMeshes(), std::vector<Mesh*>{copy->frames()[0].meshes[0].get()});
  Material* copied = s().FindMaterial("Sailsail02clone");
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(std::tuple(copy->frames()[1].meshes[0]->material(), sail->activeMeshes()[0]->material()),
            std::tuple(copied, s().FindMaterial("Sail")));
  EXPECT_EQ(copied->twoSided(), 1u);
  EXPECT_EQ(copied->layer(1)->frames(), s().FindMaterial("Sail")->layer(1)->frames());
  // A second clone with the same suffix reuses the copied material.
  GeometryObject* again = sail->Clone("sail02clone", s(), s().FindNode("hull"));
  EXPECT_EQ(std::tuple(again->activeMeshes()[0]->material(), again->parent()), std::tuple(copied, s().FindNode("hull")));
  EXPECT_TRUE(s().AddNode(copy));
  EXPECT_EQ(std::tuple(s().FindNode("sailsail02clone"), copy->parent()), std::tuple(copy, s().FindNode("mast")));
  GeometryObject stranger("stranger", clock);
  EXPECT_FALSE(s().AddNode(&stranger));  // only nodes the scene owns
  Material* other = s().FindMaterial("Hull");
  copy->ReplaceMaterial(other, copied);
  EXPECT_EQ((std::array{copy->frames()[0].meshes[0]->material(), copy->frames()[1].meshes[0]->material(),
                        again->activeMeshes()[0]->material()}),
            (std::array{other, other, copied}));
}

TEST_F(SceneGraphTest, TextureAnimationStartsTheLayersOfAKindFamily) {
  SceneHarness h;
  SceneArchiveWriter w;
  ArchiveMaterial all;
  for (std::uint16_t kind = 1; kind <= 6; ++kind) all.layers.push_back(Layer(kind, {"a"}));
  w.AddMaterial("All", all);
  w.AddImage("a", testing::Bytes("a"));
  w.AddGeometry("g", NodeUnder("x"), OneFrame({QuadMesh("All"), QuadMesh("")}));
  ASSERT_TRUE(h.Load(w.Finish()));
  auto* object = Find<GeometryObject>(*h.scene, "g");
  Material* m = h.scene->FindMaterial("All");
  const std::map<std::uint32_t, std::vector<std::uint32_t>> started = {
      {1, {1, 6}}, {2, {2}}, {3, {3}}, {4, {4, 6}}, {5, {5}}, {6, {4, 6}}, {0, {}}, {7, {}}};
  h.clock.set(777);
  for (const auto& [family, kinds] : started) {
    for (std::uint32_t kind = 1; kind <= 6; ++kind) m->layer(kind)->Start(0);
    object->StartTextureAnimation(12, family);
    for (std::uint32_t kind = 1; kind <= 6; ++kind)
      EXPECT_EQ(m->layer(kind)->rate(), std::ranges::count(kinds, kind) ? 12u : 0u) << family << " " << kind;
  }
  EXPECT_EQ(m->layer(1)->animStart(), 777u);
}

TEST_F(SceneGraphTest, LightsGoIntoTheDeviceAtTheirIndexOnlyInTheSceneAndExcludeOnlyGeometryBelow) {
  testing::RecordingDevice device;
  Light loose("loose", clock);
  loose.Apply(device);
  loose.Enable(false);
  scene.AddNode(std::make_unique<Light>("first", clock));
  auto* second = static_cast<Light*>(scene.AddNode(std::make_unique<Light>("second", clock)));
  second->light.range = 42.0f;
  second->Enable(true);  // no device remembered yet
  second->Apply(device);
  EXPECT_EQ(device.lights[1].range, 42.0f);
  second->Enable(false);
  EXPECT_EQ(device.log, (std::vector<std::string>{"SetLight(1)", "LightEnable(1, 1)", "LightEnable(1, 0)"}));
  // Excluded lights reach geometry children only.
  GeometryObject top("top", clock), child("child", clock), grandchild("grandchild", clock), belowCamera("b", clock);
  Camera camera("camera", clock);
  top.AddChild(&child);
  child.AddChild(&grandchild);
  top.AddChild(&camera);
  camera.AddChild(&belowCamera);
  Light light("light", clock);
  top.AddExcludedLight(&light);
  EXPECT_EQ(std::tuple(grandchild.excludedLights().size(), belowCamera.excludedLights().size()),
            std::tuple(std::size_t{1}, std::size_t{0}));  // a camera's subtree is skipped
}

TEST_F(SceneGraphTest, AppendToVertexBufferCopiesAndConvertsStrides) {
  GeometryObject object("o", clock);
  auto meshes = OneMesh(kFvfOneTexture, 0);
  meshes.push_back(std::move(OneMesh(kFvfTwoTextures, 100)[0]));
  object.AddFrame(0, std::move(meshes));
  testing::RecordingVertexBuffer buffer(kFvfOneTexture, 6);
  std::vector<std::uint16_t> indices{9};
  EXPECT_EQ(std::tuple(object.AppendToVertexBuffer(buffer, indices), buffer.Locked()), std::tuple(kOk, false));
  EXPECT_EQ(indices, (std::vector<std::uint16_t>{9, 0, 1, 2, 0, 1, 2}));  // appended unshifted
  const auto& out = buffer.Bytes();
  const auto first = testing::Vertices(kFvfOneTexture, 3, 0), second = testing::Vertices(kFvfTwoTextures, 3, 100);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin()));
  for (std::size_t v = 0; v < 3; ++v)  // 40-byte vertices cut to their first 32
    EXPECT_TRUE(std::equal(second.begin() + v * 40, second.begin() + v * 40 + 32, out.begin() + 96 + v * 32)) << v;
  testing::RecordingVertexBuffer wide(kFvfTwoTextures, 6);
  EXPECT_EQ(object.AppendToVertexBuffer(wide, indices), kOk);
  EXPECT_TRUE(std::equal(first.begin() + 32, first.begin() + 64, wide.Bytes().begin() + 40));
  EXPECT_TRUE(std::equal(second.begin(), second.end(), wide.Bytes().begin() + 120));
  testing::RecordingVertexBuffer small(kFvfOneTexture, 5);
  std::vector<std::uint16_t> none;
  EXPECT_EQ(object.AppendToVertexBuffer(small, none), kEFail);
  EXPECT_FALSE(!none.empty() || small.Locked());
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
  for (const auto& [fvf, bytes] : known) EXPECT_EQ(std::tuple(VertexSize(fvf), FvfStride(fvf)), std::tuple(bytes, bytes)) << std::hex << fvf;
  EXPECT_EQ(FvfStride(d3d::kFvfXyz | d3d::kFvfTex1 | (1u << 16)), 24u);  // one three-float set
  for (std::uint32_t bad : {0u, d3d::kFvfNormal | d3d::kFvfTex1, kFvfOneTexture | (1u << 18), d3d::kFvfXyz | 0xF00u})
    EXPECT_EQ(FvfStride(bad), 0u) << std::hex << bad;
  EXPECT_THROW(Mesh(kFvfOneTexture, std::vector<std::uint8_t>(33), {}), SceneDataError);
  EXPECT_THROW(Mesh(kFvfOneTexture, std::vector<std::uint8_t>(64), {0, 1, 2}), SceneDataError);
}

TEST_F(SceneLoadTest, BuildsTheSampleShip) {
  ASSERT_TRUE(Load(testing::SampleArchive()));
  EXPECT_EQ(scene->nodes().size(), 8u);
  // The root is not in the name map; a failed lookup adds nothing.
  EXPECT_TRUE(!scene->FindNode(kSceneRootName) && !scene->FindNode("nothing") && !scene->nodes().count("nothing"));
  // Children in byte order of their names; parents that are no node put a node under the root.
  EXPECT_EQ(Names(scene->root().children()), (std::vector<std::string>{"Camera01", "Sun", "hull"}));
  EXPECT_EQ(Names(scene->FindNode("mast")->children()), (std::vector<std::string>{"Camera02", "sail"}));
  auto* hull = Find<GeometryObject>(*scene, "hull");
  ASSERT_EQ(hull->activeMeshes().size(), 2u);
  EXPECT_EQ(hull->local(), Matrix::Translation(0, 1, 0));  // the first key
  const Mesh& second = *hull->activeMeshes()[1];
  EXPECT_EQ(std::tuple(second.fvf(), second.vertices(), second.indices()),
            std::tuple(kFvfTwoTextures, testing::Vertices(kFvfTwoTextures, 4, 7), std::vector<std::uint16_t>{0, 1, 2, 2, 1, 3}));
  auto* camera = Find<Camera>(*scene, "Camera01");
  EXPECT_EQ(std::tuple(camera->projection(2, 3), camera->keys().size(), scene->currentCamera()),
            std::tuple(1.0f, std::size_t{2}, nullptr));
  // World matrices chain through parents in one pass; a light follows its world.
  scene->root().UpdateSubtree();
  EXPECT_EQ(scene->FindNode("sail")->position(), (Vector3{0, 11, 0}));
  EXPECT_EQ(Find<Light>(*scene, "Sun")->light.position, (DeviceVector{5, 6, 7}));
  Light loose("loose", clock);  // outside a scene it does nothing
  loose.SetLocal(Matrix::Translation(1, 2, 3));
  loose.Update(Matrix::Identity());
  EXPECT_EQ(loose.world(), Matrix::Identity());
}

TEST_F(SceneLoadTest, LightsAreIndexedInNameOrderAndExcludeGeometryBelowTheTarget) {
  SceneArchiveWriter w = testing::SampleWriter();
  w.AddLight("Aft", NodeUnder("Scene Root"), DeviceLight{}, {"Camera01", "no such node"});
  // Every field distinct, so a field read out of place shows.
  const DeviceLight light{d3d::kLightPoint, {0.1f, 0.2f, 0.3f, 0.4f}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11}, {0, -1, 0},
                          500, 1, 0.5f, 0.25f, 0.125f, 0.3f, 0.6f};
  w.AddLight("Z1", NodeUnder("Scene Root"), light, {"a", "b"});
  ASSERT_TRUE(Load(w.Finish()));
  std::vector<std::string> names;
  for (const Light* l : scene->lights()) {
    EXPECT_TRUE(l->index() == names.size() && l->inScene());
    names.push_back(l->name());
  }
  ASSERT_EQ(names, (std::vector<std::string>{"Aft", "Lamp", "Sun", "Z1"}));
  EXPECT_EQ(std::tuple(scene->lights()[3]->light, scene->lights()[3]->excludedNames), std::tuple(light, std::vector<std::string>{"a", "b"}));
  // Aft names a camera and nothing at all, so only the lamp is kept off.
  for (const char* name : {"hull", "mast", "sail", "lantern"})
    EXPECT_EQ(Find<GeometryObject>(*scene, name)->excludedLights(), std::vector<Light*>{scene->lights()[1]}) << name;
}

TEST_F(SceneLoadTest, RecordsOfOneNameAndUnknownTypesAndTrailingBytes) {
  SceneArchiveWriter w;
  ArchiveMaterial material;
  material.description.power = 12.0f;
  w.AddMaterial("Flag", material);
  w.AddGeometry("Flag", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag")}));
  w.AddRecord("Other", "XYZ", Bytes("unknown types are not visited"));
  // Some exported groups carry bytes after their frames.
  auto payload = EncodeGeometry(NodeUnder("Scene Root"), {});
  const auto header = EncodeCamera(NodeUnder("Scene Root"), Matrix::Identity());
  payload.insert(payload.end(), header.begin(), header.end());
  w.AddRecord("group", "GO", payload);
  ASSERT_TRUE(Load(w.Finish()));
  EXPECT_EQ(scene->nodes().size(), 2u);
  EXPECT_TRUE(Find<GeometryObject>(*scene, "group")->frames().empty());
  Material* m = scene->FindMaterial("Flag");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::tuple(m->description().power, Find<GeometryObject>(*scene, "Flag")->activeMeshes()[0]->material()), std::tuple(12.0f, m));
}

TEST_F(SceneLoadTest, MaterialsAndTexturesAreSharedByNameAndKind) {
  SceneArchiveWriter w;
  ArchiveMaterial keyed = Layered({Layer(6, {"Wood.jpg", "missing.jpg", "bad.jpg"})});
  keyed.layers[0].param = 1;
  w.AddMaterial("A", Layered({Layer(1, {"Wood.jpg"})}));
  w.AddMaterial("B", Layered({Layer(1, {"Wood.jpg"}), Layer(3, {"Sky.jpg"}), Layer(9, {}), Layer(2, {"Wood.jpg"})}, 3));
  w.AddMaterial("Keyed", keyed);
  for (const char* image : {"Wood.jpg", "Sky.jpg"}) w.AddImage(image, Bytes(image));
  w.AddImage("bad.jpg", Bytes("bad data"));
  w.AddGeometry("one", NodeUnder("Scene Root"), OneFrame({QuadMesh("A"), QuadMesh("B"), QuadMesh("A")}));
  w.AddGeometry("two", NodeUnder("Scene Root"), OneFrame({QuadMesh("B"), QuadMesh("Keyed"), QuadMesh("None")}));
  ASSERT_TRUE(Load(w.Finish()));
  const auto material = [&](const char* node, int mesh) {
    return Find<GeometryObject>(*scene, node)->activeMeshes()[static_cast<std::size_t>(mesh)]->material();
  };
  Material *ma = scene->FindMaterial("A"), *mb = scene->FindMaterial("B"), *mk = scene->FindMaterial("Keyed");
  EXPECT_EQ((std::array{material("one", 0), material("one", 1), material("one", 2), material("two", 0), material("two", 2)}),
            (std::array<Material*, 5>{ma, mb, ma, mb, nullptr}));  // no record: left off
  EXPECT_EQ(std::tuple(scene->materials().size(), mb->twoSided()), std::tuple(std::size_t{3}, 3u));
  EXPECT_EQ(ma->layer(1)->frames()[0], mb->layer(1)->frames()[0]);
  ASSERT_EQ(mk->layer(6)->frames().size(), 1u);  // missing and undecodable images are dropped
  EXPECT_EQ(std::tuple(AsFake(mk->layer(6)->frames()[0]).loadKind, AsFake(mk->layer(6)->frames()[0]).threshold,
                       AsFake(mb->layer(3)->frames()[0]).loadKind, AsFake(ma->layer(1)->frames()[0]).image),
            std::tuple(3u, std::uint16_t{1}, 4u, std::string("Wood.jpg")));
  EXPECT_TRUE(mb->layer(2)->frames().empty());  // kind 2 loads no texture
  EXPECT_EQ(std::tuple(scene->textures().size(), loader.calls), std::tuple(std::size_t{3}, 4));  // Wood/1, Sky/3, Wood/6; and the bad image
  // The scene holds the last reference of each texture it decoded.
  std::weak_ptr<Surface> wood = ma->layer(1)->frames()[0];
  scene.reset();
  EXPECT_TRUE(wood.expired());
}

// Neither a load nor a material copy takes lightmaps while they are off;
// copies keep every field of their layers and share the frames.
TEST_F(SceneLoadTest, LightmapLayersAreReadOnlyWhileEnabledAndCopiesKeepTheirLayers) {
  const auto bytes = testing::SampleArchive();
  ASSERT_TRUE(Load(bytes));
  Material* hull = scene->FindMaterial("Hull");
  EXPECT_EQ(AsFake(hull->layer(5)->frames()[0]).loadKind, 2u);
  static_cast<ConstantAlphaLayer&>(*hull->layer(1)).alpha = 99;
  clock.set(4321);
  hull->layer(5)->Start(20);
  Material with(*hull, "with", true), without(*hull, "without", false);
  ASSERT_NE(with.layer(5), nullptr);
  const TextureLayer& copy = *with.layer(5);
  EXPECT_EQ(std::tuple(copy.kind(), copy.texCoordIndex(), copy.frames(), copy.animStart(), copy.rate()),
            std::tuple(5u, 1u, hull->layer(5)->frames(), 4321u, 20u));
  EXPECT_EQ(without.layer(5), nullptr);
  EXPECT_EQ(static_cast<ConstantAlphaLayer&>(*without.layer(1)).alpha, 99);
  EXPECT_EQ(without.description(), hull->description());
  EXPECT_FALSE(MakeTextureLayer(0, clock) || MakeTextureLayer(7, clock));
  SceneHarness off;
  off.scene->SetLightmapsEnabled(false);
  ASSERT_TRUE(off.Load(bytes));
  const Material& offHull = *off.scene->FindMaterial("Hull");
  EXPECT_TRUE(offHull.layer(1) && !offHull.layer(5) && !off.scene->FindTexture("Board_lm.jpg", 5));  // not even decoded
}

TEST_F(SceneLoadTest, AFileIsPreferredAndItsFailureFallsBackSilently) {
  SceneArchiveWriter fromResource;
  fromResource.AddGeometry("resource", NodeUnder("Scene Root"), {});
  resources.add(147, kSceneResourceType, fromResource.Finish());
  EXPECT_TRUE(scene->Load("/nonexistent/brisane.sss", 147) && scene->FindNode("resource"));
  SceneHarness other;
  EXPECT_FALSE(other.scene->Load("", 147) || !other.scene->nodes().empty());  // neither source opens
}

TEST_F(SceneLoadTest, AFailedLoadLeavesTheSceneAsItWasAndALaterOneSharesItsMaterials) {
  ASSERT_TRUE(Load(testing::SampleArchive()));
  const auto state = [&] {
    return std::tuple(scene->nodes(), scene->materials(), scene->opaqueList(), scene->root().children(), scene->textures().size());
  };
  const auto before = state();
  SceneArchiveWriter damaged;
  damaged.AddMaterial("Fresh", Layered({Layer(1, {"New.jpg"})}));
  damaged.AddImage("New.jpg", Bytes("New.jpg"));
  damaged.AddGeometry("a_good", NodeUnder("Scene Root"), OneFrame({QuadMesh("Fresh")}));
  auto broken = EncodeGeometry(NodeUnder("Scene Root"), OneFrame({QuadMesh("Fresh")}));
  broken.resize(broken.size() - 3);
  damaged.AddRecord("z_broken", "GO", broken);
  EXPECT_FALSE(Load(damaged.Finish()));
  EXPECT_NE(scene->loadError().find("z_broken"), std::string::npos) << scene->loadError();
  EXPECT_TRUE(state() == before);
  SceneArchiveWriter more;
  more.AddGeometry("sail2", NodeUnder("mast"), OneFrame({QuadMesh("Sail")}));
  more.AddMaterial("Sail", ArchiveMaterial{});
  ASSERT_TRUE(Load(more.Finish()));
  auto* sail2 = Find<GeometryObject>(*scene, "sail2");
  EXPECT_EQ(std::tuple(sail2->activeMeshes()[0]->material(), std::get<1>(before).at("Sail")),
            std::tuple(scene->FindMaterial("Sail"), scene->FindMaterial("Sail")));
  EXPECT_EQ(sail2->parent(), &scene->root());  // parents are looked up within one file
}

// A node with keys at 0 and 100 ms moving x from 0 to 10, under a parent,
// driven through UpdateSubtree as the renderer does; the clock wraps.
class TransformAnimationTest : public ::testing::Test {
 protected:
  TransformAnimationTest() {
    parent.AddChild(&node);
    node.SetKeys({TransformKey{0, Matrix::Translation(0, 0, 0)}, TransformKey{100, Matrix::Translation(10, 0, 0)}});
  }
  void Start(std::uint32_t from, std::uint32_t to, std::int32_t offset, float speed, std::int32_t loops) {
    start = clock.now();
    node.StartAnimation(from, to, offset, speed, loops);
  }
  float At(std::uint32_t ms) {  // the local pose ms after the last start
    clock.set(start + ms);
    parent.UpdateSubtree();
    return node.local().m[12];
  }
  std::uint32_t start = 4294967000u;
  ManualClock clock{start};
  GeometryObject parent{"parent", clock}, node{"node", clock};
};

// Poses along a window of the keys; the local pose starts at x = -7.
TEST_F(TransformAnimationTest, WindowsLoopsOffsetsAndSpeedsGiveTheirPoses) {
  // Poses are (ms after the start, x); animating -1 is not checked.
  const struct {
    std::uint32_t from, to; std::int32_t offset; float speed; std::int32_t loops;
    std::vector<std::pair<std::uint32_t, float>> poses;
    int animating;
  } cases[] = {
      {0, 100, 0, 1.0f, -1, {{25, 2.5f}, {199, 9.9f}, {310, 1.0f}}, 1},  // an endless loop
      {0, 100, 0, 0.5f, -1, {{50, 2.5f}, {250, 2.5f}}, -1},
      {0, 100, 0, 1.0f, 1, {{100, 10.0f}, {130, 10.0f}}, 0},  // a limited loop holds the end pose
      // Key time 170 lies beyond the keys; the next pass starts over at 60.
      {50, 250, 0, 1.0f, -1, {{0, 5.0f}, {40, 9.0f}, {120, 9.0f}, {210, 6.0f}}, -1},
      {0, 100, -30, 1.0f, -1, {{29, -7.0f}, {40, 1.0f}}, -1},  // a negative offset delays
      {0, 100, 30, 1.0f, -1, {{0, 3.0f}}, -1},
      {30, 30, 0, 1.0f, -1, {{0, 3.0f}, {500, 3.0f}}, -1},  // a window under a millisecond
      {0, 100, 0, 1000.0f, -1, {{5, 0.0f}}, -1},            // the window in a tenth of a ms
      {0, 100, 0, -1.0f, -1, {{5, 0.0f}}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << "-" << c.to << " offset " << c.offset << " speed " << c.speed);
    node.SetLocal(Matrix::Translation(-7, 0, 0));
    Start(c.from, c.to, c.offset, c.speed, c.loops);
    for (const auto& [ms, x] : c.poses) EXPECT_FLOAT_EQ(At(ms), x) << ms;
    if (c.animating >= 0) { EXPECT_EQ(node.animation().animating, c.animating == 1); }
  }
}

TEST_F(TransformAnimationTest, WorldLagsOneUpdateASpeedChangeKeepsThePoseAndStartsSkipNodesWithoutKeys) {
  Start(0, 100, 0, 1.0f, -1);
  At(25);
  EXPECT_FLOAT_EQ(node.world().m[12], 0.0f);  // computed from the old local
  EXPECT_FLOAT_EQ(At(40), 4.0f);
  EXPECT_FLOAT_EQ(node.world().m[12], 2.5f);
  parent.SetAnimationSpeed(0.5f);  // reaches the child
  EXPECT_EQ(node.animation().period, 200u);
  EXPECT_FLOAT_EQ(At(40), 4.0f);
  EXPECT_FLOAT_EQ(At(60), 5.0f);
  // Parked, as the show does with cameras: a tiny float speed may fall one
  // key millisecond (0.1) short.
  parent.SetAnimationSpeed(0.0001f);
  EXPECT_NEAR(At(10060), 5.0f, 0.11f);
  parent.SetAnimationSpeed(1.0f);
  EXPECT_NEAR(At(10070), 6.0f, 0.11f);
  parent.SetAnimationSpeed(0.0f);  // refused: it would divide by zero
  EXPECT_EQ(node.animation().speed, 1.0f);
  // A start reaches every node below and skips nodes without keys.
  Camera camera("camera", clock);
  node.AddChild(&camera);
  camera.SetKeys({TransformKey{0, Matrix::Identity()}, TransformKey{10, Matrix::Identity()}});
  parent.StartAnimation(0, 100, 0, 1.0f, -1);
  EXPECT_TRUE(!parent.animation().animating && camera.animation().animating);  // the parent has no keys
  GeometryObject single("single", clock);
  single.SetKeys({TransformKey{0, Matrix::Translation(1, 2, 3)}});
  single.StartAnimation(0, 100, 0, 1.0f, -1);
  clock.advance(50);
  single.Update(Matrix::Identity());
  EXPECT_EQ(single.local(), Matrix::Translation(1, 2, 3));  // one key never moves
}

// Frames at 0, 39 and 79 ms whose first vertex byte tells which they are.
class GeometryAnimationTest : public ::testing::Test {
 protected:
  GeometryAnimationTest() {
    for (std::uint8_t time : {0, 39, 79}) object.AddFrame(time, OneMesh(kFvfOneTexture, time));
  }
  int FrameAt(std::uint32_t ms) {
    clock.set(1000 + ms);
    object.AnimateGeometry();
    return object.activeMeshes()[0]->vertices()[0];
  }
  void Start(std::uint32_t to, std::int32_t offset, float speed, std::int32_t loops) {
    clock.set(1000);
    object.StartGeometryAnimation(0, to, offset, speed, loops);
  }
  ManualClock clock{1000};
  GeometryObject object{"flag", clock};
};

TEST_F(GeometryAnimationTest, TheNearestFrameIsShownATieGoesLaterLoopsEndOnTheWindowAndOnlyGeometryFlips) {
  EXPECT_EQ(FrameAt(0), 0);  // before any start
  Start(100, 0, 1.0f, -1);
  // Beyond the last frame nothing changes; the next pass searches from the start.
  EXPECT_EQ((std::array{FrameAt(19), FrameAt(20), FrameAt(58), FrameAt(59), FrameAt(95), FrameAt(105)}),
            (std::array{0, 39, 39, 79, 79, 0}));
  Start(79, 0, 1.0f, 1);
  EXPECT_EQ(FrameAt(200), 79);  // a limited loop ends on the window's last time
  EXPECT_FALSE(object.geometryAnimation().animating);
  Start(79, 36, 0.5f, -1);      // 36 real ms at half speed advance key time 18
  EXPECT_EQ((std::array{FrameAt(3), FrameAt(4)}), (std::array{0, 39}));
  // Starts only with frames to flip, and only through geometry.
  GeometryObject child("child", clock), still("still", clock), behindLight("behind_light", clock);
  Light light("light", clock);
  object.AddChild(&child);
  object.AddChild(&still);
  object.AddChild(&light);
  light.AddChild(&behindLight);
  for (GeometryObject* o : {&child, &behindLight, &still}) o->AddFrame(0, {});
  for (GeometryObject* o : {&child, &behindLight}) o->AddFrame(10, {});
  object.StartGeometryAnimation(0, 100, 0, 1.0f, -1);
  // One frame has nothing to flip; a light's subtree is not visited.
  EXPECT_EQ((std::array{child.geometryAnimation().animating, still.geometryAnimation().animating,
                        behindLight.geometryAnimation().animating}),
            (std::array{true, false, false}));
}

}  // namespace
}  // namespace brisane
