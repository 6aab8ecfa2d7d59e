#include <gtest/gtest.h>

#include <cmath>
#include <string>

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

TEST_F(Sound3DTest, LoadMakesOneBufferOfTheDataInItsFormatFilledAndInNormalMode) {
  EXPECT_TRUE(sound.loaded());
  EXPECT_EQ(buffer->format.samplesPerSecond, 22050u);
  EXPECT_EQ(buffer->format.bitsPerSample, 16);
  EXPECT_EQ(buffer->bytes, data);
  EXPECT_EQ(buffer->params.mode, 0u);
  EXPECT_FALSE(buffer->wasDeferred);
  EXPECT_EQ(audio.log, (std::vector<std::string>{"CreateBuffer#0(64)", "#0 SetParameters", "#0 Fill(64)"}));
  EXPECT_FALSE(buffer->playing) << "loading does not play";
}

TEST_F(Sound3DTest, PlayingAgainRestartsTheOneVoiceInTheModeItHas) {
  ASSERT_EQ(sound.Play(true), kOk);
  buffer->position = 900;  // somewhere into the loop
  audio.log.clear();
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(buffer->plays, 1) << "no second voice";
  EXPECT_EQ(buffer->position, 0u) << "back to the start";
  EXPECT_TRUE(buffer->looping) << "keeps looping";
  EXPECT_EQ(audio.log, std::vector<std::string>{"#0 SetPlayPosition(0)"});

  ASSERT_EQ(sound.Stop(), kOk);
  EXPECT_FALSE(buffer->playing);
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(buffer->plays, 2);
  EXPECT_FALSE(buffer->looping) << "a stopped sound starts in the mode asked";
}

TEST_F(Sound3DTest, ALostBufferIsRestoredAndRefilledBeforeItPlays) {
  buffer->lost = true;
  buffer->restoreRefusals = 3;  // the system holds the hardware a while
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_FALSE(buffer->lost);
  EXPECT_EQ(buffer->bytes, data) << "refilled after the restore emptied it";
  EXPECT_EQ(buffer->fills, 2);
  EXPECT_TRUE(buffer->playing);
  EXPECT_EQ(audio.sleeps, (std::vector<std::uint32_t>{10, 10})) << "a 10 ms wait after each refusal of a round";

  // Refilled from the start: the reader was rewound after every fill.
  buffer->lost = true;
  buffer->playing = false;
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(buffer->bytes, data);
}

TEST_F(Sound3DTest, ABufferTheSystemNeverGivesBackFailsThePlayWithoutHangingTheFrame) {
  buffer->lost = true;
  buffer->restoreRefusals = 1000;
  EXPECT_EQ(sound.Play(true), kSoundBufferLost);
  EXPECT_FALSE(buffer->playing);
  EXPECT_LE(audio.sleeps.size(), 10u);
  EXPECT_EQ(buffer->fills, 1);
  // Given back later: the next play restores, refills and plays.
  buffer->restoreRefusals = 0;
  EXPECT_EQ(sound.Play(true), kOk);
  EXPECT_TRUE(buffer->playing);
  EXPECT_EQ(buffer->fills, 2);
}

TEST_F(Sound3DTest, AnEmptySoundAnswersFailureAndTouchesNothing) {
  sound.Release();
  EXPECT_EQ(audio.created[0], nullptr) << "released";
  EXPECT_FALSE(sound.loaded());
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
  for (Sound3D* s : {&missing, &broken, &refused}) {
    EXPECT_FALSE(s->loaded());
    EXPECT_EQ(s->Play(false), kEFail);
  }
  EXPECT_EQ(audio.created.size(), 1u) << "no buffer for data that does not parse";
}

TEST(ListenerTest, FrontAndTopComeFromTheViewTimesProjection) {
  // A camera looking along world +x with world +z up, seen through a
  // projection that scales its columns: front is the third column negated,
  // top the second, both made unit length.
  DeviceMatrix view = {};
  // Rows: world x -> view z (forward), world y -> view -x, world z -> view y.
  view.m[0][2] = 0.01f;
  view.m[1][0] = -0.01f;
  view.m[2][1] = 0.01f;
  view.m[3][3] = 1.0f;
  DeviceMatrix projection = {};
  projection.m[0][0] = 1.5f;
  projection.m[1][1] = 2.0f;
  projection.m[2][2] = 1.01f;
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -0.1f;
  AudioVector front, top;
  ListenerOrientation(view, projection, front, top);
  ExpectNear(front, {-1, 0, 0});
  ExpectNear(top, {0, 0, 1});

  // A degenerate transform keeps the last orientation rather than NaN.
  const AudioVector lastFront = front, lastTop = top;
  ListenerOrientation(DeviceMatrix{}, projection, front, top);
  EXPECT_EQ(front, lastFront);
  EXPECT_EQ(top, lastTop);
}

