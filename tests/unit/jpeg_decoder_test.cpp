#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <vector>

#include "image/jpeg_decoder.h"
#include "support/jpeg_stream.h"

namespace brisane {
namespace {

using testing::Stream;

int Flat(int dc) {
  const int v = 128 + ((dc + 4) >> 3);
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// A 13 x 10 picture: 2 x 2 blocks with the given DC values, in raster order.
Stream FourBlocks(const int (&dc)[4], int restart_interval = 0) {
  Stream s;
  s.Tables();
  s.Frame(13, 10);
  if (restart_interval) s.Restarts(restart_interval);
  s.Scan();
  int pred = 0;
  for (int i = 0; i < 4; ++i) {
    if (restart_interval && i > 0 && i % restart_interval == 0) {
      s.Restart(i / restart_interval - 1);
      pred = 0;
    }
    s.Block(dc[i] - pred);
    pred = dc[i];
  }
  s.End();
  return s;
}

struct Picture {
  JpegResult parameters;
  JpegResult decode = JpegResult::kNoParameters;
  JpegOutput layout;
  std::vector<std::uint8_t> pixels;
  // The image's pixel (x, y) counted from the top, channel c.
  int At(int x, int y, int c = 0) const {
    const int rows = layout.height < 0 ? -layout.height : layout.height;
    const int row = layout.height < 0 ? rows - 1 - y : y;
    return pixels[static_cast<std::size_t>(row) * layout.Stride() + static_cast<std::size_t>(x * layout.channels + c)];
  }
};

Picture Decode(const std::vector<std::uint8_t>& bytes, bool top_down = false, bool rgba = false, int scale = 1) {
  Picture p;
  JpegDecoder decoder;
  p.parameters = decoder.ReadParameters(bytes.data(), bytes.size());
  if (p.parameters != JpegResult::kOk) return p;
  p.layout = decoder.Layout(scale);
  if (top_down) p.layout.height = -p.layout.height;
  if (rgba) {
    p.layout.order = JpegColourOrder::kRgba;
    p.layout.channels = 4;
    p.layout.padding = 0;
  }
  p.pixels.assign(p.layout.Bytes(), 0xEE);
  p.layout.pixels = p.pixels.data();
  p.layout.size = p.pixels.size();
  p.decode = decoder.Decode(p.layout);
  return p;
}

// Expected value of pixel (x, y) of FourBlocks.
int Expected(const int (&dc)[4], int x, int y) { return Flat(dc[(y / 8) * 2 + x / 8]); }

TEST(JpegDecoderTest, GreyPictureFillsBottomUpRowsOfBlueGreenRedAndLeavesPadding) {
  const int dc[4] = {80, -160, 400, -1030};
  const Picture p = Decode(FourBlocks(dc).bytes);
  ASSERT_EQ(p.parameters, JpegResult::kOk);
  ASSERT_EQ(p.decode, JpegResult::kOk);
  EXPECT_EQ(p.layout.width, 13);
  EXPECT_EQ(p.layout.height, -10);
  EXPECT_EQ(p.layout.channels, 3);
  EXPECT_EQ(p.layout.padding, 1);  // 39 bytes of pixels, padded to 40
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 13; ++x) {
      for (int c = 0; c < 3; ++c) ASSERT_EQ(p.At(x, y, c), Expected(dc, x, y)) << x << "," << y << "," << c;
    }
  }
  // The first row in memory is the picture's bottom row; padding is untouched.
  EXPECT_EQ(p.pixels[0], Flat(400));
  for (int row = 0; row < 10; ++row) EXPECT_EQ(p.pixels[static_cast<std::size_t>(row) * 40 + 39], 0xEE);
}

TEST(JpegDecoderTest, TopDownAndRedGreenBlueAlphaLayoutsOnRequest) {
  const int dc[4] = {8, 16, 24, 32};
  const Picture down = Decode(FourBlocks(dc).bytes, true);
  ASSERT_EQ(down.decode, JpegResult::kOk);
  EXPECT_EQ(down.pixels[0], Flat(8));
  const Picture rgba = Decode(FourBlocks(dc).bytes, false, true);
  ASSERT_EQ(rgba.decode, JpegResult::kOk);
  EXPECT_EQ(rgba.layout.Stride(), 52u);
  EXPECT_EQ(rgba.At(12, 9, 0), Flat(32));
  EXPECT_EQ(rgba.At(12, 9, 2), Flat(32));
  EXPECT_EQ(rgba.At(12, 9, 3), 255);
}

TEST(JpegDecoderTest, RestartIntervalsResetThePrediction) {
  const int dc[4] = {300, -200, 100, 900};
  for (int interval : {1, 2, 3}) {
    const Picture p = Decode(FourBlocks(dc, interval).bytes);
    ASSERT_EQ(p.decode, JpegResult::kOk) << interval;
    for (int b = 0; b < 4; ++b) EXPECT_EQ(p.At((b % 2) * 8, (b / 2) * 8), Flat(dc[b])) << interval << " " << b;
  }
}

TEST(JpegDecoderTest, MissingRestartMarkerCostsOnlyItsInterval) {
  Stream s;
  s.Tables();
  s.Frame(13, 10);
  s.Restarts(1);
  s.Scan();
  s.Block(300);
  s.Restart(0);
  s.Block(-200);
  s.Flush();  // RST1 lost
  s.Block(100);
  s.Restart(2);
  s.Block(900);
  s.End();
  const Picture p = Decode(s.bytes);
  ASSERT_EQ(p.parameters, JpegResult::kOk);
  EXPECT_EQ(p.decode, JpegResult::kCorruptData);
  EXPECT_EQ(p.At(0, 0), Flat(300));
  EXPECT_EQ(p.At(8, 0), Flat(-200));
  EXPECT_EQ(p.At(0, 8), 128);  // lost: read as zeros after the reset
  EXPECT_EQ(p.At(8, 8), Flat(900));
}

TEST(JpegDecoderTest, FillBytesStrayBytesAndUnknownSegmentsAreSkipped) {
  Stream s;
  s.Segment(0xE1, {'E', 'x', 'i', 'f', 0, 0, 1, 2, 3});
  s.bytes.push_back(0x12);  // garbage between segments
  s.Segment(0xFE, {'h', 'i'});
  s.Tables();
  s.Frame(8, 8);
  s.bytes.insert(s.bytes.end(), {0xFF, 0xFF});  // fill before a marker
  s.Scan();
  s.Block(-800);
  s.Flush();
  s.bytes.insert(s.bytes.end(), {0xFF, 0xFF, 0xFF});
  s.Marker(0xD9);
  const Picture p = Decode(s.bytes);
  ASSERT_EQ(p.parameters, JpegResult::kOk);
  EXPECT_EQ(p.decode, JpegResult::kOk);
  EXPECT_EQ(p.At(7, 7), Flat(-800));
}

TEST(JpegDecoderTest, TruncatedScanDecodesWhatIsThereAndReportsIt) {
  const int dc[4] = {300, -200, 100, 900};
  std::vector<std::uint8_t> bytes = FourBlocks(dc).bytes;
  bytes.resize(bytes.size() - 4);  // the last block and the end marker
  const Picture p = Decode(bytes);
  ASSERT_EQ(p.parameters, JpegResult::kOk);
  EXPECT_EQ(p.decode, JpegResult::kCorruptData);
  EXPECT_EQ(p.At(0, 0), Flat(300));
  EXPECT_EQ(p.At(8, 0), Flat(-200));
}

TEST(JpegDecoderTest, CallsOutOfOrderAndLayoutsThatDoNotFitAreRefused) {
  const int dc[4] = {1, 2, 3, 4};
  const std::vector<std::uint8_t> bytes = FourBlocks(dc).bytes;
  JpegDecoder decoder;
  std::vector<std::uint8_t> buffer(400, 0x77);
  JpegOutput out;
  out.pixels = buffer.data();
  out.size = buffer.size();
  EXPECT_EQ(decoder.Decode(out), JpegResult::kNoParameters);
  ASSERT_EQ(decoder.ReadParameters(bytes.data(), bytes.size()), JpegResult::kOk);
  EXPECT_EQ(decoder.Width(), 13);
  EXPECT_EQ(decoder.Height(), 10);
  EXPECT_EQ(decoder.Components(), 1);
  EXPECT_FALSE(decoder.Progressive());

  JpegOutput good = decoder.Layout();
  good.pixels = buffer.data();
  good.size = buffer.size();
  void (*const breaks[])(JpegOutput&) = {
      [](JpegOutput& o) { o.size = o.Bytes() - 1; },  [](JpegOutput& o) { o.width = 12; },
      [](JpegOutput& o) { o.height = 11; },           [](JpegOutput& o) { o.channels = 4; },
      [](JpegOutput& o) { o.padding = -1; },          [](JpegOutput& o) { o.pixels = nullptr; },
      [](JpegOutput& o) { o.order = static_cast<JpegColourOrder>(2); }};
  for (auto brk : breaks) {
    JpegOutput bad = good;
    brk(bad);
    EXPECT_EQ(decoder.Decode(bad), JpegResult::kBadLayout);
  }
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(400, 0x77));

