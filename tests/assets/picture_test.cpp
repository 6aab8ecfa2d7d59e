// The pictures, checked where it matters: each flag's proportions and its
// construction at known points, glow and smoke pictures fading to black.
#include <cmath>
#include <functional>
#include <map>
#include <numeric>

#include <gtest/gtest.h>

#include "asset_support.h"
#include "flags.h"

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

// Expects the colour at a point given in the flag's construction units.
void ExpectAt(const Decoded& d, double unitsW, double unitsH, double x, double y, int r, int g, int b,
              const char* what) {
  const std::uint8_t* p = d.frac(x / unitsW, y / unitsH);
  EXPECT_LE(Distance(p, r, g, b), 40) << what << " at (" << x << ", " << y << "): " << int(p[0]) << " " << int(p[1])
                                      << " " << int(p[2]);
}

// Connected blobs of pixels passing `in`, within a rectangle of the picture.
int CountBlobs(const Decoded& d, int x0, int y0, int x1, int y1, const std::function<bool(const std::uint8_t*)>& in) {
  std::vector<char> seen(static_cast<std::size_t>(d.width) * d.height, 0);
  int blobs = 0;
  std::vector<std::pair<int, int>> stack;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      if (seen[static_cast<std::size_t>(y) * d.width + x] || !in(d.at(x, y))) continue;
      ++blobs;
      stack.push_back({x, y});
      seen[static_cast<std::size_t>(y) * d.width + x] = 1;
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        // Eight neighbours: a star's thin tips touch only at corners.
        const int nx[] = {cx + 1, cx - 1, cx, cx, cx + 1, cx + 1, cx - 1, cx - 1};
        const int ny[] = {cy, cy, cy + 1, cy - 1, cy + 1, cy - 1, cy + 1, cy - 1};
        for (int k = 0; k < 8; ++k) {
          if (nx[k] < x0 || ny[k] < y0 || nx[k] >= x1 || ny[k] >= y1) continue;
          auto& s = seen[static_cast<std::size_t>(ny[k]) * d.width + nx[k]];
          if (!s && in(d.at(nx[k], ny[k]))) {
            s = 1;
            stack.push_back({nx[k], ny[k]});
          }
        }
      }
    }
  return blobs;
}

TEST(Flags, OfficialProportions) {
  const std::map<std::string, double> ratio = {
      {"Argentina", 9.0 / 14}, {"Australia", 0.5},     {"Brazil", 0.7},       {"Canada", 0.5},
      {"Denmark", 28.0 / 37},  {"EU", 2.0 / 3},        {"Finland", 11.0 / 18}, {"France", 2.0 / 3},
      {"Germany", 0.6},        {"Greece", 2.0 / 3},    {"Iceland", 0.72},     {"Ireland", 0.5},
      {"Israel", 8.0 / 11},    {"Italy", 2.0 / 3},     {"Japan", 2.0 / 3},    {"Mexico", 4.0 / 7},
      {"Netherlands", 2.0 / 3}, {"New Zealand", 0.5},  {"Norway", 8.0 / 11},  {"Russia", 2.0 / 3},
      {"Spain", 2.0 / 3},      {"Sweden", 0.625},      {"Switzerland", 1.0},  {"United Kingdom", 0.5},
      {"United States", 10.0 / 19}};
  ASSERT_EQ(ratio.size(), static_cast<std::size_t>(kFlagCount));
  for (int i = 0; i < kFlagCount; ++i) {
    const Asset& a = ById(kFirstFlagId + i);
    ASSERT_TRUE(ratio.count(std::string(FlagName(i)))) << FlagName(i);
    EXPECT_EQ(a.picture.width, kFlagWidth);
    EXPECT_NEAR(a.picture.height, kFlagWidth * ratio.at(std::string(FlagName(i))), 0.51) << FlagName(i);
  }
  EXPECT_THROW(FlagName(kFlagCount), std::out_of_range);
  EXPECT_THROW(DrawFlag(-1, 64), std::out_of_range);
}

