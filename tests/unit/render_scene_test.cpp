#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/scene_renderer.h"
#include "scene/view.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::Bytes;
using testing::Layer;
using testing::NodeUnder;
using testing::OneFrame;
using testing::QuadMesh;
using testing::RecordingDevice;
using testing::SceneHarness;
using TSS = TextureStageState;

std::uint32_t Stage(const RecordingDevice& d, std::uint32_t stage, TSS state) { return d.StageState(stage, state); }

std::size_t IndexOf(const std::vector<std::string>& log, const std::string& prefix, std::size_t from = 0) {
  auto it = std::find_if(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(),
                         [&](const std::string& entry) { return entry.rfind(prefix, 0) == 0; });
  return static_cast<std::size_t>(it - log.begin());
}

class MaterialStagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneArchiveWriter w;
    auto add = [&](const char* name, std::vector<ArchiveLayer> layers, std::uint16_t twoSided = 0) {
      ArchiveMaterial m;
      m.description.diffuse = {0.25f, 0.5f, 0.75f, 1.0f};
      m.twoSided = twoSided;
      m.layers = std::move(layers);
      w.addMaterial(name, m);
    };
    add("DiffuseLightmap", {Layer(1, {"d.jpg"}), Layer(5, {"lm.jpg"}, 1)});
    add("KeyedDiffuse", {Layer(1, {"d.jpg"}), Layer(6, {"key.jpg"}, 2)});
    add("Opacity", {Layer(1, {"d.jpg"}), Layer(4, {"op.jpg"}, 1)});
    add("Reflection", {Layer(3, {"env.jpg"}, 1)});
    add("Plain", {Layer(1, {"d.jpg"})}, 1);
    add("Broken", {Layer(1, {"bad.jpg"}), Layer(5, {"lm.jpg"})});
    add("BrokenLight", {Layer(1, {"d.jpg"}), Layer(4, {"bad.jpg"}, 1), Layer(5, {"bad.jpg"}, 1)});
    for (const char* image : {"d.jpg", "lm.jpg", "key.jpg", "op.jpg", "env.jpg", "bad.jpg"}) w.addImage(image, Bytes(image));
    std::vector<ArchiveMesh> meshes;
    for (const char* m : {"DiffuseLightmap", "KeyedDiffuse", "Opacity", "Reflection", "Plain", "Broken", "BrokenLight"})
      meshes.push_back(QuadMesh(m, kFvfTwoTextures));
    w.addGeometry("holder", NodeUnder("Scene Root"), OneFrame(std::move(meshes)));
    ASSERT_TRUE(harness.load(w.finish())) << harness.scene->loadError();
  }
  Material& material(const char* name) { return *harness.scene->findMaterial(name); }
  Surface* frame(const char* name, std::uint32_t kind) { return material(name).layer(kind)->frames().at(0).get(); }

  SceneHarness harness;
  RecordingDevice device;
};