  // Decoding again gives the same picture; after Release nothing is left.
  ASSERT_EQ(decoder.Decode(good), JpegResult::kOk);
  const std::vector<std::uint8_t> first = buffer;
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0x77});
  ASSERT_EQ(decoder.Decode(good), JpegResult::kOk);
  EXPECT_EQ(buffer, first);
  decoder.Release();
  EXPECT_EQ(decoder.Width(), 0);
  EXPECT_EQ(decoder.Decode(good), JpegResult::kNoParameters);
}

// At 1/2, 1/4 and 1/8 each block gives 4 x 4, 2 x 2 or 1 sample of its
// average; sizes round up.
TEST(JpegDecoderTest, ReducedScalesGiveEachBlockItsAverage) {
  const int dc[4] = {80, -160, 400, -1030};
  const std::vector<std::uint8_t> bytes = FourBlocks(dc).bytes;
  for (const auto& [scale, width, height] : {std::tuple{2, 7, 5}, std::tuple{4, 4, 3}, std::tuple{8, 2, 2}}) {
    const Picture p = Decode(bytes, false, false, scale);
    ASSERT_EQ(p.decode, JpegResult::kOk) << scale;
    EXPECT_EQ(p.layout.width, width);
    EXPECT_EQ(p.layout.height, -height);
    const int block = 8 / scale;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(p.At(x, y), Flat(dc[(y / block) * 2 + x / block])) << scale << ": " << x << "," << y;
      }
    }
  }
  // A progressive picture keeps only the coefficients the reduced transform reads.
  const std::vector<std::uint8_t> progressive = testing::DcPicture(40, 24, true);
  const Picture full = Decode(progressive);
  const Picture eighth = Decode(progressive, false, false, 8);
  ASSERT_EQ(eighth.decode, JpegResult::kOk);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(eighth.At(x, y), full.At(x * 8, y * 8)) << x << "," << y;
  }
}

