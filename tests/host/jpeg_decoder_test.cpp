#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <string>
#include <tuple>
#include <vector>

#include "image/jpeg_decoder.h"
#include "render/texture_fill.h"

namespace brisane {
namespace {

enum class Coding { kYCbCr, kRgb, kGrey, kCmyk, kYcck };

struct PictureSpec {
  int width = 16;
  int height = 16;
  Coding coding = Coding::kYCbCr;
  int quality = 90;
  int h[4] = {1, 1, 1, 1};  // sampling factors per component
  int v[4] = {1, 1, 1, 1};
  bool progressive = false;
  int restart_interval = 0;  // in MCUs
  bool optimize = false;     // optimised Huffman tables
  bool separate_scans = false;  // sequential, one scan per component
  unsigned seed = 1;

  std::string Name() const;
};

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void Quiet(j_common_ptr, int) {}

int Stride(int width, int channels) { return (width * channels + 3) & ~3; }

// Kept free of objects with destructors: libjpeg errors leave by longjmp.
bool RunEncode(const PictureSpec& spec, const std::uint8_t* pixels, unsigned char** out, unsigned long* size) {
  jpeg_compress_struct c;
  ErrorManager err;
  c.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    return false;
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, out, size);
  c.image_width = static_cast<JDIMENSION>(spec.width);
  c.image_height = static_cast<JDIMENSION>(spec.height);
  int comps = 3;
  switch (spec.coding) {
    case Coding::kGrey: c.in_color_space = JCS_GRAYSCALE; comps = 1; break;
    case Coding::kCmyk:
    case Coding::kYcck: c.in_color_space = JCS_CMYK; comps = 4; break;
    default: c.in_color_space = JCS_RGB; break;
  }
  c.input_components = comps;
  jpeg_set_defaults(&c);
  if (spec.coding == Coding::kRgb) jpeg_set_colorspace(&c, JCS_RGB);
  if (spec.coding == Coding::kYcck) jpeg_set_colorspace(&c, JCS_YCCK);
  jpeg_set_quality(&c, spec.quality, TRUE);
  for (int i = 0; i < c.num_components; ++i) {
    c.comp_info[i].h_samp_factor = spec.h[i];
    c.comp_info[i].v_samp_factor = spec.v[i];
  }
  c.restart_interval = static_cast<unsigned>(spec.restart_interval);
  c.optimize_coding = spec.optimize ? TRUE : FALSE;
  if (spec.progressive) jpeg_simple_progression(&c);
  jpeg_scan_info scans[4];
  if (spec.separate_scans) {
    for (int i = 0; i < c.num_components; ++i) {
      scans[i].comps_in_scan = 1;
      scans[i].component_index[0] = c.num_components - 1 - i;  // any order
      scans[i].Ss = 0;
      scans[i].Se = 63;
      scans[i].Ah = scans[i].Al = 0;
    }
    c.scan_info = scans;
    c.num_scans = c.num_components;
  }
  jpeg_start_compress(&c, TRUE);
  const int row = spec.width * comps;
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = const_cast<JSAMPROW>(pixels + static_cast<std::size_t>(c.next_scanline) * static_cast<std::size_t>(row));
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return true;
}

bool RunDecode(const std::uint8_t* data, std::size_t size, std::uint8_t** out, int* width, int* height,
               int* comps, int scale) {
  jpeg_decompress_struct d;
  ErrorManager err;
  d.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  err.base.emit_message = Quiet;
  *out = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    std::free(*out);
    *out = nullptr;
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data, static_cast<unsigned long>(size));
  jpeg_read_header(&d, TRUE);
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(scale);
  if (d.num_components == 1) d.out_color_space = JCS_GRAYSCALE;
  else if (d.num_components == 3) d.out_color_space = JCS_EXT_BGR;
  else d.out_color_space = JCS_CMYK;
  jpeg_start_decompress(&d);
  *width = static_cast<int>(d.output_width);
  *height = static_cast<int>(d.output_height);
  *comps = d.output_components;
  const std::size_t row = static_cast<std::size_t>(*width) * static_cast<std::size_t>(*comps);
  *out = static_cast<std::uint8_t*>(std::malloc(row * static_cast<std::size_t>(*height) + 1));
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = *out + static_cast<std::size_t>(d.output_scanline) * row;
    jpeg_read_scanlines(&d, &r, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

std::string PictureSpec::Name() const {
  static const char* kCodings[] = {"ycbcr", "rgb", "grey", "cmyk", "ycck"};
  char buf[160];
  std::snprintf(buf, sizeof buf, "%dx%d_%s_q%d_%dx%d_%dx%d_%dx%d%s_dri%d%s", width, height,
                kCodings[static_cast<int>(coding)], quality, h[0], v[0], h[1], v[1], h[2], v[2],
                progressive ? "_prog" : (separate_scans ? "_scans" : ""), restart_interval, optimize ? "_opt" : "");
  return buf;
}

std::vector<std::uint8_t> MakeSourcePixels(const PictureSpec& spec) {
  const int comps = spec.coding == Coding::kGrey ? 1 : (spec.coding == Coding::kCmyk || spec.coding == Coding::kYcck ? 4 : 3);
  std::vector<std::uint8_t> px(static_cast<std::size_t>(spec.width) * static_cast<std::size_t>(spec.height) *
                               static_cast<std::size_t>(comps));
  unsigned state = spec.seed * 2654435761u + 12345u;
  std::size_t i = 0;
  for (int y = 0; y < spec.height; ++y) {
    for (int x = 0; x < spec.width; ++x) {
      for (int c = 0; c < comps; ++c) {
        state = state * 1103515245u + 12345u;
        const int noise = static_cast<int>((state >> 16) & 31) - 16;
        int v = (x * (37 + 11 * c) + y * (23 + 7 * c)) % 256;             // ramps
        if (((x / 5) + (y / 7) + c) % 4 == 0) v = 255 - v;                // hard edges
        if (x % 13 == c) v = (c & 1) ? 0 : 255;                           // thin lines
        v += noise;
        px[i++] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  return px;
}

std::vector<std::uint8_t> EncodeReference(const PictureSpec& spec) {
  const std::vector<std::uint8_t> px = MakeSourcePixels(spec);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  std::vector<std::uint8_t> bytes;
  if (RunEncode(spec, px.data(), &out, &size)) bytes.assign(out, out + size);
  std::free(out);
  return bytes;
}

std::vector<std::uint8_t> DecodeReference(const std::vector<std::uint8_t>& jpeg, int* width, int* height,
                                          int* channels, int scale = 1) {
  std::uint8_t* raw = nullptr;
  int w = 0, h = 0, comps = 0;
  std::vector<std::uint8_t> result;
  if (!RunDecode(jpeg.data(), jpeg.size(), &raw, &w, &h, &comps, scale)) return result;
  const int ch = comps == 4 ? 4 : 3;
  const int stride = Stride(w, ch);
  result.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = raw + static_cast<std::size_t>(y) * static_cast<std::size_t>(w * comps);
    std::uint8_t* dst = result.data() + static_cast<std::size_t>(h - 1 - y) * static_cast<std::size_t>(stride);
    for (int x = 0; x < w; ++x) {
      if (comps == 1) {
        dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = src[x];
      } else if (comps == 3) {
        std::memcpy(dst + 3 * x, src + 3 * x, 3);
      } else {
        const int k = src[4 * x + 3];
        for (int c = 0; c < 3; ++c) dst[4 * x + c] = static_cast<std::uint8_t>((src[4 * x + c] * k + 127) / 255);
        dst[4 * x + 3] = 255;
      }
    }
  }
  std::free(raw);
  *width = w;
  *height = h;
  *channels = ch;
  return result;
}

struct Ours {
  JpegResult parameters = JpegResult::kOk;
  JpegResult decode = JpegResult::kOk;
  JpegOutput layout;
  std::vector<std::uint8_t> pixels;
};

Ours DecodeOurs(const std::vector<std::uint8_t>& jpeg, int scale = 1) {
  Ours o;
  JpegDecoder decoder;
  o.parameters = decoder.ReadParameters(jpeg.data(), jpeg.size());
  if (o.parameters != JpegResult::kOk) return o;
  o.layout = decoder.Layout(scale);
  o.pixels.assign(o.layout.Bytes(), 0);
  o.layout.pixels = o.pixels.data();
  o.layout.size = o.pixels.size();
  o.decode = decoder.Decode(o.layout);
  return o;
}

// Where two outputs first differ, for a readable failure.
std::string FirstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int stride) {
  std::size_t count = 0, first = a.size();
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] != b[i]) {
      if (first == a.size()) first = i;
      ++count;
    }
  }
  if (count == 0) return "identical";
  char buf[128];
  std::snprintf(buf, sizeof buf, "%zu bytes differ, first at row %zu byte %zu: %d vs %d", count,
                first / static_cast<std::size_t>(stride), first % static_cast<std::size_t>(stride), a[first], b[first]);
  return buf;
}

