// Pictures written by the reference encoder, decoded by ours and by the
// reference decoder: the same bytes at every scale, nothing written outside.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <tuple>
#include <vector>

#include "image/jpeg_decoder.h"
#include "image/jpeg_pixels.h"
#include "render/texture_fill.h"

namespace brisane {
namespace {

enum Coding { kYCbCr, kRgb, kGrey, kCmyk, kYcck };

struct PictureSpec {
  int width, height;
  Coding coding;
  int quality;
  std::vector<int> hv;  // horizontal and vertical sampling factors per component
  bool progressive = false;
  int restart_interval = 0;     // in MCUs
  bool optimize = false;        // optimised Huffman tables: codes longer than the lookahead
  bool separate_scans = false;  // sequential, one scan per component
  int Components() const { return coding == kGrey ? 1 : (coding >= kCmyk ? 4 : 3); }
};

// Ramps, hard edges, thin lines and noise in every channel.
std::vector<std::uint8_t> SourcePixels(const PictureSpec& spec) {
  const int comps = spec.Components();
  std::vector<std::uint8_t> px;
  unsigned state = static_cast<unsigned>(spec.width * 31 + spec.height * 7 + spec.quality) * 2654435761u + 12345u;
  for (int y = 0; y < spec.height; ++y)
    for (int x = 0; x < spec.width; ++x)
      for (int c = 0; c < comps; ++c) {
        state = state * 1103515245u + 12345u;
        int v = (x * (37 + 11 * c) + y * (23 + 7 * c)) % 256;
        if (((x / 5) + (y / 7) + c) % 4 == 0) v = 255 - v;
        if (x % 13 == c) v = (c & 1) ? 0 : 255;
        v += static_cast<int>((state >> 16) & 31) - 16;
        px.push_back(static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)));
      }
  return px;
}