TEST(JpegDecoderTest, LayoutsOfOtherScalesAreRefused) {
  const int dc[4] = {1, 2, 3, 4};
  const std::vector<std::uint8_t> bytes = FourBlocks(dc).bytes;
  JpegDecoder decoder;
  ASSERT_EQ(decoder.ReadParameters(bytes.data(), bytes.size()), JpegResult::kOk);
  EXPECT_EQ(decoder.Layout(3).width, 0);
  EXPECT_EQ(decoder.ScaledWidth(16), 0);
  std::vector<std::uint8_t> buffer(400);
  JpegOutput half = decoder.Layout(2);
  half.pixels = buffer.data();
  half.size = buffer.size();
  JpegOutput wrong = half;
  wrong.scale = 3;
  EXPECT_EQ(decoder.Decode(wrong), JpegResult::kBadLayout);
  wrong = half;
  wrong.width = 13;  // the full width at half scale
  EXPECT_EQ(decoder.Decode(wrong), JpegResult::kBadLayout);
  EXPECT_EQ(decoder.Decode(half), JpegResult::kOk);
}

// Only headers are written here: nothing this large is decoded.
TEST(JpegDecoderTest, ScaleForFitsTheBoundAndTheMemoryLimits) {
  auto header = [](int w, int h, int marker, std::vector<std::uint8_t> components) {
    Stream s;
    s.Tables();
    std::vector<std::uint8_t> sof = {8, static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h),
                                     static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w),
                                     static_cast<std::uint8_t>(components.size() / 3)};
    sof.insert(sof.end(), components.begin(), components.end());
    s.Segment(marker, sof);
    std::vector<std::uint8_t> sos = {sof[5]};  // every component in the first scan
    for (std::uint8_t i = 1; i <= sof[5]; ++i) sos.insert(sos.end(), {i, 0x00});
    sos.insert(sos.end(), {0, 63, 0});
    s.Segment(0xDA, sos);
    s.End();
    return s.bytes;
  };
  const std::vector<std::uint8_t> grey = {1, 0x11, 0};
  const std::vector<std::uint8_t> colour = {1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0};
  const std::vector<std::uint8_t> cmyk = {1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0, 4, 0x11, 0};
  JpegDecoder d;
  const std::vector<std::uint8_t> camera = header(6000, 4000, 0xC0, grey);
  ASSERT_EQ(d.ReadParameters(camera.data(), camera.size()), JpegResult::kOk);
  EXPECT_EQ(d.ScaleFor(0, 0), 1);
  EXPECT_EQ(d.ScaleFor(6000, 4000), 1);
  EXPECT_EQ(d.ScaleFor(3000, 2000), 2);
  EXPECT_EQ(d.ScaleFor(2048, 2048), 4);
  EXPECT_EQ(d.ScaleFor(256, 256), 8);  // 750 x 500 is as small as it gets
  EXPECT_EQ(d.ScaleFor(8192, 1999), 4);

  // Beyond the output limit at full size: 64 Mi pixels.
  const std::vector<std::uint8_t> big = header(8192, 8192, 0xC0, grey);
  ASSERT_EQ(d.ReadParameters(big.data(), big.size()), JpegResult::kOk);
  EXPECT_EQ(d.ScaleFor(0, 0), 2);

  // Within the output limit, but a progressive picture's coefficients are
  // not: 3 x 524,176 blocks of 128 bytes at full size, 106 at 1/2.
  const std::vector<std::uint8_t> progressive = header(5792, 5792, 0xC2, colour);
  ASSERT_EQ(d.ReadParameters(progressive.data(), progressive.size()), JpegResult::kOk);
  EXPECT_EQ(d.ScaleFor(0, 0), 4);
  const std::vector<std::uint8_t> sequential = header(5792, 5792, 0xC0, colour);
  ASSERT_EQ(d.ReadParameters(sequential.data(), sequential.size()), JpegResult::kOk);
  EXPECT_EQ(d.ScaleFor(0, 0), 1);

  // A declared size whose coefficients would not fit even at 1/8 is refused
  // when the parameters are read; one scan of all components keeps none.
  const std::vector<std::uint8_t> huge = header(65535, 32768, 0xC2, cmyk);
  EXPECT_EQ(d.ReadParameters(huge.data(), huge.size()), JpegResult::kTooLarge);
  const std::vector<std::uint8_t> huge_sequential = header(65535, 32768, 0xC0, cmyk);
  ASSERT_EQ(d.ReadParameters(huge_sequential.data(), huge_sequential.size()), JpegResult::kOk);
  EXPECT_EQ(d.ScaleFor(0, 0), 8);
}