PictureSpec Spec(int w, int h, Coding coding, int quality, const std::vector<int>& hv, bool progressive = false,
                 int restart = 0) {
  PictureSpec s;
  s.width = w;
  s.height = h;
  s.coding = coding;
  s.quality = quality;
  int i = 0;
  for (auto it = hv.begin(); it != hv.end(); it += 2, ++i) {
    s.h[i] = it[0];
    s.v[i] = it[1];
  }
  s.progressive = progressive;
  s.restart_interval = restart;
  s.seed = static_cast<unsigned>(w * 31 + h * 7 + quality);
  return s;
}

std::vector<PictureSpec> ConformanceSpecs() {
  std::vector<PictureSpec> specs;
  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {17, 9}, {1023, 7}, {64, 48}, {35, 21}, {2, 3}};
  const std::vector<std::vector<int>> samplings = {
      {1, 1, 1, 1, 1, 1},  // 4:4:4
      {2, 1, 1, 1, 1, 1},  // 4:2:2
      {2, 2, 1, 1, 1, 1},  // 4:2:0
      {1, 2, 1, 1, 1, 1},  // 4:4:0
      {4, 1, 1, 1, 1, 1},  // 4:1:1
      {4, 2, 1, 1, 1, 1},  // 4:1:0
      {2, 2, 1, 2, 2, 1},  // mixed chroma
      {3, 1, 1, 1, 1, 1},  // a factor of three
      {1, 4, 1, 1, 1, 1},  // four rows to one
  };
  const int qualities[] = {10, 25, 50, 75, 90, 100};
  int q = 0;
  for (const auto& hv : samplings) {
    for (const auto& [w, h] : sizes) specs.push_back(Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], hv));
  }
  for (const auto& [w, h] : sizes) {
    specs.push_back(Spec(w, h, Coding::kGrey, qualities[q++ % 6], {1, 1}));
    specs.push_back(Spec(w, h, Coding::kRgb, qualities[q++ % 6], {1, 1, 1, 1, 1, 1}));
    specs.push_back(Spec(w, h, Coding::kCmyk, qualities[q++ % 6], {1, 1, 1, 1, 1, 1, 1, 1}));
    specs.push_back(Spec(w, h, Coding::kYcck, qualities[q++ % 6], {2, 2, 1, 1, 1, 1, 2, 2}));
    // Progressive, with and without subsampling and restarts.
    specs.push_back(Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], {2, 2, 1, 1, 1, 1}, true));
    specs.push_back(Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], {1, 1, 1, 1, 1, 1}, true));
    specs.push_back(Spec(w, h, Coding::kGrey, qualities[q++ % 6], {1, 1}, true));
    specs.push_back(Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], {2, 1, 1, 1, 1, 1}, true, 2));
    specs.push_back(Spec(w, h, Coding::kCmyk, qualities[q++ % 6], {1, 1, 1, 1, 1, 1, 1, 1}, true));
    // Restart intervals of several lengths.
    for (int restart : {1, 3, 7}) {
      specs.push_back(Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], {2, 2, 1, 1, 1, 1}, false, restart));
      specs.push_back(Spec(w, h, Coding::kGrey, qualities[q++ % 6], {1, 1}, false, restart));
    }
  }
  // Sequential pictures with a scan per component.
  for (const auto& [w, h] : sizes) {
    PictureSpec separate = Spec(w, h, Coding::kYCbCr, qualities[q++ % 6], {2, 2, 1, 1, 1, 1}, false, w % 3);
    separate.separate_scans = true;
    specs.push_back(separate);
  }
  // Optimised Huffman tables have long codes the lookahead does not cover.
  PictureSpec opt = Spec(64, 48, Coding::kYCbCr, 100, {2, 2, 1, 1, 1, 1});
  opt.optimize = true;
  specs.push_back(opt);
  opt.progressive = true;
  specs.push_back(opt);
  return specs;
}

