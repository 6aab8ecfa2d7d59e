// The vector paths against the portable ones, and arithmetic that damaged
// data can push to the extremes. Ordinary samples are checked against the
// reference decoder in the host tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/jpeg_idct.h"
#include "image/jpeg_pixels.h"

namespace brisane {
namespace {

struct Lcg {
  std::uint32_t state;
  int Next(int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(range));
  }
};

TEST(InverseDctTest, FastPathGivesTheSameSamplesAsThePortableOne) {
  Lcg rng{7};
  std::vector<std::uint16_t> quant(64);
  for (int round = 0; round < 3000; ++round) {
    for (auto& q : quant) q = static_cast<std::uint16_t>(1 + rng.Next(round % 3 == 0 ? 8 : 100));
    std::int16_t coef[64] = {};
    // Sparse blocks like real ones, plus dense ones; values a picture can hold.
    const int count = round % 5 == 0 ? 64 : rng.Next(12);
    for (int i = 0; i < count; ++i) {
      const int at = i == 0 ? 0 : rng.Next(64);
      coef[at] = static_cast<std::int16_t>((rng.Next(2047) - 1023) / quant[static_cast<std::size_t>(at)]);
    }
    std::uint8_t a[64], b[64];
    InverseDctScalar(coef, quant.data(), a, 8);
    InverseDct(coef, quant.data(), b, 8);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(a[i], b[i]) << "round " << round << " sample " << i;
  }
}

TEST(InverseDctTest, ExtremeCoefficientsSaturateAndStayDefined) {
  std::vector<std::uint16_t> quant(64, 1);
  std::int16_t coef[64] = {};
  std::uint8_t out[64];
  coef[0] = 32767;
  InverseDct(coef, quant.data(), out, 8);
  for (std::uint8_t v : out) EXPECT_EQ(v, 255);
  coef[0] = -32768;
  InverseDct(coef, quant.data(), out, 8);
  for (std::uint8_t v : out) EXPECT_EQ(v, 0);
  // Damaged data can hold any 16-bit value with any table entry: the
  // arithmetic must stay defined (the sanitizers watch).
  quant.assign(64, 65535);
  for (int pattern = 0; pattern < 4; ++pattern) {
    for (int i = 0; i < 64; ++i) coef[i] = static_cast<std::int16_t>(((i + pattern) & 1) ? 32767 : -32768);
    InverseDctScalar(coef, quant.data(), out, 8);
    InverseDct(coef, quant.data(), out, 8);
    quant.assign(64, static_cast<std::uint16_t>(255 * pattern + 1));
  }
}

TEST(ColourTest, WideRowsMatchPixelByPixelConversion) {
  // Rows long enough for the vector path, against single pixels (the plain
  // path), over every chroma pair.
  std::vector<std::uint8_t> ys(256), cbs(256), crs(256);
  std::vector<std::uint8_t> row(256 * 3), one(3);
  for (int cr = 0; cr < 256; ++cr) {
    for (int i = 0; i < 256; ++i) {
      ys[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((i * 7 + cr * 13) & 255);
      cbs[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
      crs[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(cr);
    }
    const std::uint8_t* rows[3] = {ys.data(), cbs.data(), crs.data()};
    ConvertRow(JpegColourSpace::kYCbCr, rows, 256, false, row.data());
    for (int i = 0; i < 256; ++i) {
      const std::uint8_t* px[3] = {&ys[static_cast<std::size_t>(i)], &cbs[static_cast<std::size_t>(i)],
                                   &crs[static_cast<std::size_t>(i)]};
      ConvertRow(JpegColourSpace::kYCbCr, px, 1, false, one.data());
      for (int ch = 0; ch < 3; ++ch) {
        ASSERT_EQ(row[static_cast<std::size_t>(i * 3 + ch)], one[static_cast<std::size_t>(ch)])
            << "cb " << i << " cr " << cr << " channel " << ch;
      }
    }
  }
}

}  // namespace
}  // namespace brisane
