#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sound/listener.h"
#include "sound/sound3d.h"
#include "sound/wave_file.h"
#include "support/recording_audio.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

using namespace testing;

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
  EXPECT_EQ(std::tuple(buffer->format.samplesPerSecond, buffer->bytes), std::tuple(22050u, data));
  EXPECT_FALSE(buffer->wasDeferred || buffer->playing);
  ASSERT_EQ(sound.Play(true), kOk);
  buffer->position = 900;
  ASSERT_EQ(sound.Play(false), kOk);
  EXPECT_EQ(std::tuple(buffer->plays, buffer->position, buffer->looping), std::tuple(1, 0u, true)) << "no second voice";
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
  EXPECT_EQ((std::array{sound.Play(true), sound.Stop(), sound.SetVolume(0)}), (std::array{kEFail, kEFail, kEFail}));
  sound.SetConeAngles(1, 2);
  sound.Set3DParameters({1, 1, 1}, {}, 1, 2);
  EXPECT_EQ(audio.log.size(), calls);
  Sound3D missing, refused;
  EXPECT_EQ(missing.Load(audio, resources, 999, ""), kEFail) << "no resource, no file name";
  audio.failCreate = true;
  EXPECT_EQ(refused.Load(audio, resources, 151, ""), kEFail);
  EXPECT_FALSE(missing.loaded() || refused.loaded());
}

WaveBytes WithFmt(const WaveBytes& fmt) { return Riff({Chunk("fmt ", fmt), Chunk("data", Ramp(8))}); }

WaveBytes Patched(WaveBytes bytes, std::initializer_list<std::size_t> at, std::uint8_t value) {
  for (std::size_t i : at) bytes[i] = value;
  return bytes;
}

std::vector<std::uint8_t> ReadAll(WaveFile& wave, std::uint32_t chunk = 1000) {
  std::vector<std::uint8_t> out, part(chunk);
  for (;;) {
    std::uint32_t n = 0;
    EXPECT_EQ(wave.Read(chunk, part.data(), n), kOk);
    if (n == 0) return out;
    out.insert(out.end(), part.begin(), part.begin() + n);
  }
}

TEST(WaveFileTest, ReadsPcmFormatAndGivesAtMostWhatRemainsUntilReset) {
  const WaveBytes data = Ramp(100), bytes = PcmWave(data);
  WaveFile wave;
  ASSERT_EQ(wave.Open(bytes), kOk);
  const WaveFormat& f = *wave.format();
  EXPECT_EQ((std::vector<std::uint32_t>{f.formatTag, f.channels, f.samplesPerSecond, f.bytesPerSecond, f.blockAlign,
                                        f.bitsPerSample, wave.dataSize()}),
            (std::vector<std::uint32_t>{1, 1, 22050, 44100, 2, 16, 100}));
  std::vector<std::uint8_t> out(500, 0xEE);
  std::uint32_t n = 0, rest = 0;
  ASSERT_EQ(wave.Read(60, out.data(), n), kOk);
  ASSERT_EQ(wave.Read(400, out.data() + 60, rest), kOk);
  EXPECT_EQ(std::tuple(n, rest, out[100]), std::tuple(60u, 40u, 0xEE)) << "only the rest of the chunk, nothing past it";
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  ASSERT_EQ(wave.Reset(), kOk);
  EXPECT_EQ(ReadAll(wave, 7), data) << "the whole chunk again after reset";
}

TEST(WaveFileTest, PcmIsStoredWithoutExtraBytesOtherTagsKeepTheirs) {
  WaveBytes longPcm = FmtBody(1, 2, 44100, 16);
  Put16(longPcm, 4);
  longPcm.insert(longPcm.end(), {9, 9, 9, 9});
  WaveFile pcm;
  ASSERT_EQ(pcm.Open(WithFmt(longPcm)), kOk);
  EXPECT_TRUE(pcm.format()->extra.empty() && pcm.format()->channels == 2) << "PCM has extra size 0 even in a longer chunk";
  WaveBytes adpcm = FmtBody(2, 1, 22050, 4);
  Put16(adpcm, 3);
  adpcm.insert(adpcm.end(), {7, 8, 9});
  adpcm[12] = 1;  // block alignment; the odd fmt chunk is padded
  WaveFile other;
  ASSERT_EQ(other.Open(WithFmt(adpcm)), kOk);
  EXPECT_EQ(std::tuple(other.format()->formatTag, other.format()->extra, other.dataSize()),
            std::tuple(std::uint16_t{2}, std::vector<std::uint8_t>{7, 8, 9}, 8u));
  WaveFile noCount;
  ASSERT_EQ(noCount.Open(WithFmt(FmtBody(3, 1, 22050, 32))), kOk);
  EXPECT_TRUE(noCount.format()->extra.empty()) << "a 16-byte chunk has no count to read";
  WaveBytes overlong = FmtBody(2, 1, 22050, 4);
  Put16(overlong, 40);  // more extra bytes than the chunk holds
  overlong[12] = 1;     // with a block alignment, so that only the count is wrong
  WaveFile lying;
  EXPECT_EQ(lying.Open(WithFmt(overlong)), kEFail);
}