// Over a device an earlier material left with three stages on.
TEST_F(MaterialStagesTest, EachLayerCombinationTakesItsStagesAndEndsTheChain) {
  struct Expected {
    std::uint32_t layer, colorArg1, colorOp, texCoords;
  };
  const struct {
    const char* material;
    std::vector<Expected> stages;
  } cases[] = {
      {"DiffuseLightmap",
       {{LayerDiffuse, d3d::kTaTexture, d3d::kTopModulate, 0}, {LayerLightmap, d3d::kTaTexture, d3d::kTopModulate2X, 1}}},
      {"KeyedDiffuse", {{LayerAlphaKeyed, d3d::kTaTexture, d3d::kTopModulate, 2}}},
      {"Opacity",
       {{LayerDiffuse, d3d::kTaTexture, d3d::kTopModulate, 0}, {LayerOpacity, d3d::kTaCurrent, d3d::kTopSelectArg1, 1}}},
      {"Reflection",
       {{LayerReflection, d3d::kTaTexture, d3d::kTopModulate, 1 | d3d::kTciCameraSpaceReflectionVector}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.material);
    RecordingDevice used;
    for (std::uint32_t s = 0; s < 3; ++s) {
      used.SetTextureStageState(s, TSS::ColorArg1, d3d::kTaTFactor);
      used.SetTextureStageState(s, TSS::ColorOp, d3d::kTopAdd);
      used.SetTextureStageState(s, TSS::AlphaOp, d3d::kTopAdd);
      used.SetTextureStageState(s, TSS::TexCoordIndex, 7);
    }
    material(c.material).Apply(used);
    EXPECT_EQ(used.material.diffuse, (DeviceColor{0.25f, 0.5f, 0.75f, 1.0f}));
    for (std::uint32_t s = 0; s < c.stages.size(); ++s) {
      EXPECT_EQ(used.textures[s], frame(c.material, c.stages[s].layer)) << s;
      EXPECT_EQ(Stage(used, s, TSS::ColorArg1), c.stages[s].colorArg1) << s;
      EXPECT_EQ(Stage(used, s, TSS::ColorOp), c.stages[s].colorOp) << s;
      EXPECT_EQ(Stage(used, s, TSS::TexCoordIndex), c.stages[s].texCoords) << s;
    }
    const auto end = static_cast<std::uint32_t>(c.stages.size());
    EXPECT_EQ(Stage(used, end, TSS::ColorOp), d3d::kTopDisable);
    EXPECT_EQ(Stage(used, end, TSS::AlphaOp), d3d::kTopDisable);
  }
}

TEST_F(MaterialStagesTest, AlphaComesFromTheLayerThatOwnsIt) {
  auto alpha = [&](const char* name, std::uint32_t kind) -> std::uint8_t& {
    return static_cast<ConstantAlphaLayer*>(material(name).layer(kind))->alpha;
  };
  alpha("Plain", LayerDiffuse) = 128;
  material("Plain").Apply(device);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 0x80000000u);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaArg1), d3d::kTaTFactor);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaOp), d3d::kTopSelectArg1);

  material("KeyedDiffuse").Apply(device);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaArg1), d3d::kTaTexture);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaOp), d3d::kTopSelectArg1);
  alpha("KeyedDiffuse", LayerAlphaKeyed) = 64;
  material("KeyedDiffuse").Apply(device);
  EXPECT_EQ(device.State(RenderState::TextureFactor), 64u << 24);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaArg2), d3d::kTaTFactor);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaOp), d3d::kTopModulate);

  material("Opacity").Apply(device);
  EXPECT_EQ(Stage(device, 1, TSS::AlphaArg1), d3d::kTaTexture);
  EXPECT_EQ(Stage(device, 1, TSS::AlphaOp), d3d::kTopModulate);

  device.SetTextureStageState(0, TSS::AlphaOp, d3d::kTopAdd);
  material("Reflection").Apply(device);
  EXPECT_EQ(Stage(device, 0, TSS::AlphaOp), d3d::kTopAdd);
}

// Transparent materials leave culling to the scene, which draws them twice.
TEST_F(MaterialStagesTest, OpaqueMaterialsSetTheirCullingOnlyWhenItChanges) {
  material("DiffuseLightmap").Apply(device);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullCCW);
  material("Plain").Apply(device);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullNone);
  device.log.clear();
  material("Plain").Apply(device);
  material("KeyedDiffuse").Apply(device);
  EXPECT_TRUE(device.Calls("SetRenderState(22").empty());
}

TEST_F(MaterialStagesTest, ALayerWithoutPictureUnbindsItsStageAndTheChainStillEnds) {
  device.SetTexture(0, frame("DiffuseLightmap", LayerDiffuse));
  device.SetTextureStageState(2, TSS::ColorOp, d3d::kTopModulate);
  ASSERT_TRUE(material("Broken").layer(LayerDiffuse)->frames().empty());
  material("Broken").Apply(device);
  EXPECT_EQ(device.textures[0], nullptr);
  EXPECT_EQ(device.textures[1], frame("Broken", LayerLightmap));
  EXPECT_EQ(Stage(device, 2, TSS::ColorOp), d3d::kTopDisable);

  // Nor do opacity and lightmap stages draw with what an earlier material left.
  material("Opacity").Apply(device);
  material("DiffuseLightmap").Apply(device);
  device.SetTexture(2, frame("Opacity", LayerOpacity));
  material("BrokenLight").Apply(device);
  EXPECT_EQ(device.textures[0], frame("BrokenLight", LayerDiffuse));
  EXPECT_EQ(device.textures[1], nullptr);
  EXPECT_EQ(device.textures[2], nullptr);
}

class SceneRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneArchiveWriter w;
    ArchiveMaterial glass;
    glass.layers = {Layer(1, {"g.jpg"}), Layer(4, {"g.jpg"})};
    w.addMaterial("Glass", glass);
    ArchiveMaterial wood;
    wood.twoSided = 1;  // leaves no culling in force before the blended objects
    wood.layers = {Layer(1, {"w.jpg"})};
    w.addMaterial("Wood", wood);
    w.addImage("g.jpg", Bytes("g"));
    w.addImage("w.jpg", Bytes("w"));
    w.addGeometry("near", NodeUnder("Scene Root", Matrix::translation(10, 0, 0)), OneFrame({QuadMesh("Glass")}));
    w.addGeometry("far", NodeUnder("Scene Root", Matrix::translation(-30, 0, 0)), OneFrame({QuadMesh("Glass")}));
    w.addGeometry("middle", NodeUnder("Scene Root", Matrix::translation(0, 20, 0)), OneFrame({QuadMesh("Glass")}));
    w.addGeometry("deck", NodeUnder("Scene Root", Matrix::translation(0, 0, 5)), OneFrame({QuadMesh("Wood")}));
    Matrix projection = Matrix::identity();
    projection(2, 3) = 1.0f;
    w.addCamera("Camera01", NodeUnder("Scene Root"), projection);
    DeviceLight lamp;
    w.addLight("Lamp", NodeUnder("Scene Root"), lamp, {"deck"});
    ASSERT_TRUE(harness.load(w.finish())) << harness.scene->loadError();
    scene().setCurrentCamera(static_cast<Camera*>(scene().findNode("Camera01")));
    scene().root().updateSubtree();
    device.BeginScene();
  }
  Scene& scene() { return *harness.scene; }
  static float X(const RecordingDevice::Draw& draw) { return draw.world.m[3][0] + draw.world.m[3][1]; }

  SceneHarness harness;
  RecordingDevice device;
};

TEST_F(SceneRenderTest, TransparentObjectsFarthestFirstBackFacesThenFrontWithStatesRestored) {
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendZero);
  device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  scene().render(device);
  ASSERT_EQ(device.draws.size(), 7u);
  EXPECT_EQ(device.draws[0].world.m[3][2], 5.0f);  // the opaque deck first
  const float expected[] = {-30, -30, 20, 20, 10, 10};  // far (30), middle (20), near (10)
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& draw = device.draws[i + 1];
    EXPECT_EQ(X(draw), expected[i]) << i;
    EXPECT_EQ(draw.renderStates.at(RenderState::CullMode), i % 2 == 0 ? d3d::kCullCW : d3d::kCullCCW) << i;
    EXPECT_EQ(draw.renderStates.at(RenderState::ZWriteEnable), 0u);
    EXPECT_EQ(draw.renderStates.at(RenderState::AlphaBlendEnable), 1u);
    EXPECT_EQ(draw.renderStates.at(RenderState::SrcBlend), d3d::kBlendSrcAlpha);
    EXPECT_EQ(draw.renderStates.at(RenderState::DestBlend), d3d::kBlendInvSrcAlpha);
  }
  EXPECT_EQ(device.State(RenderState::ZWriteEnable), 1u);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullNone);  // as the opaque objects left it
  EXPECT_EQ(device.State(RenderState::AlphaBlendEnable), 0u);
  EXPECT_EQ(device.State(RenderState::SrcBlend), d3d::kBlendOne);
  EXPECT_EQ(device.State(RenderState::DestBlend), d3d::kBlendZero);

  // Zero is no valid blend or culling: what cannot be read comes back as the default.
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcColor);
  device.failing["GetRenderState"] = kEFail;
  scene().render(device);
  EXPECT_EQ(device.State(RenderState::SrcBlend), d3d::kBlendOne);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullCCW);
}

TEST_F(SceneRenderTest, HiddenNodeDrawsNothingAndLeavesTheWorldTransform) {
  auto* deck = static_cast<GeometryObject*>(scene().findNode("deck"));
  deck->setVisible(false);
  DeviceMatrix marker = DeviceMatrix::Identity();
  marker.m[3][0] = 42.0f;
  device.SetTransform(TransformState::World, marker);
  deck->draw(device);
  EXPECT_TRUE(device.draws.empty());
  EXPECT_EQ(device.transforms[TransformState::World], marker);
  scene().render(device);
  EXPECT_EQ(device.draws.size(), 6u);
}