// At full size and at 1/2, 1/4 and 1/8 against the reference's scaled
// decoding (scale_denom), which takes the same reduced transforms.
class ConformanceTest : public ::testing::TestWithParam<std::tuple<PictureSpec, int>> {};

TEST_P(ConformanceTest, MatchesTheReferenceDecoder) {
  const auto& [spec, scale] = GetParam();
  const std::vector<std::uint8_t> jpeg = EncodeReference(spec);
  ASSERT_FALSE(jpeg.empty());
  if (spec.separate_scans) {
    int scans = 0;
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) scans += jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA;
    ASSERT_EQ(scans, 3);
  }
  int w = 0, h = 0, ch = 0;
  const std::vector<std::uint8_t> reference = DecodeReference(jpeg, &w, &h, &ch, scale);
  ASSERT_FALSE(reference.empty());

  const Ours ours = DecodeOurs(jpeg, scale);
  ASSERT_EQ(ours.parameters, JpegResult::kOk);
  EXPECT_EQ(ours.decode, JpegResult::kOk);
  EXPECT_EQ(ours.layout.width, w);
  EXPECT_EQ(ours.layout.height, -h);
  EXPECT_EQ(ours.layout.channels, ch);
  ASSERT_EQ(ours.pixels.size(), reference.size());
  EXPECT_EQ(FirstDifference(ours.pixels, reference, static_cast<int>(ours.layout.Stride())), "identical");

  // As a texture takes it: three bytes a pixel, blue first, whatever the
  // picture holds (the reference's four channels are red first).
  if (scale != 1) return;
  DecodedPicture picture;
  ASSERT_TRUE(DecodePicture(jpeg.data(), jpeg.size(), picture));
  ASSERT_EQ(picture.width, w);
  ASSERT_EQ(picture.height, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        const std::size_t ref = static_cast<std::size_t>(y) * ours.layout.Stride() +
                                static_cast<std::size_t>(x * ch + (ch == 4 ? 2 - c : c));
        ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y) * picture.stride + static_cast<std::size_t>(x * 3 + c)],
                  reference[ref])
            << x << "," << y << "," << c;
      }
    }
  }
}

