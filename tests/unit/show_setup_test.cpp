#include <gtest/gtest.h>

#include <cstring>
#include <string>
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

using testing::FakeTextureLoader;
using testing::NodeUnder;
using testing::OneFrame;
using testing::QuadMesh;
using testing::RecordingDevice;
using testing::SampleWriter;

class ShowSetupTest : public ::testing::Test {
 protected:
  void AddScene(const SceneArchiveWriter& writer) { resources.add(147, kSceneResourceType, writer.finish()); }
  bool SetUpShow(ShowSettings settings = {}) { return show.Setup(device, settings); }
  Camera* Current() { return show.scene().currentCamera(); }
  // One frame, drawn and presented.
  void Frame() { ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented); }

  ManualClock clock{5000};
  testing::ScriptedRandom random{{7}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  Show show{{clock, random, resources, &loader, settings}};
};

TEST_F(ShowSetupTest, LoadsTheSceneResourceAndFliesTheFirstCamera) {
  AddScene(SampleWriter());
  ASSERT_TRUE(SetUpShow({600, false, ""}));
  EXPECT_EQ(random.seeds, std::vector<std::uint32_t>{5000u}) << "seeded once, from the clock";
  EXPECT_FLOAT_EQ(show.screenScale(), 600.0f / 768.0f);
  ASSERT_NE(Current(), nullptr);
  EXPECT_EQ(Current()->name(), "Camera01");
  const AnimationState& path = Current()->animation();
  EXPECT_TRUE(path.animating);
  EXPECT_EQ(path.animStart, 5000u) << "started when the show was set up";
  // Its path from the contract, a key millisecond taking 1 / speed real ones.
  const contract::CameraSpec& spec = *FindShowCamera(contract::kFirstCamera);
  EXPECT_FLOAT_EQ(path.speed, spec.speed);
  EXPECT_NEAR(path.period, (spec.toTime - spec.fromTime) / spec.speed, 1.0);
  EXPECT_EQ(path.loops, -1);
  // World matrices were brought up to date before anything reads them.
  EXPECT_EQ(show.scene().findNode("mast")->world()(3, 1), 11.0f);
}

using testing::RecordingGamma;