TEST_F(SceneRenderTest, ExcludedLightIsOffWhileTheObjectDrawsAndOnAfter) {
  scene().render(device);
  const auto& log = device.log;
  const std::size_t on = IndexOf(log, "LightEnable(0, 1)");
  const std::size_t off = IndexOf(log, "LightEnable(0, 0)", on);
  const std::size_t draw = IndexOf(log, "DrawIndexedPrimitive", off);
  const std::size_t back = IndexOf(log, "LightEnable(0, 1)", off);
  ASSERT_LT(back, log.size());
  EXPECT_LT(off, draw);
  EXPECT_LT(draw, back);
  EXPECT_EQ(IndexOf(log, "LightEnable(0, 0)", back), log.size());  // transparent objects do not exclude it
  EXPECT_TRUE(device.lightsEnabled[0]);
}

TEST(CameraViewTest, NegatedThirdRowInvertedAndScaled) {
  ManualClock clock;
  Camera camera("Camera01", clock);
  camera.setLocal(Matrix::translation(100, 200, 300));
  camera.update(Matrix::identity());
  camera.projection(2, 3) = 1.0f;
  RecordingDevice device;
  camera.apply(device);
  const DeviceMatrix& view = device.transforms.at(TransformState::View);
  auto map = [&](float x, float y, float z) {
    float out[3];
    for (int c = 0; c < 3; ++c) out[c] = x * view.m[0][c] + y * view.m[1][c] + z * view.m[2][c] + view.m[3][c];
    return std::array<float, 3>{out[0], out[1], out[2]};
  };
  for (float v : map(100, 200, 300)) EXPECT_NEAR(v, 0.0f, 1e-5f);
  const auto ahead = map(150, 180, 200);  // 100 below the eye along z: in front, in metres
  EXPECT_NEAR(ahead[0], 0.5f, 1e-5f);
  EXPECT_NEAR(ahead[1], -0.2f, 1e-5f);
  EXPECT_NEAR(ahead[2], 1.0f, 1e-5f);
  EXPECT_EQ(device.transforms.at(TransformState::Projection).m[2][3], 1.0f);

  // A collapsed camera keeps the last good view.
  camera.setLocal(Matrix{});
  camera.update(Matrix::identity());
  camera.apply(device);
  EXPECT_EQ(device.transforms.at(TransformState::View), view);
}

TEST(CameraViewTest, InverseOfARotatedScaledMatrix) {
  Matrix m = Matrix::translation(3, -4, 5);
  m(0, 0) = 0.0f, m(0, 1) = 2.0f, m(1, 0) = -2.0f, m(1, 1) = 0.0f, m(2, 2) = 0.5f;
  const auto inv = Inverse(m);
  ASSERT_TRUE(inv);
  const Matrix product = m * *inv;
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], Matrix::identity().m[i], 1e-6f) << i;
  Matrix nan = Matrix::identity();
  nan.m[5] = std::nanf("");
  EXPECT_FALSE(Inverse(nan));
}

TEST(FixedRenderStatesTest, FilteringFollowsTheDeviceAndAmbientLevelsStayInTheirChannel) {
  RecordingDevice device, plain;
  SetFixedRenderStates(device, true, {2.0f, -1.0f, 0.5f});
  EXPECT_EQ(device.StageState(1, TSS::MinFilter), 3u);  // anisotropic
  EXPECT_EQ(device.StageState(1, TSS::MagFilter), 5u);
  EXPECT_EQ(device.State(RenderState::Ambient), 0xFFFF007Fu);  // levels outside 0..1 do not spill
  SetFixedRenderStates(device, true, {std::nanf(""), 1.0f, 0.0f});
  EXPECT_EQ(device.State(RenderState::Ambient), 0xFF00FF00u);
  SetFixedRenderStates(plain, false, {});
  EXPECT_EQ(plain.StageState(1, TSS::MagFilter), d3d::kFilterLinear);
}

}  // namespace
}  // namespace brisane
