#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_keys.h"
#include "show/ship_contract.h"
#include "show/show.h"
#include "support/recording_audio.h"
#include "support/recording_device.h"
#include "support/recording_gamma.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

using namespace testing;

class ShowTest : public ::testing::Test {
 protected:
  void AddScene(const SceneArchiveWriter& writer) { resources.add(147, kSceneResourceType, writer.Finish()); }
  Camera* Current() { return show.scene().currentCamera(); }
  void Start() { ASSERT_TRUE(show.Start(device, {600, false, ""}, {[this] { return &audio; }, [this](int h) { font = h; }})); }
  void Frame() { ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented); }

  ManualClock clock{5000};
  ScriptedRandom random{{11, 22, 33}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  RecordingAudio audio;
  Show show{{clock, random, resources, &loader, settings}};
  int font = 0;
};

// Lightmaps off leave their layers out of the load; a scene without a sea has neither water nor motion.
TEST_F(ShowTest, LoadsTheSceneResourceAndFliesTheFirstCamera) {
  AddScene(SampleWriter());
  settings.Get(key::EnableLightmaps) = Value(std::int32_t{0});
  ASSERT_TRUE(show.Setup(device, {600, false, ""}));
  EXPECT_EQ(random.seeds, std::vector<std::uint32_t>{5000u}) << "seeded once, from the clock";
  EXPECT_FLOAT_EQ(show.screenScale(), 600.0f / 768.0f);
  ASSERT_NE(Current(), nullptr);
  EXPECT_EQ(Current()->name(), "Camera01");
  const AnimationState& path = Current()->animation();
  EXPECT_EQ(std::tuple(path.animating, path.animStart, path.loops), std::tuple(true, 5000u, -1));
  // A key millisecond takes 1 / speed real ones.
  const contract::CameraSpec& spec = *FindShowCamera(contract::kFirstCamera);
  EXPECT_FLOAT_EQ(path.speed, spec.speed);
  EXPECT_NEAR(path.period, (spec.toTime - spec.fromTime) / spec.speed, 1.0);
  EXPECT_EQ(show.scene().FindNode("mast")->world()(3, 1), 11.0f) << "world matrices up to date";
  const Material* hull = show.scene().FindMaterial("Hull");
  EXPECT_FALSE(show.lightmapsEnabled() || hull->layer(LayerKind::Lightmap) || !hull->layer(LayerKind::Diffuse));
  EXPECT_TRUE(show.water() == nullptr && show.shipMotion() == nullptr);
  EXPECT_EQ(device.renderStates.at(RenderState::Ambient), 0xFFDDB2B2u) << "the day's 0.87, 0.7, 0.7";
}

// Each screen of a set begins its own view of the same tour, in the same
// order; past the list's end the count wraps.
TEST_F(ShowTest, TheTourBeginsAsManyCamerasAlongAsAsked) {
  AddScene(SampleWriter());
  for (int i : {0, 1}) settings.Get(contract::kCameras[i].setting) = Value(std::int32_t{1});
  ShowSettings along{600, false, ""};
  along.firstCamera = 3;
  ASSERT_TRUE(show.Setup(device, along));
  EXPECT_EQ(Current()->name(), "Camera02");
  const std::vector<CameraEntry>& tour = show.director()->cameras();
  ASSERT_EQ(tour.size(), 2u);
  EXPECT_EQ(tour[1].camera->name(), "Camera01");
}

TEST_F(ShowTest, TheUsersGammaIsSetOnlyWhenItIsNotTheMiddleAndFadesRiseToIt) {
  AddScene(SampleWriter());
  for (const auto& [control, expected] : {std::pair{50, 1.0f}, std::pair{100, 1.5f}, std::pair{0, 0.5f}}) {
    RecordingGamma gamma;
    Show withGamma{{clock, random, resources, &loader, settings, &gamma, nullptr}};
    settings.Get(key::GammaControl) = Value(std::int32_t{control});
    withGamma.Setup(device, {});
    ASSERT_EQ(gamma.calls.size(), control == 50 ? 0u : 1u) << "the ramp is left alone at 50";
    if (control != 50) { EXPECT_EQ(gamma.calls[0], std::pair(double{expected}, GammaCurve::Power)); }
    EXPECT_FLOAT_EQ(withGamma.director()->level(), expected) << "the fades' ceiling";
  }
}