// The ship's sounds over a scene with the marks, the sound points and two
// cameras, on the recording audio device.
class ShipSoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SceneArchiveWriter w = SampleWriter();
    const auto dummy = [&](const char* name, float x, float y, float z) {
      w.addGeometry(name, NodeUnder("Scene Root", Matrix::translation(x, y, z)), {});
    };
    dummy("Dummy_metr01", 0, 0, 0);
    dummy("Dummy_metr02", 0, 8, 0);  // eight units to the metre
    dummy("Dummy_lantern01", 1, 2, 3);
    dummy("Dummy_skrip01", 4, 5, 6);
    dummy("Dummy_skrip02", 7, 8, 9);
    dummy("Dummy_wind01", 10, 11, 12);
    resources.add(147, kSceneResourceType, w.finish());
    for (std::uint16_t id : {151, 152, 153, 157}) resources.add(id, "WAVFILE", PcmWave(Ramp(id % 16 * 2 + 2)));
    settings.Get(key::MasterVolume) = Value(std::int32_t{-1200});
  }
  void Start() { ASSERT_TRUE(show.Start(device, {}, {[this] { return &audio; }, {}})); }
  void Frame() { ASSERT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented); }
  RecordingBuffer* Buffer(int i) { return audio.created.at(static_cast<std::size_t>(i)); }

  ManualClock clock{1000};
  ScriptedRandom random{{1}};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  Node settings;
  RecordingDevice device;
  RecordingAudio audio;
  Show show{{clock, random, resources, &loader, settings}};
};

TEST_F(ShipSoundsTest, StartUpScalesDistancesThenLoadsTheFourSoundsInOrderAtTheirNodes) {
  EXPECT_EQ(show.audio(), nullptr) << "silent until sound is started";
  Start();
  EXPECT_EQ(show.audio(), &audio);
  EXPECT_FLOAT_EQ(audio.listener.distanceFactor, 1.0f / 8.0f) << "metres per unit from the marks";
  ASSERT_EQ(audio.created.size(), 4u);
  EXPECT_EQ(audio.log[0], "GetListener");
  EXPECT_EQ(audio.log[1], "SetDistanceFactor");
  EXPECT_NE(device.log.end(), std::find(device.log.begin(), device.log.end(), "SetTransform(2)"))
      << "the current camera applied, so the first listener update has a view";

  // Lantern, first creak, second creak, wind, each at its node with its own
  // distances; sounds without cones keep the buffer's (360, 360).
  const AudioVector nodes[] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  for (int i = 0; i < 4; ++i) {
    const contract::AmbientSoundSpec& spec = contract::kAmbientSounds[static_cast<std::size_t>(i)];
    SCOPED_TRACE(spec.resource);
    const RecordingBuffer& b = *Buffer(i);
    EXPECT_EQ(b.size, spec.resource % 16u * 2 + 2) << "made from its own resource";
    EXPECT_EQ(b.params.position, nodes[i]);
    EXPECT_EQ(b.params.velocity, AudioVector{});
    EXPECT_EQ(b.params.minDistance, spec.minDistance);
    EXPECT_EQ(b.params.maxDistance, spec.maxDistance);
    EXPECT_EQ(b.params.insideConeAngle, spec.cones ? spec.insideCone : 360u);
    EXPECT_EQ(b.params.outsideConeAngle, spec.cones ? spec.outsideCone : 360u);
    EXPECT_FALSE(b.wasDeferred) << "placed at once";
    EXPECT_EQ(b.volume, -1200) << "MasterVolume as it is";
    EXPECT_FALSE(b.playing);
  }
  // Per sound: made, normal mode, filled, placed, volume, then its cones.
  const std::vector<std::string> lantern(audio.log.begin() + 2, audio.log.begin() + 8);
  EXPECT_EQ(lantern, (std::vector<std::string>{"CreateBuffer#0(16)", "#0 SetParameters", "#0 Fill(16)",
                                               "#0 SetParameters", "#0 SetVolume(-1200)",
                                               "#0 SetConeAngles(360, 360)"}));
  EXPECT_EQ(audio.log[8], "CreateBuffer#1(18)");
}