// Headers that must be refused when the parameters are read.
TEST(JpegDecoderTest, ImpossibleOrUnsupportedHeadersAreRefusedBeforeDecoding) {
  auto with_frame = [](std::vector<std::uint8_t> sof, int marker = 0xC0) {
    Stream s;
    s.Tables();
    s.Segment(marker, sof);
    std::vector<std::uint8_t> sos = {sof[5]};  // every component in the first scan
    for (std::uint8_t i = 1; i <= sof[5]; ++i) sos.insert(sos.end(), {i, 0x00});
    sos.insert(sos.end(), {0, 63, 0});
    s.Segment(0xDA, sos);
    s.End();
    return s.bytes;
  };
  auto read = [](const std::vector<std::uint8_t>& bytes) {
    JpegDecoder d;
    return d.ReadParameters(bytes.data(), bytes.size());
  };
  EXPECT_EQ(read({}), JpegResult::kNotJpeg);
  EXPECT_EQ(read({0x89, 'P', 'N', 'G'}), JpegResult::kNotJpeg);
  EXPECT_EQ(read({0xFF, 0xD8}), JpegResult::kTruncated);
  EXPECT_EQ(read({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00}), JpegResult::kTruncated);  // segment past the end
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 0, 1, 1, 0x11, 0})), JpegResult::kBadHeader);  // zero width
  EXPECT_EQ(read(with_frame({8, 0, 0, 0, 8, 1, 1, 0x11, 0})), JpegResult::kUnsupported);  // height from DNL
  EXPECT_EQ(read(with_frame({8, 0xFF, 0xFF, 0xFF, 0xFF, 1, 1, 0x11, 0})), JpegResult::kTooLarge);
  EXPECT_EQ(read(with_frame({8, 0x16, 0xA0, 0x16, 0xA0, 1, 1, 0x11, 0})), JpegResult::kOk);  // 5792 x 5792
  EXPECT_EQ(read(with_frame({12, 0, 8, 0, 8, 1, 1, 0x11, 0})), JpegResult::kUnsupported);
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 1, 1, 0x11, 0}, 0xC3)), JpegResult::kUnsupported);  // lossless
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 1, 1, 0x11, 0}, 0xC9)), JpegResult::kUnsupported);  // arithmetic
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 2, 1, 0x11, 0, 2, 0x11, 0})), JpegResult::kUnsupported);
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 1, 1, 0x51, 0})), JpegResult::kBadHeader);  // factor 5
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 1, 1, 0x10, 0})), JpegResult::kBadHeader);  // factor 0
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 1, 1, 0x11, 4})), JpegResult::kBadHeader);  // table 4
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 3, 1, 0x31, 0, 2, 0x21, 0, 3, 0x11, 0})), JpegResult::kUnsupported);
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 3, 1, 0x11, 0, 1, 0x11, 0, 3, 0x11, 0})), JpegResult::kBadHeader);
  EXPECT_EQ(read(with_frame({8, 0, 8, 0, 8, 3, 1, 0x11, 0})), JpegResult::kBadHeader);  // short frame

  Stream oversubscribed;
  oversubscribed.Segment(0xC4, {0x00, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2});
  EXPECT_EQ(read(oversubscribed.bytes), JpegResult::kBadHeader);
  Stream all_ones;  // two 1-bit codes would include the reserved all-ones code
  all_ones.Segment(0xC4, {0x00, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  EXPECT_EQ(read(all_ones.bytes), JpegResult::kBadHeader);
  Stream bad_quant;
  bad_quant.Segment(0xDB, std::vector<std::uint8_t>(65, 4));  // table number 4
  EXPECT_EQ(read(bad_quant.bytes), JpegResult::kBadHeader);
}

// Scan headers are read by the decode; a bad first scan leaves the buffer alone.
TEST(JpegDecoderTest, BadFirstScanHeaderIsRefusedWithoutWriting) {
  auto decode_with_scan = [](std::vector<std::uint8_t> sos, bool dc_symbol_16 = false) {
    Stream s;
    s.Tables();
    if (dc_symbol_16) s.Segment(0xC4, {0x01, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16});
    s.Frame(8, 8);
    s.Segment(0xDA, sos);
    s.Block(0);
    s.End();
    Picture p = Decode(s.bytes);
    EXPECT_EQ(p.parameters, JpegResult::kOk);
    for (std::uint8_t b : p.pixels) EXPECT_EQ(b, 0xEE);
    return p.decode;
  };
  EXPECT_EQ(decode_with_scan({1, 7, 0x00, 0, 63, 0}), JpegResult::kBadHeader);  // no component 7
  EXPECT_EQ(decode_with_scan({1, 1, 0x22, 0, 63, 0}), JpegResult::kBadHeader);  // undefined tables
  EXPECT_EQ(decode_with_scan({1, 1, 0x10, 0, 63, 0}, true), JpegResult::kBadHeader);  // DC size 16
  EXPECT_EQ(decode_with_scan({2, 1, 0x00, 1, 0x00, 0, 63, 0}), JpegResult::kBadHeader);
  EXPECT_EQ(decode_with_scan({1, 1, 0x00, 0, 63}), JpegResult::kBadHeader);  // short
}

// Damaged data can hold any number of scans, each one a walk over the whole
// picture: the decoder gives up after 500 scans, or after 8 that ran dry.
TEST(JpegDecoderTest, EndlessScansAreCutShort) {
  auto progressive = [](int good_scans, int empty_scans, int final_dc) {
    Stream s;
    s.Tables();
    s.Frame(8, 8, 0xC2);
    for (int i = 0; i < good_scans; ++i) {
      s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
      s.Dc(80);
      s.Flush();
    }
    for (int i = 0; i < empty_scans; ++i) s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    s.Segment(0xDA, {1, 1, 0x00, 0, 0, 0});
    s.Dc(final_dc);
    s.End();
    return Decode(s.bytes);
  };
  const Picture fine = progressive(3, 0, 800);
  EXPECT_EQ(fine.decode, JpegResult::kOk);
  EXPECT_EQ(fine.At(0, 0), Flat(800));
  const Picture few_empty = progressive(0, 7, 800);
  EXPECT_EQ(few_empty.decode, JpegResult::kCorruptData);
  EXPECT_EQ(few_empty.At(0, 0), Flat(800));
  const Picture many_empty = progressive(0, 8, 800);
  EXPECT_EQ(many_empty.decode, JpegResult::kCorruptData);
  EXPECT_EQ(many_empty.At(0, 0), 128);  // the last scan was not read
  const Picture many = progressive(499, 0, 800);
  EXPECT_EQ(many.decode, JpegResult::kOk);
  EXPECT_EQ(many.At(0, 0), Flat(800));
  const Picture too_many = progressive(500, 0, 800);
  EXPECT_EQ(too_many.decode, JpegResult::kCorruptData);
  EXPECT_EQ(too_many.At(0, 0), Flat(80));
}

}  // namespace
}  // namespace brisane
