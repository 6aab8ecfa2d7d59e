// The vector paths against the portable ones, and arithmetic that damaged
// data can push to the extremes. Ordinary samples are checked against the
// reference decoder in the host tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/jpeg_idct.h"
#include "image/jpeg_pixels.h"

namespace brisane {
namespace {

TEST(InverseDctTest, FastPathGivesTheSameSamplesAsThePortableOne) {
  std::uint32_t state = 7;
  auto next = [&](int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(range));
  };
  std::vector<std::uint16_t> quant(64);
  for (int round = 0; round < 3000; ++round) {
    for (auto& q : quant) q = static_cast<std::uint16_t>(1 + next(round % 3 == 0 ? 8 : 100));
    std::int16_t coef[64] = {};
    // Sparse blocks like real ones, plus dense ones.
    const int count = round % 5 == 0 ? 64 : next(12);
    for (int i = 0; i < count; ++i) {
      const int at = i == 0 ? 0 : next(64);
      coef[at] = static_cast<std::int16_t>((next(2047) - 1023) / quant[static_cast<std::size_t>(at)]);
    }
    std::uint8_t a[64], b[64];
    InverseDctScalar(coef, quant.data(), a, 8);
    InverseDct(coef, quant.data(), b, 8);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(a[i], b[i]) << "round " << round << " sample " << i;
  }
}

// Damaged data can hold any 16-bit value with any table entry: the output
// saturates and the arithmetic stays defined (the sanitizers watch).
TEST(InverseDctTest, ExtremeCoefficientsSaturateAndStayDefined) {
  std::vector<std::uint16_t> quant(64, 1);
  std::int16_t coef[64] = {};
  std::uint8_t out[64];
  for (const auto& [dc, expected] : {std::pair{32767, 255}, std::pair{-32768, 0}}) {
    coef[0] = static_cast<std::int16_t>(dc);
    InverseDct(coef, quant.data(), out, 8);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 64), std::vector<std::uint8_t>(64, static_cast<std::uint8_t>(expected)));
  }
  quant.assign(64, 65535);
  for (int i = 0; i < 64; ++i) coef[i] = static_cast<std::int16_t>((i & 1) ? 32767 : -32768);
  InverseDctScalar(coef, quant.data(), out, 8);
  InverseDct(coef, quant.data(), out, 8);
}

// Rows long enough for the vector path against single pixels (the plain
// path), over every chroma pair.
TEST(ColourTest, WideRowsMatchPixelByPixelConversion) {
  std::vector<std::uint8_t> ys(256), cbs(256), crs(256), row(256 * 3), one(3);
  for (int cr = 0; cr < 256; ++cr) {
    for (std::size_t i = 0; i < 256; ++i) {
      ys[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(cr) * 13) & 255);
      cbs[i] = static_cast<std::uint8_t>(i);
      crs[i] = static_cast<std::uint8_t>(cr);
    }
    const std::uint8_t* rows[3] = {ys.data(), cbs.data(), crs.data()};
    ConvertRow(JpegColourSpace::kYCbCr, rows, 256, false, row.data());
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint8_t* px[3] = {&ys[i], &cbs[i], &crs[i]};
      ConvertRow(JpegColourSpace::kYCbCr, px, 1, false, one.data());
      ASSERT_TRUE(std::equal(one.begin(), one.end(), row.begin() + static_cast<std::ptrdiff_t>(i * 3))) << i << " " << cr;
    }
  }
}

}  // namespace
}  // namespace brisane