// The reference library reports an error by ending the process, which fails
// the run: every picture here is one it wrote itself.
std::vector<std::uint8_t> Encode(const PictureSpec& spec) {
  const std::vector<std::uint8_t> pixels = SourcePixels(spec);
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(spec.width);
  c.image_height = static_cast<JDIMENSION>(spec.height);
  c.input_components = spec.Components();
  c.in_color_space = spec.coding == kGrey ? JCS_GRAYSCALE : (spec.coding >= kCmyk ? JCS_CMYK : JCS_RGB);
  jpeg_set_defaults(&c);
  if (spec.coding == kRgb) jpeg_set_colorspace(&c, JCS_RGB);
  if (spec.coding == kYcck) jpeg_set_colorspace(&c, JCS_YCCK);
  jpeg_set_quality(&c, spec.quality, TRUE);
  for (int i = 0; i < c.num_components; ++i) {
    c.comp_info[i].h_samp_factor = spec.hv[static_cast<std::size_t>(2 * i)];
    c.comp_info[i].v_samp_factor = spec.hv[static_cast<std::size_t>(2 * i + 1)];
  }
  c.restart_interval = static_cast<unsigned>(spec.restart_interval);
  c.optimize_coding = spec.optimize ? TRUE : FALSE;
  if (spec.progressive) jpeg_simple_progression(&c);
  jpeg_scan_info scans[4];
  if (spec.separate_scans) {
    for (int i = 0; i < c.num_components; ++i) scans[i] = {1, {c.num_components - 1 - i}, 0, 63, 0, 0};  // any order
    c.scan_info = scans;
    c.num_scans = c.num_components;
  }
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = const_cast<JSAMPROW>(pixels.data() + std::size_t{c.next_scanline} * static_cast<std::size_t>(spec.width * c.input_components));
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

constexpr std::uint8_t kSentinel = 0xA5;

// The reference's picture in our layout: bottom row first, rows padded to four
// bytes with sentinels, grey widened to three channels, CMYK as premultiplied RGBA.
std::vector<std::uint8_t> DecodeReference(const std::vector<std::uint8_t>& jpeg, int scale, int* w, int* h, int* ch) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(scale);
  d.out_color_space = d.num_components == 1 ? JCS_GRAYSCALE : (d.num_components == 3 ? JCS_EXT_BGR : JCS_CMYK);
  jpeg_start_decompress(&d);
  *w = static_cast<int>(d.output_width);
  *h = static_cast<int>(d.output_height);
  const int comps = d.output_components;
  *ch = comps == 4 ? 4 : 3;
  const std::size_t stride = static_cast<std::size_t>((*w * *ch + 3) & ~3);
  std::vector<std::uint8_t> result(stride * static_cast<std::size_t>(*h), kSentinel), src(static_cast<std::size_t>(*w * comps));
  while (d.output_scanline < d.output_height) {
    std::uint8_t* dst = result.data() + static_cast<std::size_t>(*h - 1 - static_cast<int>(d.output_scanline)) * stride;
    JSAMPROW r = src.data();
    jpeg_read_scanlines(&d, &r, 1);
    for (int x = 0; x < *w; ++x) {
      if (comps == 4) {
        for (int c = 0; c < 3; ++c) dst[4 * x + c] = static_cast<std::uint8_t>((src[4 * x + c] * src[4 * x + 3] + 127) / 255);
        dst[4 * x + 3] = 255;
      } else {
        for (int c = 0; c < 3; ++c) dst[3 * x + c] = src[static_cast<std::size_t>(comps == 1 ? x : 3 * x + c)];
      }
    }
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return result;
}

// Every sampling at every size, and each coding, progression, restart
// interval and scan layout at every size; one size for optimised tables.
std::vector<PictureSpec> ConformanceSpecs() {
  const std::vector<int> flat3 = {1, 1, 1, 1, 1, 1}, flat4 = {1, 1, 1, 1, 1, 1, 1, 1}, s420 = {2, 2, 1, 1, 1, 1},
                         s422 = {2, 1, 1, 1, 1, 1}, grey = {1, 1};
  const std::vector<PictureSpec> variants = {
      {0, 0, kYCbCr, 0, flat3}, {0, 0, kYCbCr, 0, s422}, {0, 0, kYCbCr, 0, s420}, {0, 0, kYCbCr, 0, {1, 2, 1, 1, 1, 1}},
      {0, 0, kYCbCr, 0, {4, 1, 1, 1, 1, 1}}, {0, 0, kYCbCr, 0, {4, 2, 1, 1, 1, 1}},
      {0, 0, kYCbCr, 0, {2, 2, 1, 2, 2, 1}},  // mixed chroma
      {0, 0, kYCbCr, 0, {3, 1, 1, 1, 1, 1}}, {0, 0, kYCbCr, 0, {1, 4, 1, 1, 1, 1}},
      {0, 0, kGrey, 0, grey}, {0, 0, kRgb, 0, flat3}, {0, 0, kCmyk, 0, flat4}, {0, 0, kYcck, 0, {2, 2, 1, 1, 1, 1, 2, 2}},
      {0, 0, kYCbCr, 0, s420, true}, {0, 0, kYCbCr, 0, flat3, true}, {0, 0, kGrey, 0, grey, true},
      {0, 0, kYCbCr, 0, s422, true, 2}, {0, 0, kCmyk, 0, flat4, true},
      {0, 0, kYCbCr, 0, s420, false, 1}, {0, 0, kGrey, 0, grey, false, 1}, {0, 0, kYCbCr, 0, s420, false, 7},
      {0, 0, kGrey, 0, grey, false, 3}, {0, 0, kYCbCr, 0, s420, false, 2, false, true}};
  std::vector<PictureSpec> specs;
  int q = 0;
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{17, 9}, std::pair{1023, 7}, std::pair{64, 48}, std::pair{35, 21},
                             std::pair{2, 3}})
    for (PictureSpec spec : variants) {
      spec.width = w;
      spec.height = h;
      spec.quality = 10 + 18 * (q++ % 6);
      specs.push_back(spec);
    }
  specs.push_back({64, 48, kYCbCr, 100, s420, false, 0, true});
  specs.push_back({64, 48, kYCbCr, 100, s420, true, 0, true});
  return specs;
}

// At full size and at 1/2, 1/4 and 1/8 against the reference's scaled
// decoding (scale_denom), which takes the same reduced transforms. Ours
// decodes into a buffer of sentinels with guard bytes round it: padding and
// guards must come back untouched.
class ConformanceTest : public ::testing::TestWithParam<std::tuple<PictureSpec, int>> {};

