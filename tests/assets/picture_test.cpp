// The pictures, checked where it matters: every flag drawn, glow and smoke
// pictures fading to black, the preview's evening sky.
#include <algorithm>
#include <map>
#include <stdexcept>

#include <gtest/gtest.h>

#include "asset_support.h"
#include "flags.h"
#include "resources/resource_numbers.h"

namespace brisane::assets::testing {
namespace {

const Decoded& Flag(std::string_view name) {
  static std::map<std::string, Decoded> cache;
  auto it = cache.find(std::string(name));
  if (it != cache.end()) return it->second;
  for (int i = 0; i < kFlagCount; ++i) {
    if (FlagName(i) == name) return cache[std::string(name)] = DecodeJpeg(ById(kFirstFlagId + i).bytes);
  }
  throw std::runtime_error("no flag " + std::string(name));
}

TEST(Flags, EveryFlagIsDrawnNotFlat) {
  for (int i = 0; i < kFlagCount; ++i) {
    SCOPED_TRACE(FlagName(i));
    const Decoded& d = Flag(FlagName(i));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.width, kFlagWidth);
    int spread = 0;
    for (int y = 0; y < d.height; y += 3)
      for (int x = 0; x < d.width; x += 3) spread = std::max(spread, Distance(d.at(x, y), d.at(0, 0)[0], d.at(0, 0)[1], d.at(0, 0)[2]));
    EXPECT_GT(spread, 100) << "a second colour somewhere";
  }
  EXPECT_THROW(FlagName(kFlagCount), std::out_of_range);
}

double Luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

TEST(LightPictures, FadeToBlackAtEveryEdgeAndShineInTheMiddle) {
  for (const resource::Entry& entry : resource::kAll) {
    if (entry.kind != resource::Kind::Jpeg || entry.number == resource::kPreviewPicture) continue;
    SCOPED_TRACE(entry.number);
    const Decoded d = DecodeJpeg(ById(entry.number).bytes);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, d.height);
    EXPECT_EQ(d.width & (d.width - 1), 0) << "power of two";
    double edge = 0, total = 0;
    for (int k = 0; k < d.width; ++k) {
      edge = std::max({edge, Luma(d.at(k, 0)), Luma(d.at(k, d.height - 1)), Luma(d.at(0, k)), Luma(d.at(d.width - 1, k))});
    }
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) total += Luma(d.at(x, y));
    EXPECT_LE(edge, 8.0) << "black is transparent";
    EXPECT_GT(total / (d.width * d.height), 6.0) << "not empty";
  }
  for (int id : {resource::kSunGlowPicture, resource::kFlarePicture4, resource::kLanternGlowPicture1,
                 resource::kLanternGlowPicture2, resource::kFlashPicture}) {
    const Decoded d = DecodeJpeg(ById(id).bytes);
    EXPECT_GT(Luma(d.frac(0.5, 0.5)), 200) << id << " has a bright core";
  }
}

TEST(Preview, EveningSeascapeAtPreviewSize) {
  const Decoded d = DecodeJpeg(ById(resource::kPreviewPicture).bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 152);
  EXPECT_EQ(d.height, 112);
  const std::uint8_t* top = d.frac(0.9, 0.02);
  const std::uint8_t* horizon = d.frac(0.9, 0.55);
  EXPECT_GT(top[2], top[0]) << "blue sky overhead";
  EXPECT_GT(horizon[0], horizon[2]) << "warm at the horizon";
  EXPECT_GT(Luma(horizon), Luma(top));
}

}  // namespace
}  // namespace brisane::assets::testing