TEST(Flags, BandsAndCrossesWhereTheSheetsPutThem) {
  ExpectAt(Flag("France"), 3, 2, 0.5, 1, 0, 38, 84, "blue third");
  ExpectAt(Flag("France"), 3, 2, 2.5, 1, 237, 41, 57, "red third");
  ExpectAt(Flag("Germany"), 5, 3, 2.5, 0.5, 0, 0, 0, "black");
  ExpectAt(Flag("Germany"), 5, 3, 2.5, 2.5, 255, 206, 0, "gold");
  ExpectAt(Flag("Spain"), 3, 2, 2.7, 0.25, 170, 21, 27, "upper red quarter");
  ExpectAt(Flag("Spain"), 3, 2, 2.7, 0.55, 241, 191, 0, "yellow half");
  // Nordic crosses: the upright is off-centre toward the hoist.
  ExpectAt(Flag("Denmark"), 37, 28, 14, 3, 255, 255, 255, "upright");
  ExpectAt(Flag("Denmark"), 37, 28, 11, 3, 200, 16, 46, "field before it");
  ExpectAt(Flag("Sweden"), 16, 10, 6, 1, 254, 204, 2, "upright");
  ExpectAt(Flag("Sweden"), 16, 10, 4.5, 1, 0, 106, 167, "field");
  ExpectAt(Flag("Norway"), 22, 16, 8, 8, 0, 32, 91, "blue centre");
  ExpectAt(Flag("Norway"), 22, 16, 6.5, 3, 255, 255, 255, "white border");
  ExpectAt(Flag("Iceland"), 25, 18, 9, 2, 220, 30, 53, "red upright");
  ExpectAt(Flag("Iceland"), 25, 18, 7.5, 2, 255, 255, 255, "white border");
  ExpectAt(Flag("Iceland"), 25, 18, 18, 9, 220, 30, 53, "red bar");
  ExpectAt(Flag("Finland"), 18, 11, 6.5, 1, 0, 47, 108, "blue upright");
  // Arms 1/6 longer than wide: the bar ends 6 units from the edge.
  ExpectAt(Flag("Switzerland"), 32, 32, 6.6, 16, 255, 255, 255, "arm end");
  ExpectAt(Flag("Switzerland"), 32, 32, 5.4, 16, 218, 41, 28, "field past the arm");
  ExpectAt(Flag("Switzerland"), 32, 32, 11, 11, 218, 41, 28, "between the arms");
  ExpectAt(Flag("Greece"), 27, 18, 5, 2, 255, 255, 255, "canton cross");
  ExpectAt(Flag("Greece"), 27, 18, 20, 1, 13, 94, 175, "first stripe");
  ExpectAt(Flag("Greece"), 27, 18, 20, 17, 13, 94, 175, "last stripe");
  ExpectAt(Flag("Israel"), 220, 160, 110, 27.5, 0, 56, 184, "upper stripe");
  ExpectAt(Flag("Israel"), 220, 160, 110, 80, 255, 255, 255, "inside the star");
  ExpectAt(Flag("Israel"), 220, 160, 110, 80 - 33 + 4, 0, 56, 184, "star's top point");
}

TEST(Flags, DiscsCentredWithTheirDiameter) {
  const Decoded& j = Flag("Japan");
  ExpectAt(j, 3, 2, 1.5, 1, 188, 0, 45, "centre");
  ExpectAt(j, 3, 2, 1.5 + 0.55, 1, 188, 0, 45, "inside the rim");
  ExpectAt(j, 3, 2, 1.5 + 0.65, 1, 255, 255, 255, "outside the rim");
  ExpectAt(j, 3, 2, 1.5, 1 - 0.65, 255, 255, 255, "above the disc");
}

TEST(Flags, UnionFlagSaltiresAreCounterchanged) {
  for (const char* name : {"United Kingdom", "Australia", "New Zealand"}) {
    SCOPED_TRACE(name);
    const Decoded& d = Flag(name);
    // The union flag's own 60 x 30 units: whole flag, or the upper hoist quarter.
    const bool canton = std::string(name) != "United Kingdom";
    const double W = canton ? 120 : 60, H = 60 / (canton ? 1.0 : 2.0);
    auto at = [&](double x, double y, int r, int g, int b, const char* what) { ExpectAt(d, W, H, x, y, r, g, b, what); };
    // Hoist half: red below the diagonal, broad white above.
    at(9 - 0.447, 4.5 + 0.894, 200, 16, 46, "upper hoist arm, red below");
    at(9 + 0.894, 4.5 - 1.789, 255, 255, 255, "upper hoist arm, white above");
    // Fly half: red above the diagonal.
    at(51 - 0.447, 4.5 - 0.894, 200, 16, 46, "upper fly arm, red above");
    at(51 + 0.894, 4.5 + 1.789, 255, 255, 255, "upper fly arm, white below");
    at(9 - 0.447, 25.5 + 0.894, 200, 16, 46, "lower hoist arm, red below");
    at(51 - 0.447, 25.5 - 0.894, 200, 16, 46, "lower fly arm, red above");
    at(30, 15, 200, 16, 46, "St George centre");
    at(5, 10.5, 255, 255, 255, "St George border");
    at(30, 3, 200, 16, 46, "St George upright");
    at(15, 1.5, 1, 33, 105, "blue triangle");
  }
}