TEST_P(ConformanceTest, MatchesTheReferenceDecoder) {
  const auto& [spec, scale] = GetParam();
  const std::vector<std::uint8_t> jpeg = Encode(spec);
  int w = 0, h = 0, ch = 0;
  const std::vector<std::uint8_t> reference = DecodeReference(jpeg, scale, &w, &h, &ch);
  JpegDecoder decoder;
  ASSERT_EQ(decoder.ReadParameters(jpeg.data(), jpeg.size()), JpegResult::Ok);
  JpegOutput layout = decoder.Layout(scale);
  ASSERT_EQ(layout.height, -h);
  ASSERT_EQ(layout.Bytes(), reference.size());
  constexpr std::ptrdiff_t kGuard = 64;
  std::vector<std::uint8_t> buffer(reference.size() + 2 * kGuard, kSentinel);
  layout.pixels = buffer.data() + kGuard;
  layout.size = reference.size();
  EXPECT_EQ(decoder.Decode(layout), JpegResult::Ok);
  EXPECT_TRUE(std::equal(buffer.begin() + kGuard, buffer.end() - kGuard, reference.begin()));
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + kGuard, [](auto b) { return b == kSentinel; }));
  EXPECT_TRUE(std::all_of(buffer.end() - kGuard, buffer.end(), [](auto b) { return b == kSentinel; }));
  // As a texture takes it: three bytes a pixel, blue first, whatever the
  // picture holds (the four-channel reference is red first).
  if (scale != 1) return;
  DecodedPicture picture;
  ASSERT_TRUE(DecodePicture(jpeg.data(), jpeg.size(), picture));
  ASSERT_EQ(picture.width, w);
  ASSERT_EQ(picture.height, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y) * picture.stride + static_cast<std::size_t>(x * 3 + c)],
                  reference[static_cast<std::size_t>(y) * layout.Stride() + static_cast<std::size_t>(x * ch + (ch == 4 ? 2 - c : c))]);
}

INSTANTIATE_TEST_SUITE_P(Pictures, ConformanceTest,
                         ::testing::Combine(::testing::ValuesIn(ConformanceSpecs()), ::testing::Values(1, 2, 4, 8)));

// The SSE2 forms against the portable ones, byte for byte: every picture
// above (all samplings, progression, restarts, sizes that are not whole
// MCUs) at full size and 1/2; colour conversion for every chroma pair and
// row widths round the vector steps, with guard bytes after the row.
TEST(VectorArithmeticTest, GivesThePortableBytes) {
  for (const PictureSpec& spec : ConformanceSpecs()) {
    const std::vector<std::uint8_t> jpeg = Encode(spec);
    for (int scale : {1, 2}) {
      std::vector<std::uint8_t> out[2];
      for (int i = 0; i < 2; ++i) {
        JpegDecoder decoder;
        ASSERT_EQ(decoder.ReadParameters(jpeg.data(), jpeg.size()), JpegResult::Ok);
        JpegOutput layout = decoder.Layout(scale);
        out[i].assign(layout.Bytes(), 0);
        layout.pixels = out[i].data();
        layout.size = out[i].size();
        ASSERT_EQ(decoder.Decode(layout, i ? JpegArithmetic::Portable : JpegArithmetic::Fastest), JpegResult::Ok);
      }
      ASSERT_TRUE(out[0] == out[1]) << spec.width << "x" << spec.height << " q" << spec.quality << " 1/" << scale;
    }
  }
  constexpr int kPairs = 65536 + 13;
  std::vector<std::uint8_t> y(kPairs), cb(kPairs), cr(kPairs);
  for (int i = 0; i < kPairs; ++i) {
    cb[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    cr[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i >> 8);
    y[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 37 + (i >> 8));
  }
  const std::uint8_t* rows[3] = {y.data(), cb.data(), cr.data()};
  for (int width : {kPairs, 1, 2, 15, 16, 17, 31, 32, 33, 48, 49}) {
    std::vector<std::uint8_t> out[2];
    for (int i = 0; i < 2; ++i) {
      out[i].assign(static_cast<std::size_t>(width) * 3 + 16, kSentinel);
      ConvertRow(JpegColourSpace::YCbCr, rows, width, false, out[i].data(), i == 0);
    }
    ASSERT_TRUE(out[0] == out[1]) << "colour, width " << width;
    if (width > 256) continue;
    for (int i = 0; i < 2; ++i) {
      out[i].assign(static_cast<std::size_t>(width) * 2 + 16, kSentinel);
      UpsampleRowH2V2(y.data(), cr.data(), width, out[i].data(), i == 0);
    }
    ASSERT_TRUE(out[0] == out[1]) << "doubling, width " << width;
  }
}

}  // namespace
}  // namespace brisane