// The flag is chosen before the rigging is copied, so the copies fly it too.
TEST_F(ShowTest, TheChosenFlagFliesOnTheFlagAndItsCopies) {
  SceneArchiveWriter w;
  w.AddMaterial("Flag_flag01_1", Layered({Layer(1, {"own.jpg"})}));
  w.AddImage("own.jpg", {1, 2, 3});
  w.AddGeometry("flag01", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag_flag01_1")}));
  AddScene(w);
  const std::string us = "united states";
  resources.add(1124, "JPEGFILE", std::vector<std::uint8_t>(us.begin(), us.end()));
  settings.Get(key::FlagNum) = Value(std::int32_t{26});
  ASSERT_TRUE(show.Setup(device, {}));
  for (const char* node : {"flag01", "flag01flag03clone"}) {
    auto* object = static_cast<GeometryObject*>(show.scene().FindNode(node));
    const TextureLayer* base = object->activeMeshes().front()->material()->layer(LayerKind::Diffuse);
    EXPECT_EQ(static_cast<FakeTexture*>(base->frames().at(0).get())->image, us) << node;
  }
}

TEST_F(ShowTest, WithoutTheSceneOrCamera01NothingFliesAndNothingFails) {
  EXPECT_FALSE(show.Setup(device, {}));
  EXPECT_EQ(std::tuple(Current(), device.renderStates.at(RenderState::ZEnable)), std::tuple(nullptr, 1u)) << "states set all the same";
  Frame();
  EXPECT_TRUE(device.draws.empty());
  SceneArchiveWriter w;
  w.AddGeometry("board", NodeUnder("Scene Root"), OneFrame({QuadMesh("")}));
  w.AddCamera("Camera02", NodeUnder("Scene Root"), Matrix::Identity());
  AddScene(w);
  EXPECT_TRUE(show.Setup(device, {}) && !Current()) << "only the first camera of the tour is made current";
  Frame();
  EXPECT_EQ(device.draws.size(), 1u);
}

TEST(RiggingTest, ClonesTakeTheirPlacesAndSparesClothAndWaveOutOfStep) {
  SceneArchiveWriter w;
  const auto waving = [](const char* material) {
    return std::vector<ArchiveFrame>{ArchiveFrame{0, {QuadMesh(material)}}, ArchiveFrame{800, {QuadMesh(material)}},
                                     ArchiveFrame{1600, {QuadMesh(material)}}};
  };
  w.AddGeometry("rig", NodeUnder("Scene Root"), {});
  w.AddGeometry("sail01", NodeUnder("rig"), waving("sail01_sail01_1"));
  w.AddGeometry("flag01", NodeUnder("rig"), waving("Flag_flag01_1"));
  for (const char* name : {"sailkanat09", "sail99"}) w.AddGeometry(name, NodeUnder("Scene Root"), waving(""));
  // The spare cloths are loaded only because some mesh names them.
  w.AddGeometry("spares", NodeUnder("Scene Root"),
                {ArchiveFrame{0, {QuadMesh("sail01_sail02_1"), QuadMesh("sail01_sail03_1")}}});
  for (const char* m : {"sail01_sail01_1", "sail01_sail02_1", "sail01_sail03_1", "Flag_flag01_1"})
    w.AddMaterial(m, ArchiveMaterial{});
  SceneHarness h;
  h.clock.set(10000);
  ASSERT_TRUE(h.Load(w.Finish()));
  MakeRiggingClones(*h.scene);
  StartRiggingAnimation(*h.scene);
  const auto geometry = [&](const char* name) { return static_cast<GeometryObject*>(h.scene->FindNode(name)); };
  GeometryObject* main = geometry("sail01sail02clone");
  GeometryObject* mizzen = geometry("sail01sail03clone");
  ASSERT_TRUE(main && mizzen && geometry("flag01flag03clone"));
  EXPECT_EQ(main->parent(), h.scene->FindNode("rig")) << "beside the original";
  for (const contract::CloneSpec& spec : contract::kClones) {
    const SceneNode* copy = h.scene->FindNode(std::string(spec.original) + std::string(spec.suffix));
    if (!copy) continue;
    EXPECT_EQ(copy->local().m, spec.local) << spec.suffix;
  }
  EXPECT_EQ(h.scene->FindNode("flagx01flagx02clone"), nullptr) << "no original, no copy";
  EXPECT_EQ((std::array{main->activeMeshes().front()->material(), mizzen->activeMeshes().front()->material(),
                        geometry("sail01")->activeMeshes().front()->material()}),
            (std::array{h.scene->FindMaterial("sail01_sail02_1"), h.scene->FindMaterial("sail01_sail03_1"),
                        h.scene->FindMaterial("sail01_sail01_1")}));
  // Each, copies too, over its own window at the waving speed, shifted by its offset.
  for (const contract::Waving& cloth : contract::kCloths) {
    const GeometryObject* g = geometry(cloth.node.data());
    if (!g) continue;
    EXPECT_EQ(g->geometryAnimation().animStart, 10000u - static_cast<std::uint32_t>(cloth.offset)) << cloth.node;
    EXPECT_NEAR(g->geometryAnimation().period, cloth.toTime / contract::kWavingSpeed, 1.0) << cloth.node;
  }
  // The ropes in step; what is no part of the rigging not waved.
  EXPECT_EQ(std::tuple(geometry("sailkanat09")->geometryAnimation().animStart, geometry("sail99")->geometryAnimation().animating),
            std::tuple(10000u, false));
}

// Logs "name@now#draw" among the device calls, so its place shows where the frame ran it.
struct ProbePass : FramePass {
  ProbePass(std::string name, RecordingDevice& device) : name(std::move(name)), device(device) {}
  std::string_view Name() const override { return name; }
  void Run(FrameContext& frame) override {
    device.log.push_back(name + "@" + std::to_string(frame.now) + "#" + std::to_string(frame.random.Next()));
  }
  std::string name;
  RecordingDevice& device;
};

TEST_F(ShowTest, TwoFramesRunThePassesInStepOrderOnTheFakeClockAndRandomSource) {
  AddScene(SampleWriter());
  ASSERT_TRUE(show.Setup(device, {}));
  const std::size_t own = show.passes().entries().size();
  ASSERT_TRUE(show.Setup(device, {}));
  EXPECT_EQ(show.passes().entries().size(), own) << "setting up again replaces each feature's passes";
  ProbePass listener("listener", device), water("water", device), director("director", device),
      light("light", device), text("text", device), flare("flare", device), guns("guns", device);
  for (auto [step, pass] : {std::pair{FrameStep::Listener, &listener}, {FrameStep::Water, &water},
                            {FrameStep::Director, &director}, {FrameStep::FrameRateText, &text},
                            {FrameStep::LightCycle, &light}, {FrameStep::SunFlare, &flare}, {FrameStep::UpdateGuns, &guns}})
    show.passes().Add(step, *pass);
  std::vector<std::string> listed;
  for (const FramePasses::Entry& e : show.passes().entries()) listed.emplace_back(e.pass->Name());
  EXPECT_EQ(listed, (std::vector<std::string>{"light cycle", "light", "director", "director", "guns", "water",
                                              "scene", "lantern glows", "sun flare", "flare", "frame-rate text", "text",
                                              "listener"}));

  const auto Shape = [&] {  // one frame's probes and bracket
    device.log.clear();
    EXPECT_EQ(show.Frame(device, [&] { return device.log.push_back("present"), kOk; }), FrameStatus::Presented);
    std::vector<std::string> shape;
    for (const std::string& call : device.log)
      if (call.find('@') != std::string::npos || call == "present" || call.rfind("Clear", 0) == 0 || call.ends_with("Scene"))
        shape.push_back(call.substr(0, call.find('(')));
    return shape;
  };
  clock.set(2000);
  EXPECT_EQ(Shape(), (std::vector<std::string>{"light@2000#11", "director@2000#22", "guns@2000#33", "Clear",
                                               "BeginScene", "water@2000#11", "flare@2000#22",
                                               "text@2000#33", "listener@2000#11", "EndScene", "present"}));
  // A pass taken out runs no more; the clock and the draws move on.
  show.passes().Remove(flare);
  clock.advance(17);
  EXPECT_EQ(Shape(), (std::vector<std::string>{"light@2017#22", "director@2017#33", "guns@2017#11", "Clear",
                                               "BeginScene", "water@2017#22", "text@2017#33",
                                               "listener@2017#11", "EndScene", "present"}));
  // A lost display still moves the show on, but draws nothing.
  device.failing["BeginScene"] = kSurfaceLost;
  EXPECT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::DisplayLost);
  EXPECT_EQ(std::tuple(device.Calls("light@").size(), device.Calls("water@").size()), std::tuple(2u, 1u));
}