TEST(Flags, StarsAreCountedAndPlaced) {
  const Decoded& us = Flag("United States");
  // 13 stripes, red first, along the fly.
  int runs = 0;
  bool red = false;
  for (int y = 0; y < us.height; ++y) {
    bool r = us.at(us.width - 5, y)[1] < 128;
    if (y == 0) {
      EXPECT_TRUE(r);
    }
    if (y == 0 || r != red) ++runs;
    red = r;
  }
  EXPECT_EQ(runs, 13);
  const int cw = static_cast<int>(0.76 / 1.9 * us.width), ch = static_cast<int>(7.0 / 13 * us.height);
  EXPECT_EQ(CountBlobs(us, 0, 0, cw - 1, ch - 1, [](const std::uint8_t* p) { return p[0] > 180 && p[2] > 180; }), 50);

  const Decoded& eu = Flag("EU");
  EXPECT_EQ(CountBlobs(eu, 0, 0, eu.width, eu.height, [](const std::uint8_t* p) { return p[0] > 180 && p[2] < 100; }), 12);
  ExpectAt(eu, 27, 18, 13.5, 3, 255, 204, 0, "top star of the circle");

  const Decoded& au = Flag("Australia");
  const int half = au.width / 2;
  auto white = [](const std::uint8_t* p) { return p[0] > 180 && p[1] > 180 && p[2] > 180; };
  EXPECT_EQ(CountBlobs(au, half, 0, au.width, au.height, white), 5) << "Southern Cross";
  EXPECT_EQ(CountBlobs(au, 0, au.height / 2 + 2, half, au.height, white), 1) << "Commonwealth Star";
  ExpectAt(au, 2, 1, 0.5, 0.75, 255, 255, 255, "Commonwealth Star centre");
  ExpectAt(au, 2, 1, 1.5, 5.0 / 6, 255, 255, 255, "Alpha Crucis");
  ExpectAt(au, 2, 1, 1.5 + 2.0 / 9, 0.5 - 31.0 / 240, 255, 255, 255, "Delta Crucis");

  const Decoded& nz = Flag("New Zealand");
  EXPECT_EQ(CountBlobs(nz, nz.width / 2, 0, nz.width, nz.height, [](const std::uint8_t* p) { return p[0] > 150 && p[2] < 100; }), 4)
      << "four red stars";
  ExpectAt(nz, 120, 60, 90, 12, 200, 16, 46, "top star");
  ExpectAt(nz, 120, 60, 90, 48, 200, 16, 46, "bottom star");
}

