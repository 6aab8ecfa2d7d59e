#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "render/scene_renderer.h"
#include "scene/view.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using namespace testing;
using TSS = TextureStageState;

// Materials of every layer combination the renderer tells apart.
class MaterialStagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneArchiveWriter w;
    std::vector<ArchiveMesh> meshes;
    auto add = [&](const char* name, std::vector<ArchiveLayer> layers, std::uint16_t twoSided = 0) {
      ArchiveMaterial m;
      m.description.diffuse = {0.25f, 0.5f, 0.75f, 1.0f};
      m.twoSided = twoSided;
      m.layers = std::move(layers);
      w.AddMaterial(name, m);
      meshes.push_back(QuadMesh(name, kFvfTwoTextures));
    };
    add("DiffuseLightmap", {Layer(1, {"d.jpg"}), Layer(5, {"lm.jpg"}, 1)});
    add("KeyedDiffuse", {Layer(1, {"d.jpg"}), Layer(6, {"key.jpg"}, 2)});
    add("Opacity", {Layer(1, {"d.jpg"}), Layer(4, {"op.jpg"}, 1)});
    add("Reflection", {Layer(3, {"env.jpg"}, 1)});
    add("Plain", {Layer(1, {"d.jpg"})}, 1);
    add("Broken", {Layer(1, {"bad.jpg"}), Layer(5, {"lm.jpg"})});
    add("BrokenLight", {Layer(1, {"d.jpg"}), Layer(4, {"bad.jpg"}, 1), Layer(5, {"bad.jpg"}, 1)});
    for (const char* image : {"d.jpg", "lm.jpg", "key.jpg", "op.jpg", "env.jpg", "bad.jpg"}) w.AddImage(image, Bytes(image));
    w.AddGeometry("holder", NodeUnder("Scene Root"), OneFrame(std::move(meshes)));
    ASSERT_TRUE(harness.Load(w.Finish())) << harness.scene->loadError();
  }
  Material& material(const char* name) { return *harness.scene->FindMaterial(name); }
  Surface* frame(const char* name, std::uint32_t kind) { return material(name).layer(kind)->frames().at(0).get(); }
  std::uint32_t Stage(std::uint32_t stage, TSS state) const { return device.StageState(stage, state); }
  testing::SceneHarness harness;
  RecordingDevice device;
};

// Each over a device an earlier material left with three stages on: the
// picture, colour, coordinate set per stage, and the chain ended after.
TEST_F(MaterialStagesTest, EachLayerCombinationTakesItsStagesAndEndsTheChain) {
  struct Expected { std::uint32_t layer, colorArg1, colorOp, texCoords; };
  const std::pair<const char*, std::vector<Expected>> cases[] = {
      {"DiffuseLightmap",
       {{LayerKind::Diffuse, d3d::kTaTexture, d3d::kTopModulate, 0}, {LayerKind::Lightmap, d3d::kTaTexture, d3d::kTopModulate2X, 1}}},
      {"KeyedDiffuse", {{LayerKind::AlphaKeyed, d3d::kTaTexture, d3d::kTopModulate, 2}}},
      {"Opacity",
       {{LayerKind::Diffuse, d3d::kTaTexture, d3d::kTopModulate, 0}, {LayerKind::Opacity, d3d::kTaCurrent, d3d::kTopSelectArg1, 1}}},
      {"Reflection", {{LayerKind::Reflection, d3d::kTaTexture, d3d::kTopModulate, 1 | d3d::kTciCameraSpaceReflectionVector}}},
  };
  for (const auto& [name, stages] : cases) {
    SCOPED_TRACE(name);
    RecordingDevice used;
    for (std::uint32_t s = 0; s < 3; ++s)
      for (TSS state : {TSS::ColorArg1, TSS::ColorOp, TSS::AlphaOp, TSS::TexCoordIndex}) used.SetTextureStageState(s, state, 7);
    material(name).Apply(used);
    EXPECT_EQ(used.material.diffuse, (DeviceColor{0.25f, 0.5f, 0.75f, 1.0f}));
    for (std::uint32_t s = 0; s < stages.size(); ++s) {
      EXPECT_EQ(used.textures[s], frame(name, stages[s].layer)) << s;
      EXPECT_EQ(std::tuple(used.StageState(s, TSS::ColorArg1), used.StageState(s, TSS::ColorOp), used.StageState(s, TSS::TexCoordIndex)),
                std::tuple(stages[s].colorArg1, stages[s].colorOp, stages[s].texCoords)) << s;
    }
    const auto end = static_cast<std::uint32_t>(stages.size());
    EXPECT_EQ(std::tuple(used.StageState(end, TSS::ColorOp), used.StageState(end, TSS::AlphaOp)), std::tuple(d3d::kTopDisable, d3d::kTopDisable));
  }
}