// The sound points and the two marks 8 units apart.
class ShipSoundsTest : public ShowTest {
 protected:
  void SetUp() override {
    SceneArchiveWriter w = SampleWriter();
    for (std::size_t i = 0; i < contract::kAmbientSounds.size(); ++i)
      w.AddGeometry(std::string(contract::kAmbientSounds[i].node),
                    NodeUnder("Scene Root", Matrix::Translation(Pos(i).x, Pos(i).y, Pos(i).z)), {});
    w.AddGeometry("Dummy_metr01", NodeUnder("Scene Root"), {});
    w.AddGeometry("Dummy_metr02", NodeUnder("Scene Root", Matrix::Translation(0, 8, 0)), {});
    resources.add(147, kSceneResourceType, w.Finish());
    for (const contract::AmbientSoundSpec& spec : contract::kAmbientSounds)
      resources.add(spec.resource, "WAVFILE", PcmWave(Ramp(spec.resource % 16 * 2 + 2)));
    settings.Get(key::MasterVolume) = Value(std::int32_t{-1200});
  }
  static AudioVector Pos(std::size_t i) { return {float(i) + 1, float(i) * 2, 3}; }
};

TEST_F(ShipSoundsTest, StartPlacesEachSoundAtItsNodeThenGivesTheGunsTheirShotOnTheDevice) {
  resources.add(contract::kGunShotSound, "WAVFILE", PcmWave(Ramp(6)));
  Start();
  EXPECT_FLOAT_EQ(audio.listener.distanceFactor, 1.0f / 8.0f) << "metres per unit from the marks";
  EXPECT_NE(std::find(device.log.begin(), device.log.end(), "SetTransform(2)"), device.log.end())
      << "the camera applied, so the first listener update has a view";
  EXPECT_EQ(font, 20) << "26 pixels at 768 lines, 600 here";
  ASSERT_EQ(audio.created.size(), 4u + 8u) << "the four, then a shot per gun";
  for (std::size_t i = 0; i < 4; ++i) {
    const contract::AmbientSoundSpec& spec = contract::kAmbientSounds[i];
    const RecordingBuffer& b = *audio.created[i];
    const SoundParameters& p = b.params;
    EXPECT_EQ(std::tuple(b.size, p.position, p.minDistance, p.maxDistance, p.insideConeAngle, p.outsideConeAngle, b.volume),
              std::tuple(spec.resource % 16u * 2 + 2, Pos(i), spec.minDistance, spec.maxDistance,
                         spec.cones ? spec.insideCone : 360u, spec.cones ? spec.outsideCone : 360u, -1200))
        << spec.resource;
    EXPECT_FALSE(b.playing || b.wasDeferred);
  }
  EXPECT_EQ(audio.created.back()->size, 6u);
}