TEST(WaveFileTest, ChunksAreFoundInAnyOrderPastOddPaddedOnes) {
  const WaveBytes data = Ramp(7);  // odd: padded
  const WaveBytes bytes = Riff({Chunk("LIST", Ramp(3)), Chunk("data", data), Chunk("junk", Ramp(5)),
                                Chunk("fmt ", FmtBody(1, 1, 11025, 8))});
  WaveFile wave;
  ASSERT_EQ(wave.Open(bytes), kOk);
  EXPECT_EQ(std::tuple(wave.format()->bitsPerSample, ReadAll(wave)), std::tuple(std::uint16_t{8}, data));
  // The last chunk's pad byte may be missing; its contents are all there.
  const WaveBytes unpadded = Riff({Chunk("fmt ", FmtBody(1, 1, 11025, 8)), Chunk("data", data, false)});
  ASSERT_EQ(wave.Open(unpadded), kOk);
  EXPECT_EQ(ReadAll(wave), data);
  // A RIFF size larger than the bytes (a streaming writer) is read as far
  // as the bytes go; the chunks themselves must be whole.
  const WaveBytes streamed = Patched(PcmWave(Ramp(10)), {4, 5, 6, 7}, 0xFF);
  ASSERT_EQ(wave.Open(streamed), kOk);
  EXPECT_EQ(wave.dataSize(), 10u);
}

TEST(WaveFileTest, DamagedDataFailsCleanly) {
  const WaveBytes fmt = Chunk("fmt ", FmtBody(1, 1, 22050, 16)), pcm = PcmWave(Ramp(4));
  WaveBytes shortFmt = FmtBody(1, 1, 22050, 16);
  shortFmt.resize(14);
  const std::vector<std::pair<const char*, WaveBytes>> cases = {
      {"empty", {}},
      {"not RIFF", Patched(pcm, {0}, 'X')},
      {"not WAVE", Patched(pcm, {8}, 'A')},
      {"no fmt", Riff({Chunk("data", Ramp(4))})},
      {"no data", Riff({fmt})},
      {"fmt under 16 bytes", WithFmt(shortFmt)},
      {"zero channels", WithFmt(FmtBody(1, 0, 22050, 16))},
      {"zero block alignment", WithFmt(Patched(FmtBody(1, 1, 22050, 16), {12, 13}, 0))},
      {"zero sample rate", WithFmt(FmtBody(1, 1, 0, 16))},
      {"fmt past the RIFF", Patched(pcm, {4}, 4)},  // the RIFF holds only "WAVE"
      {"a size near 4 GiB", Patched(Riff({Chunk("junk", Ramp(2)), fmt, Chunk("data", Ramp(4))}), {16, 17, 18, 19}, 0xFF)},
  };
  for (const auto& [name, bytes] : cases) {
    WaveFile wave;
    std::uint8_t out[4] = {};
    std::uint32_t n = 9;
    EXPECT_EQ(wave.Open(bytes), kEFail) << name;
    EXPECT_EQ(wave.Read(4, out, n), kEFail) << name;
    EXPECT_TRUE(!wave.format() && n == 0 && wave.Reset() == kEFail) << name;
  }
}

TEST(WaveFileTest, TheResourceComesFirstThenTheFileByName) {
  const WaveBytes fromResource = PcmWave(Ramp(6, 10));
  const WaveBytes fromFile = PcmWave(Ramp(12, 50));
  const auto path = std::filesystem::temp_directory_path() / "brisane_wave_file_test.wav";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(fromFile.data()), static_cast<std::streamsize>(fromFile.size()));
  MemoryResourceSource resources;
  resources.add(151, "WAVFILE", fromResource);
  resources.add(152, "JPEGFILE", fromResource);  // another type is not a sound
  WaveFile wave;
  ASSERT_EQ(wave.Open(resources, 151, path.string()), kOk);
  EXPECT_EQ(wave.dataSize(), 6u);
  ASSERT_EQ(wave.Open(resources, 152, path.string()), kOk);
  EXPECT_EQ(ReadAll(wave), Ramp(12, 50));
  EXPECT_EQ(wave.Open(resources, 153, ""), kEFail) << "no resource and no name";
  EXPECT_EQ(wave.format(), nullptr) << "a failed open forgets the last one";
  EXPECT_EQ(wave.Open(resources, 153, (path.string() + ".missing")), kEFail);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace brisane
