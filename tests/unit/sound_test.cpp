#include <gtest/gtest.h>

#include "sound/listener.h"
#include "sound/sound3d.h"
#include "support/recording_audio.h"
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

}  // namespace
}  // namespace brisane
