// The OpenAL sound device, heard through OpenAL Soft's file writer: each
// capture mixes in real time into a float WAV file, read back when the device
// closes. Sounds of one capture play at once on different pitches, so one
// file holds a level and the levels it is measured against.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <numbers>
#include <thread>

#include "native/openal_audio.h"
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
std::unique_ptr<SoundBuffer> At(AudioDevice& audio, double frequency, AudioVector position) {
  auto buffer = Tone(audio, frequency);
  SoundParameters p;
  buffer->GetParameters(p);
  p.position = position;
  EXPECT_EQ(buffer->SetParameters(p, false), kOk);
  EXPECT_EQ(buffer->Play(true), kOk);
  return buffer;
}

void Listen() { std::this_thread::sleep_for(std::chrono::milliseconds(400)); }

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

TEST(OpenAlAudio, DirectSoundsAxes) {
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  // At (10, 0, 10) facing DirectSound's +x with y up: -z is on the right.
  ListenerParameters listener;
  audio->GetListener(listener);
  listener.position = {10, 0, 10};
  listener.front = {1, 0, 0};
  ASSERT_EQ(audio->SetListener(listener), kOk);
  auto right = At(*audio, kLow, {10, 0, 5}), left = At(*audio, kMid, {10, 0, 15});
  Listen();
  audio.reset();
  right.reset(), left.reset();
  const Capture mix = ReadCapture();
  EXPECT_GT(mix.Right(kLow), 2 * mix.Left(kLow));
  EXPECT_GT(mix.Left(kMid), 2 * mix.Right(kMid));
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

bool PlayingWithin(SoundBuffer& sound, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (bool playing = false; std::chrono::steady_clock::now() < end;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (sound.IsPlaying(playing) == kOk && playing) return true;
  }
  return false;
}

// The file writer's device fails for good once its file cannot take more, as
// a device unplugged does: it says it is disconnected and stops every source.
// Then a folder in the file's place means no device can be opened, and at
// last a plain file is the next device.
TEST(OpenAlAudio, SoundsGoOnOnTheNextDeviceAfterTheirsWentAway) {
  namespace fs = std::filesystem;
  const fs::path& file = CaptureConfig().output;
  struct PlainFileAfter {
    const fs::path& file;
    ~PlainFileAfter() {
      if (fs::is_directory(file)) fs::remove(file);
    }
  } restore{file};
  fs::remove(file);
  fs::create_symlink("/dev/full", file);
  auto audio = OpenAlAudio::Open();
  ASSERT_TRUE(audio);
  fs::remove(file);
  fs::create_directory(file);

  ListenerParameters listener;
  audio->GetListener(listener);
  listener.position = {10, 0, 10};
  listener.front = {1, 0, 0};
  ASSERT_EQ(audio->SetListener(listener), kOk);
  auto loop = At(*audio, kLow, {10, 0, 9});  // on the right, at the minimum distance
  EXPECT_EQ(loop->SetVolume(-600), kOk);
  SoundParameters centred;
  centred.mode = 2;
  auto cutOff = Tone(*audio, kMid), later = Tone(*audio, kHigh, kRate);
  for (auto* b : {cutOff.get(), later.get()}) EXPECT_EQ(b->SetParameters(centred, false), kOk);
  EXPECT_EQ(cutOff->Play(false), kOk);
  EXPECT_FALSE(PlayingWithin(*loop, std::chrono::milliseconds(300)));  // silent while there is no device

  fs::remove(file);
  EXPECT_TRUE(PlayingWithin(*loop, std::chrono::milliseconds(3000)));
  bool playing = true;
  EXPECT_EQ(cutOff->IsPlaying(playing), kOk);
  EXPECT_FALSE(playing);
  EXPECT_EQ(later->Play(false), kOk);
  Listen();
  audio.reset();
  loop.reset(), cutOff.reset(), later.reset();
  const Capture mix = ReadCapture();
  EXPECT_NEAR(mix.Right(kLow), 0.125, 0.01);
  EXPECT_LT(mix.Left(kLow), 0.01);
  EXPECT_LT(mix.Both(kMid), 0.001);
  EXPECT_GT(mix.Both(kHigh), 0.1);
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