std::string TestName(const ::testing::TestParamInfo<std::tuple<PictureSpec, int>>& info) {
  return std::get<0>(info.param).Name() + "_at_1_" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Pictures, ConformanceTest,
                         ::testing::Combine(::testing::ValuesIn(ConformanceSpecs()), ::testing::Values(1, 2, 4, 8)),
                         TestName);

// ---- Damaged data -------------------------------------------------------

// Decodes with guard bytes around the buffer and a sentinel in every padding
// byte; false when any of them changed.
bool DecodeGuarded(const std::uint8_t* data, std::size_t size, JpegResult* parameters, JpegResult* decode,
                   std::vector<std::uint8_t>* pixels = nullptr, long max_pixels = 1L << 25, int scale = 1) {
  constexpr std::size_t kGuard = 64;
  constexpr std::uint8_t kSentinel = 0xA5;
  JpegDecoder decoder;
  *parameters = decoder.ReadParameters(data, size);
  *decode = JpegResult::kNoParameters;
  if (*parameters != JpegResult::kOk) return true;
  if (static_cast<long>(decoder.Width()) * decoder.Height() > max_pixels) return true;
  JpegOutput layout = decoder.Layout(scale);
  std::vector<std::uint8_t> buffer(layout.Bytes() + 2 * kGuard, kSentinel);
  const std::size_t stride = layout.Stride(), row = static_cast<std::size_t>(layout.width * layout.channels);
  const std::size_t rows = static_cast<std::size_t>(-layout.height);
  for (std::size_t y = 0; y < rows; ++y) std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(kGuard + y * stride), row, 0);
  layout.pixels = buffer.data() + kGuard;
  layout.size = layout.Bytes();
  *decode = decoder.Decode(layout);
  bool intact = true;
  for (std::size_t i = 0; i < kGuard; ++i) intact = intact && buffer[i] == kSentinel && buffer[buffer.size() - 1 - i] == kSentinel;
  for (std::size_t y = 0; y < rows; ++y) {
    for (std::size_t i = row; i < stride; ++i) intact = intact && buffer[kGuard + y * stride + i] == kSentinel;
  }
  if (pixels) pixels->assign(buffer.begin() + kGuard, buffer.end() - kGuard);
  return intact;
}