TEST_F(ShowSetupTest, TheUsersGammaIsSetOnlyWhenItIsNotTheMiddleAndFadesRiseToIt) {
  AddScene(SampleWriter());
  for (const auto& [control, expected] : {std::pair{50, 0.0}, std::pair{100, 1.5}, std::pair{0, 0.5}}) {
    RecordingGamma gamma;
    Show withGamma{{clock, random, resources, &loader, settings, &gamma, nullptr}};
    settings.Get(key::GammaControl) = Value(std::int32_t{control});
    withGamma.Setup(device, {});
    if (control == 50) {
      EXPECT_TRUE(gamma.calls.empty()) << "the ramp is left alone at 50";
    } else {
      ASSERT_EQ(gamma.calls.size(), 1u) << control;
      EXPECT_FLOAT_EQ(static_cast<float>(gamma.calls[0].first), static_cast<float>(expected));
      EXPECT_EQ(gamma.calls[0].second, GammaCurve::Power);
    }
    ASSERT_NE(withGamma.director(), nullptr);
    EXPECT_FLOAT_EQ(withGamma.director()->level(), control == 50 ? 1.0f : static_cast<float>(expected))
        << "the fades' ceiling";
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
  ASSERT_TRUE(SetUpShow());
  const auto picture = [&](const char* node) {
    auto* object = static_cast<GeometryObject*>(show.scene().findNode(node));
    const TextureLayer* base = object->activeMeshes().front()->material()->layer(LayerDiffuse);
    return static_cast<testing::FakeTexture*>(base->frames().at(0).get())->image;
  };
  EXPECT_EQ(picture("flag01"), us);
  EXPECT_EQ(picture("flag01flag02clone"), us) << "copied after the flag was chosen";
  EXPECT_EQ(picture("flag01flag03clone"), us);
  EXPECT_EQ(picture("flagx01"), "pennant.jpg");
  EXPECT_EQ(picture("flagx01flagx02clone"), "pennant.jpg");
}

TEST_F(ShowSetupTest, LightmapsOffLeavesTheirLayersOutOfTheLoad) {
  AddScene(SampleWriter());
  settings.Get(key::EnableLightmaps) = Value(std::int32_t{0});
  SetUpShow();
  EXPECT_FALSE(show.lightmapsEnabled());
  Material* hull = show.scene().findMaterial("Hull");
  ASSERT_NE(hull, nullptr);
  EXPECT_NE(hull->layer(LayerDiffuse), nullptr);
  EXPECT_EQ(hull->layer(LayerLightmap), nullptr);
  EXPECT_EQ(device.renderStates.at(RenderState::Ambient), 0xFFDDB2B2u) << "the day's 0.87, 0.7, 0.7 of 255";
  EXPECT_EQ(device.renderStates.at(RenderState::Lighting), 1u);
}

TEST_F(ShowSetupTest, WithoutTheSceneTheShowDrawsNothingAndDoesNotFail) {
  EXPECT_FALSE(SetUpShow());
  EXPECT_EQ(Current(), nullptr);
  EXPECT_EQ(device.renderStates.at(RenderState::ZEnable), 1u) << "states are set all the same";
  Frame();
  EXPECT_TRUE(device.draws.empty());
}

TEST_F(ShowSetupTest, ASceneWithoutCamera01HasNoCurrentCamera) {
  SceneArchiveWriter w;
  w.addGeometry("board", NodeUnder("Scene Root"), OneFrame({QuadMesh("")}));
  w.addCamera("Camera02", NodeUnder("Scene Root"), Matrix::identity());
  AddScene(w);
  EXPECT_TRUE(SetUpShow());
  EXPECT_EQ(Current(), nullptr) << "only the first camera of the tour is made current";
  Frame();
  EXPECT_EQ(device.draws.size(), 1u);
}

TEST_F(ShowSetupTest, RenderDrawsThroughTheCamerasMovingView) {
  AddScene(SampleWriter());
  SetUpShow();
  Frame();
  const DeviceMatrix first = device.transforms.at(TransformState::View);
  EXPECT_FALSE(device.draws.empty());
  clock.advance(1000);  // key time 70 of the path's 0..100: 7 units along
  Frame();
  Frame();
  const DeviceMatrix later = device.transforms.at(TransformState::View);
  EXPECT_NE(later, first);
  EXPECT_NEAR(later.m[3][0] - first.m[3][0], -0.07f, 1e-4f) << "the view follows the camera 7 units, scaled";
}

TEST(StartRiggingAnimation, WavesTheNamedPartsOutOfStepAndSkipsMissingOnes) {
  SceneArchiveWriter w;
  const std::vector<ArchiveFrame> waving = {ArchiveFrame{0, {QuadMesh("")}}, ArchiveFrame{800, {QuadMesh("")}},
                                            ArchiveFrame{1600, {QuadMesh("")}}};
  for (const char* name : {"sail01", "flag01", "sailkanat09", "sail99"})
    w.addGeometry(name, NodeUnder("Scene Root"), waving);
  testing::SceneHarness h;
  h.clock.set(10000);
  ASSERT_TRUE(h.load(w.finish()));
  StartRiggingAnimation(*h.scene);

  auto state = [&](const char* name) {
    return static_cast<GeometryObject*>(h.scene->findNode(name))->geometryAnimation();
  };
  // Each over its own window at the waving speed, shifted by its offset.
  for (const contract::Waving& cloth : contract::kCloths) {
    if (cloth.node != "sail01" && cloth.node != "flag01") continue;
    EXPECT_TRUE(state(cloth.node.data()).animating);
    EXPECT_EQ(state(cloth.node.data()).animStart, 10000u - static_cast<std::uint32_t>(cloth.offset)) << cloth.node;
    EXPECT_NEAR(state(cloth.node.data()).period, cloth.toTime / contract::kWavingSpeed, 1.0) << cloth.node;
  }
  EXPECT_NE(state("sail01").animStart, state("flag01").animStart) << "out of step";
  EXPECT_EQ(state("sailkanat09").animStart, 10000u) << "ropes in step";
  EXPECT_FALSE(state("sail99").animating) << "not a part of the rigging";
}

TEST(MakeRiggingClones, CopiesSailsAndFlagsToTheirPlacesInTheSparesCloth) {
  SceneArchiveWriter w;
  w.addGeometry("rig", NodeUnder("Scene Root"), {});
  const std::vector<ArchiveFrame> cloth = {ArchiveFrame{0, {QuadMesh("sail01_sail01_1")}},
                                           ArchiveFrame{40, {QuadMesh("sail01_sail01_1")}}};
  w.addGeometry("sail01", NodeUnder("rig"), cloth);
  w.addGeometry("flag01", NodeUnder("rig"), {ArchiveFrame{0, {QuadMesh("Flag_flag01_1")}}});
  // The spare cloths are loaded only because some mesh names them.
  w.addGeometry("spares", NodeUnder("Scene Root"),
                {ArchiveFrame{0, {QuadMesh("sail01_sail02_1"), QuadMesh("sail01_sail03_1")}}});
  for (const char* m : {"sail01_sail01_1", "sail01_sail02_1", "sail01_sail03_1", "Flag_flag01_1"})
    w.addMaterial(m, ArchiveMaterial{});
  testing::SceneHarness h;
  h.clock.set(10000);
  ASSERT_TRUE(h.load(w.finish()));
  MakeRiggingClones(*h.scene);
  StartRiggingAnimation(*h.scene);

  auto* main = static_cast<GeometryObject*>(h.scene->findNode("sail01sail02clone"));
  auto* mizzen = static_cast<GeometryObject*>(h.scene->findNode("sail01sail03clone"));
  auto* foreFlag = h.scene->findNode("flag01flag03clone");
  ASSERT_TRUE(main && mizzen && foreFlag);
  EXPECT_EQ(main->parent(), h.scene->findNode("rig")) << "beside the original";
  for (const contract::CloneSpec& spec : contract::kClones) {
    if (const SceneNode* copy = h.scene->findNode(std::string(spec.original) + std::string(spec.suffix))) {
      EXPECT_EQ(copy->local().m, spec.local) << "placed by its table entry: " << spec.suffix;
    }
  }
  EXPECT_EQ(h.scene->findNode("flagx01flagx02clone"), nullptr) << "no pennant in this scene";
  EXPECT_NE(h.scene->findNode("flag01flag02clone"), nullptr);
  EXPECT_EQ(h.scene->findNode("sailx01sailx02clone"), nullptr) << "no original, no copy";
  // The copies wear the spare cloths, the original keeps its own.
  EXPECT_EQ(main->activeMeshes().front()->material(), h.scene->findMaterial("sail01_sail02_1"));
  EXPECT_EQ(mizzen->activeMeshes().front()->material(), h.scene->findMaterial("sail01_sail03_1"));
  EXPECT_EQ(static_cast<GeometryObject*>(h.scene->findNode("sail01"))->activeMeshes().front()->material(),
            h.scene->findMaterial("sail01_sail01_1"));
  // And wave out of step with it.
  EXPECT_EQ(main->geometryAnimation().animStart, 10000u);
  EXPECT_EQ(mizzen->geometryAnimation().animStart, 10000u - 300u);
}

}  // namespace
}  // namespace brisane
