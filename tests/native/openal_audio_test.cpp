// The OpenAL sound device, heard through OpenAL Soft's file writer: each
// capture mixes in real time into a float WAV file, read back when the device
// closes. Sounds of one capture play at once on different pitches, so one
// file holds a level and the levels it is measured against.
#include <gtest/gtest.h>

#include <chrono>
#include <numbers>
#include <thread>

#include "platform/native/openal_audio.h"
#include "wave_capture.h"

namespace brisane {
namespace {

constexpr std::uint32_t kRate = kCaptureRate;
// Multiples of 441 Hz: whole periods in 4400 samples, so a looping buffer has no seam.
constexpr double kLow = 441, kMid = 882, kHigh = 1764, kUpper = 2646, kTop = 3528;

// Before the first OpenAL call of the program.
[[maybe_unused]] const WaveWriterConfig& configured = CaptureConfig();

// A tone at a quarter of full scale; of two channels, only the left has it.
std::unique_ptr<SoundBuffer> Tone(AudioDevice& audio, double frequency, std::uint32_t samples = 4400,
                                  std::uint16_t bits = 16, std::uint16_t channels = 1) {
  const auto block = static_cast<std::uint16_t>(channels * bits / 8);
  const WaveFormat format{1, channels, kRate, kRate * block, block, bits, {}};
  std::vector<std::uint8_t> bytes(std::size_t{samples} * block, bits == 8 ? 0x80 : 0);
  for (std::uint32_t i = 0; i < samples; ++i) {
    const double v = 0.25 * std::sin(2 * std::numbers::pi * frequency * i / kRate);
    const auto s = static_cast<std::uint16_t>(std::lround(bits == 8 ? 128 + 127 * v : 32767 * v));
    bytes[i * block] = static_cast<std::uint8_t>(s & 0xff);
    if (bits == 16) bytes[i * block + 1] = static_cast<std::uint8_t>(s >> 8);
  }
  HResult result = kEFail;
  auto buffer = audio.CreateBuffer(format, static_cast<std::uint32_t>(bytes.size()), result);
  if (!buffer || buffer->Fill(bytes) != kOk) ADD_FAILURE() << "no buffer: " << result;
  return buffer;
}

// A looping tone at a place, in DirectSound's coordinates.
std::unique_ptr<SoundBuffer> At(AudioDevice& audio, double frequency, AudioVector position,
                                float minDistance = 1, float maxDistance = 1e9f) {
  auto buffer = Tone(audio, frequency);
  SoundParameters p;
  buffer->GetParameters(p);
  p.position = position;
  p.minDistance = minDistance;
  p.maxDistance = maxDistance;
  EXPECT_EQ(buffer->SetParameters(p, false), kOk);
  EXPECT_EQ(buffer->Play(true), kOk);
  return buffer;
}

void Listen(int milliseconds = 400) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

TEST(OpenAlAudio, LevelsVolumesAndChannels) {
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  // Hard right of the listener a mono tone is all in the right channel, at
  // its own level; without 3D it sits in the middle wherever it was put.
  SoundParameters right, middle;
  right.mode = 1;
  right.position = {1, 0, 0};
  middle.mode = 2;
  middle.position = {5, 0, 0};
  auto full = Tone(*audio, kLow), half = Tone(*audio, kMid, 4400, 8), silent = Tone(*audio, kHigh);
  auto centred = Tone(*audio, kTop);
  for (auto* b : {full.get(), half.get(), silent.get()}) EXPECT_EQ(b->SetParameters(right, false), kOk);
  EXPECT_EQ(centred->SetParameters(middle, false), kOk);
  EXPECT_EQ(half->SetVolume(-600), kOk);
  EXPECT_EQ(silent->SetVolume(-10000), kOk);
  auto leftOnly = Tone(*audio, kUpper, 4400, 16, 2);  // a stereo buffer's left stays left
  for (auto* b : {full.get(), half.get(), silent.get(), centred.get(), leftOnly.get()}) EXPECT_EQ(b->Play(true), kOk);
  Listen();
  audio.reset();  // before its buffers: the context outlives them
  full.reset(), half.reset(), silent.reset(), centred.reset(), leftOnly.reset();
  const Capture mix = ReadCapture();
  EXPECT_NEAR(mix.Right(kLow), 0.25, 0.0125);
  EXPECT_LT(mix.Left(kLow), 0.005);
  EXPECT_NEAR(mix.Right(kMid) / mix.Right(kLow), 0.501, 0.03);  // -6 dB, from 8-bit samples
  EXPECT_LT(mix.Both(kHigh), 0.001);
  EXPECT_GT(mix.Left(kTop), 0.05);
  EXPECT_NEAR(mix.Left(kTop), mix.Right(kTop), 0.005);
  EXPECT_NEAR(mix.Left(kUpper), 0.25, 0.0125);
  EXPECT_LT(mix.Right(kUpper), 0.005);
}

TEST(OpenAlAudio, DirectSoundsAxesConesAndDistanceLaw) {
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  // At (10, 0, 10) facing DirectSound's +x with y up: -z is on the right.
  ListenerParameters listener;
  audio->GetListener(listener);
  listener.position = {10, 0, 10};
  listener.front = {1, 0, 0};
  ASSERT_EQ(audio->SetListener(listener), kOk);
  auto right = At(*audio, kLow, {10, 0, 5}), left = At(*audio, kMid, {10, 0, 15});
  // Two tones there, one cone pointing back at the listener and one away.
  auto facing = At(*audio, kHigh, {10, 0, 5}), away = At(*audio, kUpper, {10, 0, 5});
  SoundParameters p;
  facing->GetParameters(p);
  p.insideConeAngle = 60;
  p.outsideConeAngle = 120;
  p.coneOutsideVolume = -600;
  p.coneOrientation = {0, 0, 1};
  facing->SetParameters(p, false);
  p.coneOrientation = {0, 0, -1};
  away->SetParameters(p, false);
  // Ahead: at the minimum distance 3, twice it, nearer than it, beyond the maximum.
  auto atMin = At(*audio, kTop, {13, 0, 10}, 3, 100), twice = At(*audio, 1323, {16, 0, 10}, 3, 100);
  auto close = At(*audio, 2205, {11, 0, 10}, 3, 100), beyond = At(*audio, 3087, {210, 0, 10}, 3, 100);
  Listen();
  audio.reset();
  right.reset(), left.reset(), facing.reset(), away.reset(), atMin.reset(), twice.reset(), close.reset(), beyond.reset();
  const Capture mix = ReadCapture();
  EXPECT_GT(mix.Right(kLow), 2 * mix.Left(kLow));
  EXPECT_GT(mix.Left(kMid), 2 * mix.Right(kMid));
  EXPECT_NEAR(mix.Both(kUpper) / mix.Both(kHigh), 0.501, 0.03);
  EXPECT_NEAR(mix.Both(1323) / mix.Both(kTop), 0.5, 0.03);
  EXPECT_NEAR(mix.Both(2205) / mix.Both(kTop), 1.0, 0.05);  // nearer than the minimum: no louder
  EXPECT_LT(mix.Both(3087), 0.001);
}

TEST(OpenAlAudio, LoopingKeepsPlayingOnceEndsStopSilencesAndKeepsThePosition) {
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  auto looping = Tone(*audio, kLow, 2200), once = Tone(*audio, kMid, 2200), stopped = Tone(*audio, kHigh);
  auto resumed = Tone(*audio, kUpper, 26400);  // 0.6 s
  const auto playing = [](SoundBuffer& b) {
    bool now = false;
    b.IsPlaying(now);
    return now;
  };
  looping->Play(true);
  once->Play(false);
  stopped->Play(true);
  resumed->Play(false);
  Listen(200);
  EXPECT_EQ(stopped->Stop(), kOk);
  EXPECT_EQ(resumed->Stop(), kOk);
  EXPECT_FALSE(playing(*stopped));
  resumed->Play(false);  // 0.4 s left, unless it started over
  resumed->Play(false);  // already playing: goes on
  Listen(300);
  EXPECT_TRUE(playing(*looping) && !playing(*once) && playing(*resumed));
  Listen(200);
  EXPECT_FALSE(playing(*resumed));
  audio.reset();
  looping.reset(), once.reset(), stopped.reset(), resumed.reset();
  const Capture mix = ReadCapture();
  const double start = mix.start, end = mix.end;
  ASSERT_GT(end - start, 0.4);
  EXPECT_GT(Capture::Level(mix.left, kLow, end - 0.1, end - 0.02), 0.05);
  EXPECT_GT(Capture::Level(mix.left, kMid, start, start + 0.04), 0.05);
  EXPECT_LT(Capture::Level(mix.left, kMid, end - 0.25, end - 0.02), 0.002);
  EXPECT_GT(Capture::Level(mix.left, kHigh, start + 0.05, start + 0.15), 0.05);
  EXPECT_LT(Capture::Level(mix.left, kHigh, end - 0.2, end - 0.02), 0.002);
}

TEST(OpenAlAudio, BadInputIsRefusedAndLeavesTheSettings) {
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  HResult result = kOk;
  WaveFormat format{1, 1, kRate, kRate * 2, 2, 16, {}};
  for (auto broken : {WaveFormat{2, 1, kRate, kRate * 2, 2, 16, {}}, WaveFormat{1, 3, kRate, kRate * 6, 6, 16, {}},
                      WaveFormat{1, 1, kRate, kRate * 3, 3, 24, {}}, WaveFormat{1, 1, kRate, kRate * 4, 4, 16, {}},
                      WaveFormat{1, 1, 0, 0, 2, 16, {}}}) {
    EXPECT_FALSE(audio->CreateBuffer(broken, 4400, result));
    EXPECT_EQ(result, kBadSoundFormat);
  }
  EXPECT_FALSE(audio->CreateBuffer(format, 0, result));
  EXPECT_EQ(result, kInvalidArgument);

  auto buffer = audio->CreateBuffer(format, 4401, result);  // half a sample left over
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->SetPlayPosition(4400), kInvalidArgument);
  EXPECT_EQ(buffer->SetVolume(1), kInvalidArgument);
  EXPECT_EQ(buffer->SetVolume(-10001), kInvalidArgument);
  SoundParameters kept, broken, now;
  kept.position = {1, 2, 3};
  ASSERT_EQ(buffer->SetParameters(kept, false), kOk);
  broken.position = {NAN, 0, 0};
  EXPECT_EQ(buffer->SetParameters(broken, false), kInvalidArgument);
  broken = kept;
  broken.minDistance = 0;
  EXPECT_EQ(buffer->SetParameters(broken, false), kInvalidArgument);
  buffer->GetParameters(now);
  EXPECT_EQ(now, kept);

  ListenerParameters listener, after;
  audio->GetListener(listener);
  auto flat = listener;
  flat.top = flat.front;  // no frame to hear from
  EXPECT_EQ(audio->SetListener(flat), kInvalidArgument);
  EXPECT_EQ(audio->SetDistanceFactor(0), kInvalidArgument);
  audio->GetListener(after);
  EXPECT_EQ(after, listener);
}

TEST(OpenAlAudioDeathTest, NoDeviceIsNoAudio) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process reads the driver list anew
  EXPECT_EXIT(
      {
        setenv("ALSOFT_DRIVERS", "no-such-driver", 1);
        std::exit(OpenAlAudio::Open() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace brisane
