#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_keys.h"
#include "show/ship_contract.h"
#include "show/show.h"
#include "sound/listener.h"
#include "sound/sound3d.h"
#include "support/recording_audio.h"
#include "support/recording_device.h"
#include "support/scene_fixtures.h"
#include "support/scripted_random.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

using namespace testing;

void ExpectNear(const AudioVector& actual, const AudioVector& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-6f);
  EXPECT_NEAR(actual.y, expected.y, 1e-6f);
  EXPECT_NEAR(actual.z, expected.z, 1e-6f);
}

class Sound3DTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.add(151, "WAVFILE", PcmWave(data));
    ASSERT_EQ(sound.Load(audio, resources, 151, ""), kOk);
    buffer = audio.created.at(0);
  }

  const WaveBytes data = Ramp(64, 3);
  RecordingAudio audio;
  MemoryResourceSource resources;
  Sound3D sound;
  RecordingBuffer* buffer = nullptr;
};

TEST_F(Sound3DTest, LoadFillsOneBufferAndPlayingAgainRestartsItsOneVoice) {
  EXPECT_EQ(buffer->format.samplesPerSecond, 22050u);
  EXPECT_EQ(buffer->bytes, data);
  EXPECT_FALSE(buffer->wasDeferred || buffer->playing);
  ASSERT_EQ(sound.Play(true), kOk);
  buffer->position = 900;
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(buffer->plays, 1) << "no second voice";
  EXPECT_EQ(buffer->position, 0u);
  EXPECT_TRUE(buffer->looping);
  ASSERT_EQ(sound.Stop(), kOk);
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_FALSE(buffer->looping) << "a stopped sound starts in the mode asked";
}

TEST_F(Sound3DTest, ALostBufferIsRestoredAndRefilledAndOneNeverGivenBackFailsInTime) {
  buffer->lost = true;
  buffer->restoreRefusals = 3;
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(buffer->bytes, data) << "refilled after the restore emptied it";
  EXPECT_EQ(audio.sleeps, (std::vector<std::uint32_t>{10, 10})) << "a wait after each refusal of a round";
  buffer->lost = true;
  buffer->playing = false;
  buffer->restoreRefusals = 1000;
  EXPECT_EQ(sound.Play(true), kSoundBufferLost);
  EXPECT_LE(audio.sleeps.size(), 12u) << "the frame goes on";
  buffer->restoreRefusals = 0;
  EXPECT_EQ(sound.Play(true), kOk);
  EXPECT_EQ(buffer->bytes, data) << "the reader was rewound after every fill";
}

TEST_F(Sound3DTest, AnEmptySoundAnswersFailureAndTouchesNothing) {
  sound.Release();
  EXPECT_EQ(audio.created[0], nullptr) << "released";
  const std::size_t calls = audio.log.size();
  EXPECT_EQ(sound.Play(true), kEFail);
  EXPECT_EQ(sound.Stop(), kEFail);
  EXPECT_EQ(sound.SetVolume(0), kEFail);
  sound.SetConeAngles(1, 2);
  sound.Set3DParameters({1, 1, 1}, {}, 1, 2);
  EXPECT_EQ(audio.log.size(), calls);
  Sound3D missing, broken, refused;
  EXPECT_EQ(missing.Load(audio, resources, 999, ""), kEFail) << "no resource, no file name";
  const WaveBytes whole = PcmWave(data);
  resources.add(160, "WAVFILE", WaveBytes(whole.begin(), whole.end() - 2));
  EXPECT_EQ(broken.Load(audio, resources, 160, ""), kEFail) << "cut short";
  audio.failCreate = true;
  EXPECT_EQ(refused.Load(audio, resources, 151, ""), kEFail);
  for (Sound3D* s : {&missing, &broken, &refused}) EXPECT_FALSE(s->loaded());
}

TEST(ListenerTest, FrontAndTopComeFromTheViewTimesProjection) {
  // Looking along world +x with +z up: front is the third column negated, top the second, unit length.
  DeviceMatrix view = {}, projection = {};
  view.m[0][2] = 0.01f;
  view.m[1][0] = -0.01f;
  view.m[2][1] = 0.01f;
  view.m[3][3] = 1.0f;
  projection.m[0][0] = 1.5f;
  projection.m[1][1] = 2.0f;
  projection.m[2][2] = 1.01f;
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -0.1f;
  AudioVector front, top;
  ListenerOrientation(view, projection, front, top);
  ExpectNear(front, {-1, 0, 0});
  ExpectNear(top, {0, 0, 1});
  ListenerOrientation(DeviceMatrix{}, projection, front, top);
  ExpectNear(front, {-1, 0, 0});  // a degenerate transform keeps the last, not NaN
}