// A diffuse layer's alpha byte is the whole surface's; an alpha-keyed layer
// takes its picture's, scaled by the byte when faded; an opacity layer
// multiplies by its picture; a reflection leaves alpha alone. Transparent
// materials leave culling to the scene; opaque ones set it only on a change.
TEST_F(MaterialStagesTest, AlphaComesFromTheLayerThatOwnsItAndCullingFromTheSides) {
  auto alpha = [&](const char* name, std::uint32_t kind) -> std::uint8_t& {
    return static_cast<ConstantAlphaLayer*>(material(name).layer(kind))->alpha;
  };
  alpha("Plain", LayerKind::Diffuse) = 128;
  material("Plain").Apply(device);
  EXPECT_EQ(std::tuple(device.State(RenderState::TextureFactor), Stage(0, TSS::AlphaArg1), Stage(0, TSS::AlphaOp),
                       device.State(RenderState::CullMode)),
            std::tuple(0x80000000u, d3d::kTaTFactor, d3d::kTopSelectArg1, d3d::kCullNone));
  device.log.clear();
  material("Plain").Apply(device);
  material("KeyedDiffuse").Apply(device);
  EXPECT_TRUE(device.Calls("SetRenderState(22").empty());
  EXPECT_EQ(std::tuple(Stage(0, TSS::AlphaArg1), Stage(0, TSS::AlphaOp)), std::tuple(d3d::kTaTexture, d3d::kTopSelectArg1));
  alpha("KeyedDiffuse", LayerKind::AlphaKeyed) = 64;
  material("KeyedDiffuse").Apply(device);
  EXPECT_EQ(std::tuple(device.State(RenderState::TextureFactor), Stage(0, TSS::AlphaArg2), Stage(0, TSS::AlphaOp)),
            std::tuple(64u << 24, d3d::kTaTFactor, d3d::kTopModulate));
  material("Opacity").Apply(device);
  EXPECT_EQ(std::tuple(Stage(1, TSS::AlphaArg1), Stage(1, TSS::AlphaOp)), std::tuple(d3d::kTaTexture, d3d::kTopModulate));
  device.SetTextureStageState(0, TSS::AlphaOp, d3d::kTopAdd);
  material("Reflection").Apply(device);
  EXPECT_EQ(Stage(0, TSS::AlphaOp), d3d::kTopAdd);
  material("DiffuseLightmap").Apply(device);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullCCW);
}

// A stage without its picture must not draw with one an earlier material left.
TEST_F(MaterialStagesTest, ALayerWithoutPictureUnbindsItsStageAndTheChainStillEnds) {
  device.SetTexture(0, frame("DiffuseLightmap", LayerKind::Diffuse));
  device.SetTextureStageState(2, TSS::ColorOp, d3d::kTopModulate);
  material("Broken").Apply(device);
  EXPECT_EQ(std::tuple(device.textures[0], device.textures[1], Stage(2, TSS::ColorOp)),
            std::tuple(nullptr, frame("Broken", LayerKind::Lightmap), d3d::kTopDisable));
  material("Opacity").Apply(device);
  device.SetTexture(2, frame("Opacity", LayerKind::Opacity));
  material("BrokenLight").Apply(device);
  EXPECT_EQ((std::array{device.textures[0], device.textures[1], device.textures[2]}),
            (std::array<Surface*, 3>{frame("BrokenLight", LayerKind::Diffuse), nullptr, nullptr}));
}

// Glass along the axes around a camera at the origin, and a wooden deck
// that excludes the lamp.
class SceneRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneArchiveWriter w;
    w.AddMaterial("Glass", testing::Layered({Layer(1, {"g.jpg"}), Layer(4, {"g.jpg"})}));
    w.AddMaterial("Wood", testing::Layered({Layer(1, {"g.jpg"})}, 1));  // leaves no culling in force before the blended objects
    w.AddImage("g.jpg", Bytes("g"));
    for (const auto& [name, x, y] : {std::tuple{"near", 10, 0}, {"far", -30, 0}, {"middle", 0, 20}})
      w.AddGeometry(name, NodeUnder("Scene Root", Matrix::Translation(x, y, 0)), OneFrame({QuadMesh("Glass")}));
    w.AddGeometry("deck", NodeUnder("Scene Root", Matrix::Translation(0, 0, 5)), OneFrame({QuadMesh("Wood")}));
    Matrix projection = Matrix::Identity();
    projection(2, 3) = 1.0f;
    w.AddCamera("Camera01", NodeUnder("Scene Root"), projection);
    w.AddLight("Lamp", NodeUnder("Scene Root"), DeviceLight{}, {"deck"});
    ASSERT_TRUE(harness.Load(w.Finish())) << harness.scene->loadError();
    scene().SetCurrentCamera(static_cast<Camera*>(scene().FindNode("Camera01")));
    scene().root().UpdateSubtree();
    device.BeginScene();
  }
  Scene& scene() { return *harness.scene; }
  testing::SceneHarness harness;
  RecordingDevice device;
};

