#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/jpeg_decoder.h"

namespace brisane {
namespace {

// Writes small greyscale JPEG streams by hand: flat 8x8 blocks (DC only),
// every DC size coded in 4 bits and a 1-bit end-of-block, quantisation 1.
// A block of DC value P decodes to 128 + (P + 4) / 8 (rounded down).
class Stream {
 public:
  std::vector<std::uint8_t> bytes;

  Stream() { Marker(0xD8); }

  void Marker(int code) {
    bytes.push_back(0xFF);
    bytes.push_back(static_cast<std::uint8_t>(code));
  }
  void Segment(int code, const std::vector<std::uint8_t>& payload) {
    Marker(code);
    const std::size_t length = payload.size() + 2;
    bytes.push_back(static_cast<std::uint8_t>(length >> 8));
    bytes.push_back(static_cast<std::uint8_t>(length & 0xFF));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
  }
  void Tables() {
    std::vector<std::uint8_t> q = {0x00};
    q.resize(65, 1);
    Segment(0xDB, q);
    std::vector<std::uint8_t> dc = {0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 12; ++i) dc.push_back(static_cast<std::uint8_t>(i));
    Segment(0xC4, dc);
    Segment(0xC4, {0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
  }
  void Frame(int width, int height, int marker = 0xC0) {
    Segment(marker, {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                     static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width), 1, 1, 0x11, 0});
  }
  void Restarts(int interval) { Segment(0xDD, {0, static_cast<std::uint8_t>(interval)}); }
  void Scan() { Segment(0xDA, {1, 1, 0x00, 0, 63, 0}); }

  // One block whose DC differs from the previous one by diff.
  void Block(int diff) {
    Dc(diff);
    Bits(0, 1);  // end of block
  }
  // The DC part alone, as a progressive picture's first DC scan codes it.
  void Dc(int diff) {
    int size = 0;
    for (int m = diff < 0 ? -diff : diff; m; m >>= 1) ++size;
    Bits(static_cast<unsigned>(size), 4);
    if (size) Bits(static_cast<unsigned>(diff > 0 ? diff : diff + (1 << size) - 1), size);
  }
  // Pads the entropy data with ones and writes a restart marker.
  void Restart(int n) {
    Flush();
    Marker(0xD0 + (n & 7));
  }
  void End() {
    Flush();
    Marker(0xD9);
  }
  void Flush() {
    if (count_) Bits(0x7F, 8 - count_);
  }

 private:
  void Bits(unsigned value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<std::uint8_t>(acc_ << 1 | ((value >> i) & 1));
      if (++count_ == 8) {
        bytes.push_back(acc_);
        if (acc_ == 0xFF) bytes.push_back(0);
        acc_ = 0;
        count_ = 0;
      }
    }
  }
  std::uint8_t acc_ = 0;
  int count_ = 0;
};

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

Picture Decode(const std::vector<std::uint8_t>& bytes, bool top_down = false, bool rgba = false) {
  Picture p;
  JpegDecoder decoder;
  p.parameters = decoder.ReadParameters(bytes.data(), bytes.size());
  if (p.parameters != JpegResult::kOk) return p;
  p.layout = decoder.Layout();
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

// Headers that must be refused when the parameters are read.
TEST(JpegDecoderTest, ImpossibleOrUnsupportedHeadersAreRefusedBeforeDecoding) {
  auto with_frame = [](std::vector<std::uint8_t> sof, int marker = 0xC0) {
    Stream s;
    s.Tables();
    s.Segment(marker, sof);
    s.Scan();
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
