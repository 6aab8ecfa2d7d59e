// The sounds as the program's WAV reader sees them: RIFF structure, the
// format of each, levels and seamless loops.
#include <algorithm>
#include <cmath>
#include <map>

#include <gtest/gtest.h>

#include "asset_support.h"

namespace brisane::assets::testing {
namespace {

struct Wave {
  int tag = 0, channels = 0, rate = 0, byteRate = 0, block = 0, bits = 0;
  std::vector<double> samples;  // -1..1 of full scale
  bool railed = false;          // some sample at the very end of the range
};

// Parses like a reader would: chunks by id and size, any order after "fmt ".
Wave Parse(const Bytes& b) {
  Wave w;
  EXPECT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(U32(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 12), "WAVE");
  bool fmt = false, data = false;
  for (std::size_t pos = 12; pos + 8 <= b.size();) {
    std::string id(b.begin() + static_cast<std::ptrdiff_t>(pos), b.begin() + static_cast<std::ptrdiff_t>(pos) + 4);
    std::size_t size = U32(b, pos + 4), body = pos + 8;
    EXPECT_LE(body + size, b.size()) << id;
    if (body + size > b.size()) break;
    if (id == "fmt ") {
      fmt = true;
      EXPECT_GE(size, 16u);
      w.tag = U16(b, body);
      w.channels = U16(b, body + 2);
      w.rate = static_cast<int>(U32(b, body + 4));
      w.byteRate = static_cast<int>(U32(b, body + 8));
      w.block = U16(b, body + 12);
      w.bits = U16(b, body + 14);
    } else if (id == "data") {
      data = true;
      EXPECT_TRUE(fmt) << "fmt before data";
      for (std::size_t i = 0; i + (w.bits == 16 ? 1 : 0) < size; i += w.bits == 16 ? 2 : 1) {
        int v = w.bits == 16 ? static_cast<std::int16_t>(U16(b, body + i)) : b[body + i] - 128;
        double full = w.bits == 16 ? 32768.0 : 128.0;
        w.railed |= w.bits == 16 ? (v <= -32768 || v >= 32767) : (b[body + i] == 0 || b[body + i] == 255);
        w.samples.push_back(v / full);
      }
    }
    pos = body + size + (size & 1);
  }
  EXPECT_TRUE(fmt && data);
  return w;
}

const Wave& Sound(int id) {
  static std::map<int, Wave> cache;
  auto it = cache.find(id);
  if (it == cache.end()) it = cache.emplace(id, Parse(ById(id).bytes)).first;
  return it->second;
}

double Seconds(const Wave& w) { return static_cast<double>(w.samples.size()) / w.rate; }

double Rms(const Wave& w, double from, double to) {
  std::size_t a = static_cast<std::size_t>(from * w.rate), b = std::min(w.samples.size(), static_cast<std::size_t>(to * w.rate));
  double s = 0;
  for (std::size_t i = a; i < b; ++i) s += w.samples[i] * w.samples[i];
  return std::sqrt(s / static_cast<double>(std::max<std::size_t>(1, b - a)));
}

TEST(Sounds, FormatsAndLengths) {
  const struct {
    int id, rate, bits;
    double shortest, longest;
  } rows[] = {{151, 22050, 16, 20, 40}, {152, 11025, 16, 0.4, 3}, {153, 22050, 16, 8, 1e9},
              {155, 22050, 16, 1, 4},   {157, 11025, 8, 0.4, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    const Wave& w = Sound(row.id);
    EXPECT_EQ(w.tag, 1) << "PCM";
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, row.rate);
    EXPECT_EQ(w.bits, row.bits);
    EXPECT_EQ(w.block, row.bits / 8);
    EXPECT_EQ(w.byteRate, row.rate * row.bits / 8);
    EXPECT_GE(Seconds(w), row.shortest);
    EXPECT_LE(Seconds(w), row.longest);
  }
}

TEST(Sounds, PeakNearFullScaleWithoutClipping) {
  for (int id : {151, 152, 153, 155, 157}) {
    const Wave& w = Sound(id);
    double peak = 0;
    for (double s : w.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_GE(peak, 0.8) << id;
    EXPECT_LE(peak, 0.95) << id;
    EXPECT_FALSE(w.railed) << id;
    EXPECT_GT(Rms(w, 0, Seconds(w)), 0.03) << id << " is audible, not a lone spike";
  }
}

TEST(Sounds, LoopsJoinWithoutAClick) {
  for (int id : {151, 153}) {
    SCOPED_TRACE(id);
    const std::vector<double>& s = Sound(id).samples;
    const std::size_t n = s.size();
    ASSERT_GT(n, 1000u);
    // Steps and changes of slope inside the sound, to measure the seam against.
    std::vector<double> steps, bends;
    for (std::size_t i = 2; i < n; ++i) {
      steps.push_back(std::fabs(s[i] - s[i - 1]));
      bends.push_back(std::fabs(s[i] - 2 * s[i - 1] + s[i - 2]));
    }
    auto percentile = [](std::vector<double> v, double q) {
      std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(q * v.size()), v.end());
      return v[static_cast<std::size_t>(q * v.size())];
    };
    const double seamStep = std::fabs(s[0] - s[n - 1]);
    const double seamBend = std::fabs(s[0] - 2 * s[n - 1] + s[n - 2]);
    const double nextBend = std::fabs(s[1] - 2 * s[0] + s[n - 1]);
    EXPECT_LE(seamStep, percentile(steps, 0.99));
    EXPECT_LE(seamBend, percentile(bends, 0.99));
    EXPECT_LE(nextBend, percentile(bends, 0.99));
    // The level does not jump either: the last and first half-seconds match.
    const Wave& w = Sound(id);
    double head = Rms(w, 0, 0.5), tail = Rms(w, Seconds(w) - 0.5, Seconds(w));
    EXPECT_LT(std::fabs(std::log(head / tail)), std::log(2.0));
  }
}

TEST(Sounds, OneShotsStartAndEndInSilence) {
  for (int id : {152, 155, 157}) {
    const Wave& w = Sound(id);
    EXPECT_LT(std::fabs(w.samples.front()), 0.02) << id;
    EXPECT_LT(std::fabs(w.samples.back()), 0.02) << id;
  }
}

}  // namespace
}  // namespace brisane::assets::testing