// Offset just past the first scan header.
std::size_t FirstScanData(const std::vector<std::uint8_t>& jpeg) {
  for (std::size_t i = 2; i + 3 < jpeg.size();) {
    if (jpeg[i] != 0xFF) return 0;
    const std::size_t length = static_cast<std::size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
    if (jpeg[i + 1] == 0xDA) return i + 2 + length;
    i += 2 + length;
  }
  return 0;
}

std::vector<PictureSpec> DamageSpecs() {
  return {Spec(35, 21, Coding::kYCbCr, 75, {2, 2, 1, 1, 1, 1}, false, 2),
          Spec(35, 21, Coding::kYCbCr, 90, {2, 1, 1, 1, 1, 1}, true),
          Spec(17, 9, Coding::kGrey, 50, {1, 1}, true, 1),
          Spec(17, 9, Coding::kCmyk, 90, {1, 1, 1, 1, 1, 1, 1, 1})};
}

// At full size and at reduced scales, where multi-scan pictures keep only
// some coefficients of each block.
class DamageTest : public ::testing::TestWithParam<std::tuple<PictureSpec, int>> {};

TEST_P(DamageTest, EveryTruncationIsRefusedOrDecodedAsFarAsItGoes) {
  const auto& [spec, scale] = GetParam();
  const std::vector<std::uint8_t> jpeg = EncodeReference(spec);
  const std::size_t scan = FirstScanData(jpeg);
  ASSERT_GT(scan, 0u);
  std::vector<std::uint8_t> whole;
  JpegResult p, d;
  ASSERT_TRUE(DecodeGuarded(jpeg.data(), jpeg.size(), &p, &d, &whole, 1L << 25, scale));
  ASSERT_EQ(d, JpegResult::kOk);
  for (std::size_t n = 0; n < jpeg.size(); ++n) {
    // A private copy, so that reading past n is caught by the sanitizers.
    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<std::uint8_t> pixels;
    ASSERT_TRUE(DecodeGuarded(cut.data(), cut.size(), &p, &d, &pixels, 1L << 25, scale)) << "length " << n;
    if (n < scan) {
      EXPECT_EQ(p, n < 2 ? JpegResult::kNotJpeg : JpegResult::kTruncated) << "length " << n;
    } else {
      ASSERT_EQ(p, JpegResult::kOk) << "length " << n;
      EXPECT_EQ(d, JpegResult::kCorruptData) << "length " << n;
    }
    if (n == jpeg.size() - 2) {
      EXPECT_EQ(pixels, whole) << "only the end-of-image marker is missing";
    }
  }
}

TEST_P(DamageTest, RandomByteChangesNeverEscapeTheBuffer) {
  const auto& [spec, scale] = GetParam();
  const std::vector<std::uint8_t> jpeg = EncodeReference(spec);
  std::uint32_t state = 2024;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 1000; ++round) {
    std::vector<std::uint8_t> bad = jpeg;
    const int changes = 1 + static_cast<int>(next() % 4);
    for (int c = 0; c < changes; ++c) {
      const std::size_t at = next() % bad.size();
      // Mostly flipped bits; sometimes a marker byte, the hard case.
      bad[at] = (next() % 4 == 0) ? 0xFF : static_cast<std::uint8_t>(bad[at] ^ (1u << (next() % 8)));
    }
    JpegResult p, d;
    // A changed size byte can make a huge picture: read, but not decoded here.
    ASSERT_TRUE(DecodeGuarded(bad.data(), bad.size(), &p, &d, nullptr, 100000, scale)) << "round " << round;
    if (p == JpegResult::kOk && d != JpegResult::kNoParameters) {  // read and decoded
      EXPECT_TRUE(d == JpegResult::kOk || d == JpegResult::kCorruptData || d == JpegResult::kBadHeader)
          << "round " << round << ": " << JpegResultText(d);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, DamageTest,
                         ::testing::Combine(::testing::ValuesIn(DamageSpecs()), ::testing::Values(1, 4, 8)), TestName);

}  // namespace
}  // namespace brisane