TEST_F(ShipSoundsTest, TheFirstFrameStartsTheTwoLoopsOnceAndEveryFrameMovesTheListener) {
  Start();
  Frame();
  EXPECT_TRUE(Buffer(0)->playing && Buffer(0)->looping) << "lantern loop";
  EXPECT_TRUE(Buffer(3)->playing && Buffer(3)->looping) << "wind loop";
  EXPECT_FALSE(Buffer(1)->playing || Buffer(2)->playing) << "the creaks wait for the ship's motion";
  const auto lanternPlay = std::find(audio.log.begin(), audio.log.end(), "#0 Play(loop)");
  ASSERT_NE(lanternPlay, audio.log.end());
  EXPECT_EQ(*std::next(lanternPlay), "#3 Play(loop)") << "lantern, then wind";
  EXPECT_EQ(audio.listenerSets, 1);

  Buffer(0)->position = 77;
  Buffer(3)->Stop();
  clock.advance(40);
  Frame();
  Frame();
  EXPECT_EQ(audio.listenerSets, 3);
  EXPECT_EQ(Buffer(0)->plays, 1) << "started once only";
  EXPECT_EQ(Buffer(0)->position, 77u) << "not restarted";
  EXPECT_FALSE(Buffer(3)->playing) << "not started again, whatever became of it";

  // The listener stands at the current camera, facing by the device's view.
  const Vector3 eye = show.scene().currentCamera()->position();
  EXPECT_EQ(audio.listener.position, (AudioVector{eye.x, eye.y, eye.z}));
  EXPECT_EQ(audio.listener.velocity, AudioVector{});
  EXPECT_EQ(audio.listener.dopplerFactor, 0.0f);
  EXPECT_FLOAT_EQ(audio.listener.distanceFactor, 1.0f / 8.0f) << "the scale survives every update";
  // The sample's cameras keep the world's axes and look along their -z with
  // +y up: front is the negated third column of view x projection, so +z.
  ExpectNear(audio.listener.front, {0, 0, 1});
  ExpectNear(audio.listener.top, {0, 1, 0});
}

TEST_F(ShipSoundsTest, OnCloseTheFourAreStoppedThenReleasedInTheirOrder) {
  Start();
  Frame();
  audio.log.clear();
  show.Stop();
  EXPECT_EQ(audio.log, (std::vector<std::string>{
                           "#0 Stop", "#0 SetPlayPosition(0)", "#1 Stop", "#1 SetPlayPosition(0)", "#2 Stop",
                           "#2 SetPlayPosition(0)", "#3 Stop", "#3 SetPlayPosition(0)", "#0 Release", "#1 Release",
                           "#2 Release", "#3 Release"}));
  Frame();  // a frame after it plays nothing and fails nothing
  EXPECT_EQ(audio.log.size(), 13u);
  EXPECT_EQ(audio.log.back(), "SetListener");
}

TEST(ShipSoundsGapsTest, MissingDataOrNodesLeaveThoseSoundsSilentAndTheRestPlay) {
  SceneArchiveWriter w = SampleWriter();
  w.addGeometry("Dummy_lantern01", NodeUnder("Scene Root", Matrix::translation(1, 2, 3)), {});
  w.addGeometry("Dummy_skrip02", NodeUnder("Scene Root"), {});
  w.addGeometry("Dummy_metr01", NodeUnder("Scene Root"), {});
  w.addGeometry("Dummy_metr02", NodeUnder("Scene Root"), {});  // the same point: no scale
  MemoryResourceSource resources;
  resources.add(147, kSceneResourceType, w.finish());
  // 152's node is missing, 157's data, and the wind has data but no node.
  for (std::uint16_t id : {151, 152, 153}) resources.add(id, "WAVFILE", PcmWave(Ramp(8)));
  ManualClock clock;
  ScriptedRandom random{{1}};
  Node settings;
  RecordingDevice device;
  RecordingAudio audio;
  Show show{{clock, random, resources, nullptr, settings}};
  ASSERT_TRUE(show.Start(device, {}, {[&] { return &audio; }, {}}));
  EXPECT_EQ(std::count(audio.log.begin(), audio.log.end(), "SetDistanceFactor"), 0)
      << "no scale from marks that coincide";
  ASSERT_EQ(audio.created.size(), 1u);
  EXPECT_TRUE(show.ambientSounds()[contract::kLanternLoop].loaded());
  for (std::size_t silent : {contract::kCreakHigh, contract::kCreakLow, contract::kWindLoop})
    EXPECT_FALSE(show.ambientSounds()[silent].loaded());
  EXPECT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented);
  EXPECT_TRUE(audio.created[0]->playing);
  EXPECT_EQ(show.ambientSounds()[contract::kCreakHigh].Play(false), kEFail) << "the motion's creak is simply silent";
}

}  // namespace
}  // namespace brisane
