#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "settings/settings_keys.h"
#include "show/ship_contract.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/recording_gamma.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"

namespace brisane {
namespace {

using namespace testing;

class ShowSetupTest : public ::testing::Test {
 protected:
  void AddScene(const SceneArchiveWriter& writer) { resources.add(147, kSceneResourceType, writer.finish()); }
  Camera* Current() { return show.scene().currentCamera(); }
  void Frame() { ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented); }

  ManualClock clock{5000};
  ScriptedRandom random{{7}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  Show show{{clock, random, resources, &loader, settings}};
};

TEST_F(ShowSetupTest, LoadsTheSceneResourceAndFliesTheFirstCamera) {
  AddScene(SampleWriter());
  ASSERT_TRUE(show.Setup(device, {600, false, ""}));
  EXPECT_EQ(random.seeds, std::vector<std::uint32_t>{5000u}) << "seeded once, from the clock";
  EXPECT_FLOAT_EQ(show.screenScale(), 600.0f / 768.0f);
  ASSERT_NE(Current(), nullptr);
  EXPECT_EQ(Current()->name(), "Camera01");
  const AnimationState& path = Current()->animation();
  EXPECT_TRUE(path.animating);
  EXPECT_EQ(path.animStart, 5000u);
  // A key millisecond takes 1 / speed real ones.
  const contract::CameraSpec& spec = *FindShowCamera(contract::kFirstCamera);
  EXPECT_FLOAT_EQ(path.speed, spec.speed);
  EXPECT_NEAR(path.period, (spec.toTime - spec.fromTime) / spec.speed, 1.0);
  EXPECT_EQ(path.loops, -1);
  EXPECT_EQ(show.scene().findNode("mast")->world()(3, 1), 11.0f) << "world matrices up to date";
}

TEST_F(ShowSetupTest, TheUsersGammaIsSetOnlyWhenItIsNotTheMiddleAndFadesRiseToIt) {
  AddScene(SampleWriter());
  for (const auto& [control, expected] : {std::pair{50, 1.0f}, std::pair{100, 1.5f}, std::pair{0, 0.5f}}) {
    RecordingGamma gamma;
    Show withGamma{{clock, random, resources, &loader, settings, &gamma, nullptr}};
    settings.Get(key::GammaControl) = Value(std::int32_t{control});
    withGamma.Setup(device, {});
    ASSERT_EQ(gamma.calls.size(), control == 50 ? 0u : 1u) << "the ramp is left alone at 50";
    if (control != 50) {
      EXPECT_FLOAT_EQ(static_cast<float>(gamma.calls[0].first), expected);
      EXPECT_EQ(gamma.calls[0].second, GammaCurve::Power);
    }
    EXPECT_FLOAT_EQ(withGamma.director()->level(), expected) << "the fades' ceiling";
  }
}

TEST_F(ShowSetupTest, TheChosenFlagFliesOnTheFlagAndItsCopiesButNotOnThePennant) {
  SceneArchiveWriter w;
  for (const auto& [node, material, picture] : {std::tuple{"flag01", "Flag_flag01_1", "own.jpg"},
                                                 std::tuple{"flagx01", "Flag2", "pennant.jpg"}}) {
    ArchiveMaterial m;
    m.layers = {ArchiveLayer{1, 0, 0, {picture}}};
    w.addMaterial(material, m);
    w.addImage(picture, std::vector<std::uint8_t>(picture, picture + std::strlen(picture)));
    w.addGeometry(node, NodeUnder("Scene Root"), OneFrame({QuadMesh(material)}));
  }
  AddScene(w);
  const std::string us = "united states";
  resources.add(1124, "JPEGFILE", std::vector<std::uint8_t>(us.begin(), us.end()));
  settings.Get(key::FlagNum) = Value(std::int32_t{26});
  ASSERT_TRUE(show.Setup(device, {}));
  const auto picture = [&](const char* node) {
    auto* object = static_cast<GeometryObject*>(show.scene().findNode(node));
    const TextureLayer* base = object->activeMeshes().front()->material()->layer(LayerDiffuse);
    return static_cast<FakeTexture*>(base->frames().at(0).get())->image;
  };
  EXPECT_EQ(picture("flag01"), us);
  EXPECT_EQ(picture("flag01flag03clone"), us) << "copied after the flag was chosen";
  EXPECT_EQ(picture("flagx01flagx02clone"), "pennant.jpg");
}

TEST_F(ShowSetupTest, LightmapsOffLeavesTheirLayersOutOfTheLoad) {
  AddScene(SampleWriter());
  settings.Get(key::EnableLightmaps) = Value(std::int32_t{0});
  show.Setup(device, {});
  EXPECT_FALSE(show.lightmapsEnabled());
  Material* hull = show.scene().findMaterial("Hull");
  ASSERT_NE(hull, nullptr);
  EXPECT_NE(hull->layer(LayerDiffuse), nullptr);
  EXPECT_EQ(hull->layer(LayerLightmap), nullptr);
  EXPECT_EQ(device.renderStates.at(RenderState::Ambient), 0xFFDDB2B2u) << "the day's 0.87, 0.7, 0.7";
  EXPECT_EQ(device.renderStates.at(RenderState::Lighting), 1u);
}

TEST_F(ShowSetupTest, WithoutTheSceneOrCamera01NothingFliesAndNothingFails) {
  EXPECT_FALSE(show.Setup(device, {}));
  EXPECT_EQ(Current(), nullptr);
  EXPECT_EQ(device.renderStates.at(RenderState::ZEnable), 1u) << "states are set all the same";
  Frame();
  EXPECT_TRUE(device.draws.empty());
  SceneArchiveWriter w;
  w.addGeometry("board", NodeUnder("Scene Root"), OneFrame({QuadMesh("")}));
  w.addCamera("Camera02", NodeUnder("Scene Root"), Matrix::identity());
  AddScene(w);
  EXPECT_TRUE(show.Setup(device, {}));
  EXPECT_EQ(Current(), nullptr) << "only the first camera of the tour is made current";
  Frame();
  EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(ShowSetupTest, RenderDrawsThroughTheCamerasMovingView) {
  AddScene(SampleWriter());
  show.Setup(device, {});
  Frame();
  const DeviceMatrix first = device.transforms.at(TransformState::View);
  clock.advance(1000);  // key time 70 of the path's 0..100: 7 units along
  Frame();
  Frame();
  const DeviceMatrix later = device.transforms.at(TransformState::View);
  EXPECT_NEAR(later.m[3][0] - first.m[3][0], -0.07f, 1e-4f) << "7 units, scaled";
}

TEST(RiggingTest, ClonesTakeTheirPlacesAndSparesClothAndWaveOutOfStep) {
  SceneArchiveWriter w;
  const auto waving = [](const char* material) {
    return std::vector<ArchiveFrame>{ArchiveFrame{0, {QuadMesh(material)}}, ArchiveFrame{800, {QuadMesh(material)}},
                                     ArchiveFrame{1600, {QuadMesh(material)}}};
  };
  w.addGeometry("rig", NodeUnder("Scene Root"), {});
  w.addGeometry("sail01", NodeUnder("rig"), waving("sail01_sail01_1"));
  w.addGeometry("flag01", NodeUnder("rig"), waving("Flag_flag01_1"));
  for (const char* name : {"sailkanat09", "sail99"}) w.addGeometry(name, NodeUnder("Scene Root"), waving(""));
  // The spare cloths are loaded only because some mesh names them.
  w.addGeometry("spares", NodeUnder("Scene Root"),
                {ArchiveFrame{0, {QuadMesh("sail01_sail02_1"), QuadMesh("sail01_sail03_1")}}});
  for (const char* m : {"sail01_sail01_1", "sail01_sail02_1", "sail01_sail03_1", "Flag_flag01_1"})
    w.addMaterial(m, ArchiveMaterial{});
  SceneHarness h;
  h.clock.set(10000);
  ASSERT_TRUE(h.load(w.finish()));
  MakeRiggingClones(*h.scene);
  StartRiggingAnimation(*h.scene);
  const auto geometry = [&](const char* name) { return static_cast<GeometryObject*>(h.scene->findNode(name)); };
  GeometryObject* main = geometry("sail01sail02clone");
  GeometryObject* mizzen = geometry("sail01sail03clone");
  ASSERT_TRUE(main && mizzen && geometry("flag01flag03clone"));
  EXPECT_EQ(main->parent(), h.scene->findNode("rig")) << "beside the original";
  for (const contract::CloneSpec& spec : contract::kClones) {
    const SceneNode* copy = h.scene->findNode(std::string(spec.original) + std::string(spec.suffix));
    if (!copy) continue;
    EXPECT_EQ(copy->local().m, spec.local) << spec.suffix;
  }
  EXPECT_EQ(h.scene->findNode("flagx01flagx02clone"), nullptr) << "no original, no copy";
  EXPECT_EQ(main->activeMeshes().front()->material(), h.scene->findMaterial("sail01_sail02_1"));
  EXPECT_EQ(mizzen->activeMeshes().front()->material(), h.scene->findMaterial("sail01_sail03_1"));
  EXPECT_EQ(geometry("sail01")->activeMeshes().front()->material(), h.scene->findMaterial("sail01_sail01_1"));
  // Each over its own window at the waving speed, shifted by its offset.
  for (const contract::Waving& cloth : contract::kCloths) {
    if (cloth.node != "sail01" && cloth.node != "flag01") continue;
    const AnimationState& state = geometry(cloth.node.data())->geometryAnimation();
    EXPECT_TRUE(state.animating);
    EXPECT_EQ(state.animStart, 10000u - static_cast<std::uint32_t>(cloth.offset)) << cloth.node;
    EXPECT_NEAR(state.period, cloth.toTime / contract::kWavingSpeed, 1.0) << cloth.node;
  }
  EXPECT_NE(geometry("sail01")->geometryAnimation().animStart, geometry("flag01")->geometryAnimation().animStart);
  EXPECT_EQ(geometry("sailkanat09")->geometryAnimation().animStart, 10000u) << "ropes in step";
  EXPECT_FALSE(geometry("sail99")->geometryAnimation().animating) << "not a part of the rigging";
  EXPECT_EQ(main->geometryAnimation().animStart, 10000u);
  EXPECT_EQ(mizzen->geometryAnimation().animStart, 10000u - 300u);
}

}  // namespace
}  // namespace brisane