TEST_F(SceneRenderTest, TransparentObjectsFarthestFirstBackFacesThenFrontWithStatesRestored) {
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  scene().Render(device);
  ASSERT_EQ(device.draws.size(), 7u);
  EXPECT_EQ(device.draws[0].world.m[3][2], 5.0f);  // the opaque deck first
  const float expected[] = {-30, -30, 20, 20, 10, 10};  // far (30), middle (20), near (10)
  for (std::size_t i = 0; i < 6; ++i) {
    const auto& draw = device.draws[i + 1];
    EXPECT_EQ(draw.world.m[3][0] + draw.world.m[3][1], expected[i]) << i;
    const auto state = [&](RenderState s) { return draw.renderStates.at(s); };
    EXPECT_EQ(std::tuple(state(RenderState::CullMode), state(RenderState::ZWriteEnable), state(RenderState::AlphaBlendEnable),
                         state(RenderState::SrcBlend), state(RenderState::DestBlend)),
              std::tuple(i % 2 == 0 ? d3d::kCullCW : d3d::kCullCCW, 0u, 1u, d3d::kBlendSrcAlpha, d3d::kBlendInvSrcAlpha)) << i;
  }
  // Culling as the opaque objects left it.
  EXPECT_EQ(std::tuple(device.State(RenderState::ZWriteEnable), device.State(RenderState::CullMode),
                       device.State(RenderState::AlphaBlendEnable), device.State(RenderState::SrcBlend)),
            std::tuple(1u, d3d::kCullNone, 0u, d3d::kBlendOne));
  // Zero is no valid blend or culling: what cannot be read comes back as the default.
  device.failing["GetRenderState"] = kEFail;
  scene().Render(device);
  EXPECT_EQ(std::tuple(device.State(RenderState::DestBlend), device.State(RenderState::CullMode)), std::tuple(d3d::kBlendZero, d3d::kCullCCW));
}

TEST_F(SceneRenderTest, ExcludedLightIsOffWhileTheObjectDrawsAndHiddenObjectsDrawNothing) {
  scene().Render(device);
  const auto& log = device.log;
  const auto find = [&](const std::string& prefix, std::ptrdiff_t from) {
    return std::find_if(log.begin() + from, log.end(), [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }) -
           log.begin();
  };
  const auto off = find("LightEnable(0, 0)", find("LightEnable(0, 1)", 0));
  const auto draw = find("DrawIndexedPrimitive", off), back = find("LightEnable(0, 1)", off);
  ASSERT_LT(back, std::ssize(log));
  EXPECT_TRUE(off < draw && draw < back);
  EXPECT_EQ(find("LightEnable(0, 0)", back), std::ssize(log));  // transparent objects do not exclude it
  EXPECT_TRUE(device.lightsEnabled[0]);
  device.draws.clear();
  scene().FindNode("deck")->SetVisible(false);
  scene().Render(device);
  EXPECT_EQ(device.draws.size(), 6u);
}

TEST(CameraViewTest, NegatedThirdRowInvertedAndScaled) {
  ManualClock clock;
  Camera camera("Camera01", clock);
  camera.SetLocal(Matrix::Translation(100, 200, 300));
  camera.Update(Matrix::Identity());
  camera.projection(2, 3) = 1.0f;
  RecordingDevice device;
  camera.Apply(device);
  const DeviceMatrix& view = device.transforms.at(TransformState::View);
  // 100 below the eye along z: in front, in metres.
  const float p[3] = {150, 180, 200}, expected[3] = {0.5f, -0.2f, 1.0f};
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(p[0] * view.m[0][c] + p[1] * view.m[1][c] + p[2] * view.m[2][c] + view.m[3][c], expected[c], 1e-5f);
  EXPECT_EQ(device.transforms.at(TransformState::Projection).m[2][3], 1.0f);
  // A collapsed camera keeps the last good view.
  camera.SetLocal(Matrix{});
  camera.Update(Matrix::Identity());
  camera.Apply(device);
  EXPECT_EQ(device.transforms.at(TransformState::View), view);
  Matrix m = Matrix::Translation(3, -4, 5);
  m(0, 0) = 0.0f, m(0, 1) = 2.0f, m(1, 0) = -2.0f, m(1, 1) = 0.0f, m(2, 2) = 0.5f;
  const Matrix product = m * *Inverse(m);
  for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i], Matrix::Identity().m[i], 1e-6f) << i;
  m.m[5] = std::nanf("");
  EXPECT_FALSE(Inverse(m));
}

}  // namespace
}  // namespace brisane
