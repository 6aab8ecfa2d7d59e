// The shipped sounds through the program's own WAV reader and positioned
// sound: whole, each one loads into a buffer holding exactly its samples;
// cut short at any byte, none of them loads, and nothing is read past the cut.
#include <gtest/gtest.h>

#include "asset_support.h"
#include "sound/sound3d.h"
#include "sound/wave_file.h"
#include "tests/unit/support/recording_audio.h"

namespace brisane::assets::testing {
namespace {

constexpr int kSounds[] = {151, 152, 153, 155, 157};

TEST(WaveReader, EveryShippedSoundLoadsWhole) {
  MemoryResourceSource resources;
  for (int id : kSounds) resources.add(static_cast<std::uint16_t>(id), "WAVFILE", ById(id).bytes);
  brisane::testing::RecordingAudio audio;
  for (int id : kSounds) {
    SCOPED_TRACE(id);
    const Bytes& bytes = ById(id).bytes;
    Sound3D sound;
    ASSERT_EQ(sound.Load(audio, resources, static_cast<std::uint16_t>(id), ""), kOk);
    const brisane::testing::RecordingBuffer& buffer = *audio.created.back();
    const std::uint32_t dataSize = U32(bytes, 40);
    EXPECT_EQ(buffer.size, dataSize);
    EXPECT_TRUE(std::equal(buffer.bytes.begin(), buffer.bytes.end(), bytes.begin() + 44)) << "the samples as stored";
    EXPECT_EQ(buffer.format.samplesPerSecond, U32(bytes, 24));
    EXPECT_EQ(buffer.format.bitsPerSample, U16(bytes, 34));
  }
}

TEST(WaveReader, EveryTruncationOfEveryShippedSoundFailsCleanly) {
  for (int id : kSounds) {
    SCOPED_TRACE(id);
    const Bytes& bytes = ById(id).bytes;
    const std::size_t dataEnd = 44 + U32(bytes, 40);
    // A copy of exactly the kept bytes, so a read past the cut would be a
    // read past the allocation under the sanitizers.
    std::size_t opened = 0;
    for (std::size_t keep = 0; keep < bytes.size(); ++keep) {
      const bool copied = keep % 4099 == 0 || keep + 64 > bytes.size() || keep < 64;
      Bytes copy;
      std::span<const std::uint8_t> view(bytes.data(), keep);
      if (copied) {
        copy.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
        view = copy;
      }
      WaveFile wave;
      const HResult result = wave.Open(view);
      if (!Failed(result)) {
        ++opened;
        EXPECT_GE(keep, dataEnd) << "opened with only " << keep << " bytes";
      }
    }
    // Only the missing pad byte of an odd data chunk may be cut.
    EXPECT_EQ(opened, bytes.size() - dataEnd);
  }
}

}  // namespace
}  // namespace brisane::assets::testing
