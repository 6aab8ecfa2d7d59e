#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <vector>

#include "image/jpeg_decoder.h"
#include "image/jpeg_idct.h"
#include "support/jpeg_stream.h"

namespace brisane {
namespace {

// Hand-written streams for what an encoder never writes: damage, hostile
// headers, refused calls. Whole pictures are checked in the host tests.
using testing::Stream;

int Flat(int dc) { return std::clamp(128 + ((dc + 4) >> 3), 0, 255); }

// A 13 x 10 picture: 2 x 2 blocks with the given DC values, in raster order.
std::vector<std::uint8_t> FourBlocks(const int (&dc)[4]) {
  Stream s;
  s.Tables(), s.Frame(13, 10), s.Scan();
  for (int i = 0; i < 4; ++i) s.Block(dc[i] - (i ? dc[i - 1] : 0));
  s.End();
  return s.bytes;
}

// A stream with the given frame header and one scan of all its components.
std::vector<std::uint8_t> WithFrame(std::vector<std::uint8_t> sof, int marker = 0xC0) {
  Stream s;
  s.Tables(), s.Segment(marker, sof);
  std::vector<std::uint8_t> sos = {sof[5]};
  for (std::uint8_t i = 1; i <= sof[5]; ++i) sos.insert(sos.end(), {i, 0x00});
  sos.insert(sos.end(), {0, 63, 0});
  s.Segment(0xDA, sos);
  s.End();
  return s.bytes;
}

// A frame header of the given size whose components are all 1 x 1 on table 0.
std::vector<std::uint8_t> Sof(int w, int h, int components) {
  auto byte = [](int v) { return static_cast<std::uint8_t>(v); };
  std::vector<std::uint8_t> sof = {8, byte(h >> 8), byte(h), byte(w >> 8), byte(w), byte(components)};
  for (int i = 1; i <= components; ++i) sof.insert(sof.end(), {byte(i), 0x11, 0});
  return sof;
}

struct Picture {
  JpegResult parameters;
  JpegResult decode = JpegResult::NoParameters;
  JpegOutput layout;
  std::vector<std::uint8_t> pixels;
  // The image's pixel (x, y) counted from the top, in the usual bottom-up layout.
  int At(int x, int y) const {
    return pixels[static_cast<std::size_t>(-layout.height - 1 - y) * layout.Stride() + static_cast<std::size_t>(x * layout.channels)];
  }
};

Picture Decode(const std::vector<std::uint8_t>& bytes) {
  Picture p;
  JpegDecoder decoder;
  p.parameters = decoder.ReadParameters(bytes.data(), bytes.size());
  if (p.parameters != JpegResult::Ok) return p;
  p.layout = decoder.Layout();
  p.pixels.assign(p.layout.Bytes(), 0xEE);
  p.layout.pixels = p.pixels.data();
  p.layout.size = p.pixels.size();
  p.decode = decoder.Decode(p.layout);
  return p;
}

TEST(JpegDecoderTest, DamagedScanKeepsWhatCouldBeRead) {
  Stream s;
  s.Tables(), s.Frame(13, 10), s.Restarts(1), s.Scan();
  s.Block(300), s.Restart(0), s.Block(-200);
  s.Flush();  // RST1 lost
  s.Block(100), s.Restart(2), s.Block(900), s.End();
  const Picture lost = Decode(s.bytes);
  EXPECT_EQ(lost.decode, JpegResult::CorruptData);
  // Only the lost interval: zeros after the reset.
  EXPECT_EQ((std::array{lost.At(0, 0), lost.At(8, 0), lost.At(0, 8), lost.At(8, 8)}), (std::array{Flat(300), Flat(-200), 128, Flat(900)}));
  const int dc[4] = {300, -200, 100, 900};
  std::vector<std::uint8_t> cut = FourBlocks(dc);
  cut.resize(cut.size() - 4);  // the last block and the end marker
  const Picture truncated = Decode(cut);
  EXPECT_EQ(std::tuple(truncated.decode, truncated.At(8, 0)), std::tuple(JpegResult::CorruptData, Flat(-200)));
}

TEST(JpegDecoderTest, FillBytesStrayBytesAndUnknownSegmentsAreSkipped) {
  Stream s;
  s.Segment(0xE1, {'E', 'x', 'i', 'f', 0, 0, 1, 2, 3});
  s.bytes.push_back(0x12);  // garbage between segments
  s.Segment(0xFE, {'h', 'i'});
  s.Tables(), s.Frame(8, 8);
  s.bytes.insert(s.bytes.end(), {0xFF, 0xFF});  // fill before a marker
  s.Scan(), s.Block(-800), s.Flush();
  s.bytes.insert(s.bytes.end(), {0xFF, 0xFF, 0xFF});
  s.Marker(0xD9);
  const Picture p = Decode(s.bytes);
  EXPECT_EQ(std::tuple(p.decode, p.At(7, 7)), std::tuple(JpegResult::Ok, Flat(-800)));
}

TEST(JpegDecoderTest, LayoutsOnRequestAndCallsOutOfOrderOrLayoutsThatDoNotFitAreRefused) {
  const int dc[4] = {80, 160, 240, 320};
  const std::vector<std::uint8_t> bytes = FourBlocks(dc);
  JpegDecoder decoder;
  std::vector<std::uint8_t> buffer(520, 0x77);
  JpegOutput out;
  out.pixels = buffer.data(), out.size = buffer.size();
  EXPECT_EQ(decoder.Decode(out), JpegResult::NoParameters);
  ASSERT_EQ(decoder.ReadParameters(bytes.data(), bytes.size()), JpegResult::Ok);
  EXPECT_EQ(decoder.Layout(3).width, 0);
  JpegOutput good = decoder.Layout();
  good.pixels = buffer.data(), good.size = buffer.size();
  void (*const breaks[])(JpegOutput&) = {
      [](JpegOutput& o) { o.size = o.Bytes() - 1; }, [](JpegOutput& o) { o.width = 12; },
      [](JpegOutput& o) { o.channels = 4; },         [](JpegOutput& o) { o.pixels = nullptr; },
      [](JpegOutput& o) { o.scale = 2; }};  // the full width at half scale
  for (auto brk : breaks) {
    JpegOutput bad = good;
    brk(bad);
    EXPECT_EQ(decoder.Decode(bad), JpegResult::BadLayout);
  }
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(520, 0x77));
  JpegOutput rgba = good;  // top-down red, green, blue, alpha
  rgba.height = 10, rgba.order = JpegColourOrder::Rgba, rgba.channels = 4, rgba.padding = 0;
  ASSERT_EQ(decoder.Decode(rgba), JpegResult::Ok);
  EXPECT_EQ(std::tuple(rgba.Stride(), buffer[0], buffer[518], buffer[519]), std::tuple(52u, Flat(80), Flat(320), 255));
  // Decoding again gives the same picture; after Release nothing is left.
  ASSERT_EQ(decoder.Decode(good), JpegResult::Ok);
  const std::vector<std::uint8_t> first = buffer;
  ASSERT_EQ(decoder.Decode(good), JpegResult::Ok);
  EXPECT_EQ(buffer, first);
  decoder.Release();
  EXPECT_EQ(decoder.Decode(good), JpegResult::NoParameters);
}

// Only headers are written here: nothing this large is decoded.
TEST(JpegDecoderTest, ScaleForFitsTheBoundAndTheMemoryLimits) {
  JpegDecoder d;
  const std::vector<std::uint8_t> camera = WithFrame(Sof(6000, 4000, 1));
  ASSERT_EQ(d.ReadParameters(camera.data(), camera.size()), JpegResult::Ok);
  for (const auto& [w, h, scale] : {std::tuple{6000, 4000, 1}, std::tuple{3000, 2000, 2}, std::tuple{8192, 1999, 4},
                                    std::tuple{256, 256, 8}})
    EXPECT_EQ(d.ScaleFor(w, h), scale) << w << " x " << h;
  // Unbounded, the limits decide: output pixels, and a progressive picture's
  // stored coefficients.
  for (const auto& [w, h, components, marker, scale] :
       {std::tuple{8192, 8192, 1, 0xC0, 2}, std::tuple{5792, 5792, 3, 0xC2, 4}, std::tuple{5792, 5792, 3, 0xC0, 1},
        std::tuple{65535, 32768, 4, 0xC0, 8}}) {
    const std::vector<std::uint8_t> header = WithFrame(Sof(w, h, components), marker);
    ASSERT_EQ(d.ReadParameters(header.data(), header.size()), JpegResult::Ok);
    EXPECT_EQ(d.ScaleFor(0, 0), scale) << w << " marker " << marker;
  }
  const std::vector<std::uint8_t> huge = WithFrame(Sof(65535, 32768, 4), 0xC2);
  EXPECT_EQ(d.ReadParameters(huge.data(), huge.size()), JpegResult::TooLarge);
}

// Headers that must be refused when the parameters are read.
TEST(JpegDecoderTest, ImpossibleOrUnsupportedHeadersAreRefusedBeforeDecoding) {
  Stream all_ones;  // two 1-bit codes would include the reserved all-ones code
  all_ones.Segment(0xC4, {0x00, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  Stream bad_quant;
  bad_quant.Segment(0xDB, std::vector<std::uint8_t>(65, 4));  // table number 4
  const std::tuple<const char*, std::vector<std::uint8_t>, JpegResult> cases[] = {
      {"empty", {}, JpegResult::NotJpeg},
      {"start only", {0xFF, 0xD8}, JpegResult::Truncated},
      {"second start of image", {0xFF, 0xD8, 0xFF, 0xD8}, JpegResult::BadHeader},
      {"zero width", WithFrame(Sof(0, 8, 1)), JpegResult::BadHeader},
      {"height from DNL", WithFrame(Sof(8, 0, 1)), JpegResult::Unsupported},
      {"too large", WithFrame(Sof(65535, 65535, 1)), JpegResult::TooLarge},
      {"largest accepted", WithFrame(Sof(5792, 5792, 1)), JpegResult::Ok},
      {"12-bit", WithFrame({12, 0, 8, 0, 8, 1, 1, 0x11, 0}), JpegResult::Unsupported},
      {"two components", WithFrame(Sof(8, 8, 2)), JpegResult::Unsupported},
      {"factor 5", WithFrame({8, 0, 8, 0, 8, 1, 1, 0x51, 0}), JpegResult::BadHeader},
      {"table 4", WithFrame({8, 0, 8, 0, 8, 1, 1, 0x11, 4}), JpegResult::BadHeader},
      {"factor 3 over 2", WithFrame({8, 0, 8, 0, 8, 3, 1, 0x31, 0, 2, 0x21, 0, 3, 0x11, 0}), JpegResult::Unsupported},
      {"repeated id", WithFrame({8, 0, 8, 0, 8, 3, 1, 0x11, 0, 1, 0x11, 0, 3, 0x11, 0}), JpegResult::BadHeader},
      {"all-ones code", all_ones.bytes, JpegResult::BadHeader},
      {"quantisation table 4", bad_quant.bytes, JpegResult::BadHeader},
  };
  for (const auto& [name, bytes, expected] : cases) EXPECT_EQ(JpegDecoder().ReadParameters(bytes.data(), bytes.size()), expected) << name;
}

// Scan headers are read by the decode; a bad first scan leaves the buffer alone.
TEST(JpegDecoderTest, BadFirstScanHeaderIsRefusedWithoutWriting) {
  const std::tuple<const char*, std::vector<std::uint8_t>, bool> cases[] = {
      {"no component 7", {1, 7, 0x00, 0, 63, 0}, false},
      {"undefined tables", {1, 1, 0x22, 0, 63, 0}, false},
      {"DC size 16", {1, 1, 0x10, 0, 63, 0}, true},
  };
  for (const auto& [name, sos, dc_symbol_16] : cases) {
    Stream s;
    s.Tables();
    if (dc_symbol_16) s.Segment(0xC4, {0x01, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16});
    s.Frame(8, 8), s.Segment(0xDA, sos), s.Block(0), s.End();
    const Picture p = Decode(s.bytes);
    EXPECT_EQ(p.decode, JpegResult::BadHeader) << name;
    EXPECT_EQ(p.pixels, std::vector<std::uint8_t>(p.pixels.size(), 0xEE)) << name;
  }
}

// Damaged data can hold any number of scans, each one a walk over the whole
// picture: the decoder gives up after 500 scans, or after 8 that ran dry.
TEST(JpegDecoderTest, EndlessScansAreCutShort) {
  for (const auto& [good_scans, empty_scans, result, value] :
       {std::tuple{0, 7, JpegResult::CorruptData, Flat(800)},
        std::tuple{0, 8, JpegResult::CorruptData, 128},  // the last scan was not read
        std::tuple{499, 0, JpegResult::Ok, Flat(800)}, std::tuple{500, 0, JpegResult::CorruptData, Flat(80)}}) {
    Stream s;
    s.Tables(), s.Frame(8, 8, 0xC2);
    for (int i = 0; i < good_scans; ++i) s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0}), s.Dc(80), s.Flush();
    for (int i = 0; i < empty_scans; ++i) s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0}), s.Dc(800), s.End();
    const Picture p = Decode(s.bytes);
    EXPECT_EQ(std::tuple(p.decode, p.At(0, 0)), std::tuple(result, value)) << good_scans + empty_scans;
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
