// The vector transform against the portable one, and arithmetic that damaged
// data can push to the extremes. Ordinary samples and colour conversion are
// checked against the reference decoder in the host tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/jpeg_idct.h"

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

}  // namespace
}  // namespace brisane
