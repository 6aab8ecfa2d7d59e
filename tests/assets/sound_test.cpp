// The shipped sounds through the program's own reader and positioned sound:
// each loads whole and none loads cut short; levels and seamless loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <span>

#include "asset_support.h"
#include "sound/sound3d.h"
#include "sound/wave_file.h"
#include "tests/unit/support/recording_audio.h"

namespace brisane::assets::testing {
namespace {

struct Wave {
  WaveFormat format;
  std::vector<double> samples;  // -1..1 of full scale
  bool railed = false;          // some sample at the very end of the range
};

// What the program's buffer holds once the sound is loaded.
const Wave& Sound(int id) {
  static std::map<int, Wave> cache;
  if (auto it = cache.find(id); it != cache.end()) return it->second;
  Wave& w = cache[id];
  const Bytes& bytes = ById(id).bytes;
  EXPECT_EQ(U32(bytes, 4), bytes.size() - 8) << id;
  MemoryResourceSource resources;
  resources.add(static_cast<std::uint16_t>(id), "WAVFILE", bytes);
  brisane::testing::RecordingAudio audio;
  Sound3D sound;
  EXPECT_EQ(sound.Load(audio, resources, static_cast<std::uint16_t>(id), ""), kOk) << id;
  if (audio.created.empty()) return w;
  const brisane::testing::RecordingBuffer& buffer = *audio.created.back();
  EXPECT_EQ(buffer.size, U32(bytes, 40)) << id;
  EXPECT_TRUE(std::equal(buffer.bytes.begin(), buffer.bytes.end(), bytes.begin() + 44)) << "as stored: " << id;
  w.format = buffer.format;
  const bool wide = w.format.bitsPerSample == 16;
  for (std::size_t i = 0; i + (wide ? 1 : 0) < buffer.bytes.size(); i += wide ? 2 : 1) {
    const int v = wide ? static_cast<std::int16_t>(U16(buffer.bytes, i)) : buffer.bytes[i] - 128;
    w.railed |= wide ? (v <= -32768 || v >= 32767) : (v == -128 || v == 127);
    w.samples.push_back(v / (wide ? 32768.0 : 128.0));
  }
  return w;
}

double Seconds(const Wave& w) { return static_cast<double>(w.samples.size()) / w.format.samplesPerSecond; }

double Rms(const Wave& w, double from, double to) {
  const std::size_t a = static_cast<std::size_t>(from * w.format.samplesPerSecond);
  const std::size_t b = std::min(w.samples.size(), static_cast<std::size_t>(to * w.format.samplesPerSecond));
  double s = 0;
  for (std::size_t i = a; i < b; ++i) s += w.samples[i] * w.samples[i];
  return std::sqrt(s / static_cast<double>(std::max<std::size_t>(1, b - a)));
}

// Mono PCM, as the positioned sound takes it; loud but never clipped.
TEST(Sounds, MonoAndLoudButNeverClipped) {
  for (int id : {151, 152, 153, 155, 157}) {
    const Wave& w = Sound(id);
    EXPECT_TRUE(w.format.formatTag == 1 && w.format.channels == 1) << id;
    double peak = 0;
    for (double s : w.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_TRUE(peak >= 0.8 && !w.railed) << id << ": " << peak;
    EXPECT_GT(Rms(w, 0, Seconds(w)), 0.03) << id << ": audible, not a lone spike";
  }
}

TEST(Sounds, LoopsJoinWithoutAClickAndOneShotsStartAndEndInSilence) {
  for (int id : {151, 153}) {
    SCOPED_TRACE(id);
    const Wave& w = Sound(id);
    const std::vector<double>& s = w.samples;
    const std::size_t n = s.size();
    ASSERT_GT(n, 1000u);
    // Steps and changes of slope inside the sound, to measure the seam against.
    std::vector<double> steps, bends;
    for (std::size_t i = 2; i < n; ++i) {
      steps.push_back(std::fabs(s[i] - s[i - 1]));
      bends.push_back(std::fabs(s[i] - 2 * s[i - 1] + s[i - 2]));
    }
    const auto percentile = [](std::vector<double> v) {
      std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(0.99 * v.size()), v.end());
      return v[static_cast<std::size_t>(0.99 * v.size())];
    };
    EXPECT_LE(std::fabs(s[0] - s[n - 1]), percentile(steps));
    EXPECT_LE(std::fabs(s[0] - 2 * s[n - 1] + s[n - 2]), percentile(bends));
    EXPECT_LE(std::fabs(s[1] - 2 * s[0] + s[n - 1]), percentile(bends));
    const double head = Rms(w, 0, 0.5), tail = Rms(w, Seconds(w) - 0.5, Seconds(w));
    EXPECT_LT(std::fabs(std::log(head / tail)), std::log(2.0)) << "the level does not jump";
  }
  for (int id : {152, 155, 157}) {
    const Wave& w = Sound(id);
    EXPECT_LT(std::fabs(w.samples.front()), 0.02) << id;
    EXPECT_LT(std::fabs(w.samples.back()), 0.02) << id;
  }
}

// A sound cut short is refused, never played on past its end: only the pad
// byte after an odd data chunk may go.
TEST(Sounds, EveryTruncationIsRefused) {
  for (int id : {151, 152, 153, 155, 157}) {
    const Bytes& bytes = ById(id).bytes;
    const std::size_t dataEnd = 44 + U32(bytes, 40);
    std::size_t wrong = 0;
    for (std::size_t keep = 0; keep < bytes.size(); ++keep) {
      WaveFile wave;
      wrong += Failed(wave.Open(std::span<const std::uint8_t>(bytes.data(), keep))) != (keep < dataEnd);
    }
    EXPECT_EQ(wrong, 0u) << id;
  }
}

}  // namespace
}  // namespace brisane::assets::testing