class ShowSoundsTest : public ::testing::Test {
 protected:
  void Start() { ASSERT_TRUE(show.Start(device, {600, false, ""}, {[this] { return &audio; }, [this](int h) { font = h; }})); }
  void Frame() { ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented); }

  ManualClock clock{1000};
  ScriptedRandom random{{1}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  RecordingAudio audio;
  Show show{{clock, random, resources, &loader, settings}};
  int font = 0;
};

// The sound points and the two marks 8 units apart.
class ShipSoundsTest : public ShowSoundsTest {
 protected:
  void SetUp() override {
    SceneArchiveWriter w = SampleWriter();
    for (std::size_t i = 0; i < contract::kAmbientSounds.size(); ++i)
      w.addGeometry(std::string(contract::kAmbientSounds[i].node),
                    NodeUnder("Scene Root", Matrix::translation(Pos(i).x, Pos(i).y, Pos(i).z)), {});
    w.addGeometry("Dummy_metr01", NodeUnder("Scene Root"), {});
    w.addGeometry("Dummy_metr02", NodeUnder("Scene Root", Matrix::translation(0, 8, 0)), {});
    resources.add(147, kSceneResourceType, w.finish());
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
    SCOPED_TRACE(spec.resource);
    const RecordingBuffer& b = *audio.created[i];
    EXPECT_EQ(b.size, spec.resource % 16u * 2 + 2);
    EXPECT_EQ(b.params.position, Pos(i));
    EXPECT_EQ(b.params.minDistance, spec.minDistance);
    EXPECT_EQ(b.params.maxDistance, spec.maxDistance);
    EXPECT_EQ(b.params.insideConeAngle, spec.cones ? spec.insideCone : 360u);
    EXPECT_EQ(b.params.outsideConeAngle, spec.cones ? spec.outsideCone : 360u);
    EXPECT_EQ(b.volume, -1200);
    EXPECT_FALSE(b.playing || b.wasDeferred);
  }
  EXPECT_EQ(audio.created.back()->size, 6u);
}

TEST_F(ShipSoundsTest, WithoutASoundDeviceTheShowAndItsGunsAreSilent) {
  resources.add(contract::kGunShotSound, "WAVFILE", PcmWave(Ramp(6)));
  EXPECT_EQ(show.audio(), nullptr) << "silent until sound is started";
  ASSERT_TRUE(show.Start(device, {}, {[]() -> AudioDevice* { return nullptr; }, {}}));
  EXPECT_EQ(show.audio(), nullptr);
  Frame();
  EXPECT_TRUE(audio.created.empty() && audio.log.empty());
}

TEST_F(ShipSoundsTest, TheFirstFrameStartsTheLoopsOnceAndEveryFrameMovesTheListener) {
  Start();
  Frame();
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ(audio.created[i]->playing && audio.created[i]->looping, contract::kAmbientSounds[i].loops) << i;
  audio.created[0]->position = 77;
  audio.created[3]->Stop();
  clock.advance(40);
  Frame();
  Frame();
  EXPECT_EQ(audio.listenerSets, 3);
  EXPECT_EQ(audio.created[0]->position, 77u) << "not restarted";
  EXPECT_FALSE(audio.created[3]->playing) << "not started again, whatever became of it";
  const Vector3 eye = show.scene().currentCamera()->position();
  EXPECT_EQ(audio.listener.position, (AudioVector{eye.x, eye.y, eye.z}));
  EXPECT_EQ(audio.listener.dopplerFactor, 0.0f);
  EXPECT_FLOAT_EQ(audio.listener.distanceFactor, 1.0f / 8.0f) << "kept by every update";
  ExpectNear(audio.listener.front, {0, 0, 1});  // the sample's cameras look along -z
  ExpectNear(audio.listener.top, {0, 1, 0});
}

TEST_F(ShipSoundsTest, OnStopEverySoundIsStoppedBeforeAnyIsReleased) {
  Start();
  Frame();
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

TEST_F(ShowSoundsTest, MissingDataOrNodesLeaveThoseSoundsSilentAndTheRestPlay) {
  SceneArchiveWriter w = SampleWriter();
  for (const char* node : {"Dummy_lantern01", "Dummy_skrip02", "Dummy_metr01", "Dummy_metr02"})
    w.addGeometry(node, NodeUnder("Scene Root"), {});
  resources.add(147, kSceneResourceType, w.finish());
  // 152's node is missing, 157's data, and the wind has data but no node.
  for (std::uint16_t id : {151, 152, 153}) resources.add(id, "WAVFILE", PcmWave(Ramp(8)));
  Start();
  EXPECT_EQ(std::count(audio.log.begin(), audio.log.end(), "SetDistanceFactor"), 0) << "marks that coincide";
  ASSERT_EQ(audio.created.size(), 1u);
  EXPECT_TRUE(show.ambientSounds()[contract::kLanternLoop].loaded());
  Frame();
  EXPECT_TRUE(audio.created[0]->playing);
  EXPECT_EQ(show.ambientSounds()[contract::kCreakHigh].Play(false), kEFail);
}

}  // namespace
}  // namespace brisane