TEST_F(ShipSoundsTest, WithoutASoundDeviceTheShowAndItsGunsAreSilent) {
  resources.add(contract::kGunShotSound, "WAVFILE", PcmWave(Ramp(6)));
  ASSERT_TRUE(show.Start(device, {}, {[]() -> AudioDevice* { return nullptr; }, {}}));
  EXPECT_EQ(show.audio(), nullptr);
  Frame();
  EXPECT_TRUE(audio.created.empty() && audio.log.empty());
}

TEST_F(ShipSoundsTest, TheFirstFrameStartsTheLoopsOnceEveryFrameMovesTheListenerAndStopReleasesLast) {
  Start();
  Frame();
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(audio.created[i]->playing && audio.created[i]->looping, contract::kAmbientSounds[i].loops) << i;
  audio.created[0]->position = 77;
  audio.created[3]->Stop();
  clock.advance(40);
  Frame();
  Frame();
  EXPECT_EQ(std::count(audio.log.begin(), audio.log.end(), "SetListener"), 3);
  // Not restarted, nor started again whatever became of it.
  EXPECT_EQ(std::tuple(audio.created[0]->position, audio.created[3]->playing), std::tuple(77u, false));
  const Vector3 eye = show.scene().currentCamera()->position();
  EXPECT_EQ(std::tuple(audio.listener.position, audio.listener.dopplerFactor, audio.listener.distanceFactor),
            std::tuple(AudioVector{eye.x, eye.y, eye.z}, 0.0f, 1.0f / 8.0f)) << "the distance factor kept by every update";
  // The sample's cameras look along -z, +y up; unit vectors.
  EXPECT_NEAR(audio.listener.front.z, 1.0f, 1e-6f);
  EXPECT_NEAR(audio.listener.top.y, 1.0f, 1e-6f);
  // On stop every sound is stopped before any is released.
  audio.log.clear();
  show.Stop();
  std::string order;
  for (const std::string& call : audio.log)
    if (call.ends_with(" Stop") || call.ends_with(" Release")) order += call.ends_with(" Stop") ? 'S' : 'R';
  EXPECT_EQ(order, "SSSSRRRR");
  EXPECT_EQ(audio.log[audio.log.size() - 4], "#0 Release") << "in their order";
  Frame();
  EXPECT_EQ(audio.log.back(), "SetListener");
}

TEST_F(ShowTest, MissingDataOrNodesLeaveThoseSoundsSilentAndTheRestPlay) {
  SceneArchiveWriter w = SampleWriter();
  for (const char* node : {"Dummy_lantern01", "Dummy_skrip02", "Dummy_metr01", "Dummy_metr02"})
    w.AddGeometry(node, NodeUnder("Scene Root"), {});
  resources.add(147, kSceneResourceType, w.Finish());
  // 152's node is missing, 157's data, and the wind has data but no node.
  for (std::uint16_t id : {151, 152, 153}) resources.add(id, "WAVFILE", PcmWave(Ramp(8)));
  Start();
  EXPECT_EQ(std::count(audio.log.begin(), audio.log.end(), "SetDistanceFactor"), 0) << "marks that coincide";
  ASSERT_EQ(audio.created.size(), 1u) << "the lantern's loop alone";
  Frame();
  EXPECT_TRUE(audio.created[0]->playing);
  EXPECT_EQ(show.ambientSounds()[contract::AmbientSound::CreakHigh].Play(false), kEFail);
}

}  // namespace
}  // namespace brisane