TEST(Flags, EmblemsSitWhereTheyBelong) {
  const Decoded& ca = Flag("Canada");
  ExpectAt(ca, 32, 16, 4, 8, 213, 43, 30, "hoist pale");
  ExpectAt(ca, 32, 16, 16, 8, 213, 43, 30, "leaf centre");
  ExpectAt(ca, 32, 16, 9, 1, 255, 255, 255, "white square corner");
  // The leaf is mirror symmetric about the flag's centre line.
  double diff = 0;
  int n = 0;
  for (int y = 0; y < ca.height; ++y)
    for (int dx = 1; dx < ca.width / 4; ++dx) {
      diff += std::abs(int(ca.at(ca.width / 2 - dx, y)[1]) - int(ca.at(ca.width - 1 - ca.width / 2 + dx, y)[1]));
      ++n;
    }
  EXPECT_LT(diff / n, 4.0);

  const Decoded& br = Flag("Brazil");
  ExpectAt(br, 20, 14, 1, 1, 0, 156, 59, "green field");
  ExpectAt(br, 20, 14, 4, 7, 255, 223, 0, "rhombus");
  ExpectAt(br, 20, 14, 10, 7, 0, 39, 118, "globe");
  // The band's upper edge region on the vertical diameter (radius 8.45 about (8, 14)).
  // The band (radii 8 and 8.5 about (8, 14)), left of the motto's first letter.
  ExpectAt(br, 20, 14, 7, 14 - std::sqrt(8.25 * 8.25 - 1), 255, 255, 255, "white band");
  ExpectAt(br, 20, 14, 7, 14 - std::sqrt(8.65 * 8.65 - 1), 0, 39, 118, "above the band");
  ExpectAt(br, 20, 14, 7, 14 - std::sqrt(7.8 * 7.8 - 1), 0, 39, 118, "below the band");

  ExpectAt(Flag("Argentina"), 14, 9, 6.65, 4.75, 246, 180, 14, "sun's face");
  ExpectAt(Flag("Argentina"), 14, 9, 1, 1.5, 116, 172, 223, "upper band");
  const Decoded& mx = Flag("Mexico");
  ExpectAt(mx, 7, 4, 1, 2, 0, 104, 71, "green");
  ExpectAt(mx, 7, 4, 6, 2, 206, 17, 38, "red");
  ExpectAt(mx, 7, 4, 3.5, 0.2, 255, 255, 255, "white above the emblem");
  const std::uint8_t* eagle = mx.frac(3.5 / 7, 1.7 / 4);
  EXPECT_GT(Distance(eagle, 255, 255, 255), 80) << "the emblem fills the centre";
}

double Luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

TEST(LightPictures, FadeToBlackAtEveryEdgeAndShineInTheMiddle) {
  for (int id = 168; id <= 180; ++id) {
    SCOPED_TRACE(id);
    const Decoded d = DecodeJpeg(ById(id).bytes);
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
  for (int id : {168, 172, 176, 177, 180}) {
    const Decoded d = DecodeJpeg(ById(id).bytes);
    EXPECT_GT(Luma(d.frac(0.5, 0.5)), 200) << id << " has a bright core";
  }
}

TEST(LightPictures, EachHasItsOwnCharacter) {
  auto mean = [](int id) {
    const Decoded d = DecodeJpeg(ById(id).bytes);
    std::array<double, 3> m{};
    for (std::size_t i = 0; i < d.rgb.size(); ++i) m[i % 3] += d.rgb[i];
    for (double& v : m) v /= d.rgb.size() / 3.0;
    return m;
  };
  // Warm lanterns, not identical; a hot smoke brighter and warmer than the grey.
  auto l1 = mean(176), l2 = mean(177), hot = mean(178), grey = mean(179);
  EXPECT_GT(l1[0], l1[2] * 1.5);
  EXPECT_GT(l2[0], l2[2] * 1.5);
  EXPECT_NE(ById(176).bytes, ById(177).bytes);
  EXPECT_GT(hot[0], hot[2] * 1.6);
  EXPECT_NEAR(grey[0], grey[2], grey[2] * 0.1);
  // Flares are tinted differently from each other.
  std::set<std::array<int, 3>> tints;
  for (int id = 169; id <= 175; ++id) {
    auto m = mean(id);
    double s = m[0] + m[1] + m[2];
    tints.insert({static_cast<int>(m[0] / s * 10), static_cast<int>(m[1] / s * 10), static_cast<int>(m[2] / s * 10)});
  }
  EXPECT_GE(tints.size(), 5u);
}

TEST(Preview, EveningSeascapeAtPreviewSize) {
  const Decoded d = DecodeJpeg(ById(150).bytes);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 152);
  EXPECT_EQ(d.height, 112);
  const std::uint8_t* top = d.frac(0.9, 0.02);
  const std::uint8_t* horizon = d.frac(0.9, 0.55);
  EXPECT_GT(top[2], top[0]) << "blue sky overhead";
  EXPECT_GT(horizon[0], horizon[2]) << "warm at the horizon";
  EXPECT_GT(Luma(horizon), Luma(top));
  // The sails stand out light against the sky.
  int light = 0;
  for (int y = 0; y < d.height / 2; ++y)
    for (int x = d.width / 3; x < d.width; ++x) light += Luma(d.at(x, y)) > 190 && d.at(x, y)[2] > 140;
  EXPECT_GT(light, 150);
}

}  // namespace
}  // namespace brisane::assets::testing
