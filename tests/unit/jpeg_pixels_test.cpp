#include <gtest/gtest.h>

#include <algorithm>
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

TEST(InverseDctTest, DcOnlyBlockIsFlatAndRoundedLikeTheReference) {
  std::vector<std::uint16_t> quant(64, 1);
  for (int dc : {-2000, -1030, -9, -4, -3, 0, 3, 4, 11, 1016, 2000}) {
    std::int16_t coef[64] = {};
    coef[0] = static_cast<std::int16_t>(dc);
    std::uint8_t out[8 * 8];
    InverseDctScalar(coef, quant.data(), out, 8);
    const int expected = std::clamp(128 + ((dc + 4) >> 3), 0, 255);
    for (std::uint8_t v : out) ASSERT_EQ(v, expected) << dc;
  }
}

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

TEST(UpsampleTest, ConstantRowsStayConstantAndRampsStayBetweenNeighbours) {
  for (int width : {1, 2, 3, 9}) {
    std::vector<std::uint8_t> flat(static_cast<std::size_t>(width), 77), ramp(static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) ramp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 20);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(2 * width));
    UpsampleRowH2V1(flat.data(), width, out.data());
    for (std::uint8_t v : out) EXPECT_EQ(v, 77);
    UpsampleRowH2V2(flat.data(), flat.data(), width, out.data());
    for (std::uint8_t v : out) EXPECT_EQ(v, 77);
    UpsampleRowH2V1(ramp.data(), width, out.data());
    for (int i = 1; i < 2 * width; ++i) EXPECT_LE(out[static_cast<std::size_t>(i - 1)], out[static_cast<std::size_t>(i)]);
    EXPECT_EQ(out.front(), ramp.front());
    EXPECT_EQ(out.back(), ramp.back());
  }
  // Each output sample leans 3:1 to its own input sample.
  const std::uint8_t in[3] = {0, 100, 200};
  std::uint8_t out[6];
  UpsampleRowH2V1(in, 3, out);
  EXPECT_EQ(out[1], 25);
  EXPECT_EQ(out[2], 75);
  EXPECT_EQ(out[3], 125);
  // Vertical halves round differently, so the pair does not drift.
  const std::uint8_t near[1] = {0}, far[1] = {2};
  std::uint8_t v[1];
  UpsampleRowH1V2(near, far, 1, true, v);
  EXPECT_EQ(v[0], 0);
  UpsampleRowH1V2(near, far, 1, false, v);
  EXPECT_EQ(v[0], 1);
  std::uint8_t rep[6];
  ReplicateRow(in, 2, 3, rep);
  EXPECT_EQ(std::vector<std::uint8_t>(rep, rep + 6), (std::vector<std::uint8_t>{0, 0, 0, 100, 100, 100}));
}

TEST(ColourTest, KnownColoursConvertAsExpected) {
  auto bgr = [](int y, int cb, int cr) {
    const std::uint8_t ys[1] = {static_cast<std::uint8_t>(y)}, cbs[1] = {static_cast<std::uint8_t>(cb)},
                       crs[1] = {static_cast<std::uint8_t>(cr)};
    const std::uint8_t* rows[3] = {ys, cbs, crs};
    std::uint8_t out[3];
    ConvertRow(JpegColourSpace::kYCbCr, rows, 1, false, out);
    return std::vector<int>{out[0], out[1], out[2]};
  };
  EXPECT_EQ(bgr(128, 128, 128), (std::vector<int>{128, 128, 128}));
  EXPECT_EQ(bgr(0, 128, 128), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(bgr(255, 128, 128), (std::vector<int>{255, 255, 255}));
  // Within rounding of the exact JFIF equations everywhere.
  for (int y = 0; y < 256; y += 15) {
    for (int cb = 0; cb < 256; cb += 15) {
      for (int cr = 0; cr < 256; cr += 15) {
        const double r = y + 1.402 * (cr - 128), g = y - 0.344136 * (cb - 128) - 0.714136 * (cr - 128),
                     b = y + 1.772 * (cb - 128);
        const std::vector<int> got = bgr(y, cb, cr);
        EXPECT_NEAR(got[2], std::clamp(r, 0.0, 255.0), 1.0);
        EXPECT_NEAR(got[1], std::clamp(g, 0.0, 255.0), 1.0);
        EXPECT_NEAR(got[0], std::clamp(b, 0.0, 255.0), 1.0);
      }
    }
  }

  // Grey replicates; inverted CMYK multiplies by K.
  const std::uint8_t grey[2] = {9, 200};
  const std::uint8_t* g[1] = {grey};
  std::uint8_t out[8];
  ConvertRow(JpegColourSpace::kGrey, g, 2, true, out);
  EXPECT_EQ(std::vector<int>(out, out + 8), (std::vector<int>{9, 9, 9, 255, 200, 200, 200, 255}));
  const std::uint8_t c[2] = {255, 100}, m[2] = {0, 200}, y[2] = {255, 255}, k[2] = {255, 128};
  const std::uint8_t* cmyk[4] = {c, m, y, k};
  ConvertRow(JpegColourSpace::kCmyk, cmyk, 2, true, out);
  EXPECT_EQ(std::vector<int>(out, out + 8), (std::vector<int>{255, 0, 255, 255, 50, 100, 128, 255}));
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
