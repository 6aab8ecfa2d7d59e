// The pictures through the reference decoder, and the icon with its sizes and mask.
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "asset_support.h"
#include "resources/resource_numbers.h"

namespace brisane::assets::testing {

const Asset& ById(int id) {
  static std::map<int, Asset> made;  // on demand: a test of one picture waits for no others
  if (!made.count(id)) made.emplace(id, Generate(id));
  return made.at(id);
}

namespace {

struct Decoded {
  bool baseline = false;  // JFIF, 8-bit sequential Huffman, three components
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  double luma(int x, int y) const { return 0.299 * at(x, y)[0] + 0.587 * at(x, y)[1] + 0.114 * at(x, y)[2]; }
};

// The reference library ends the process on an error, which fails the run.
Decoded Decode(const Bytes& bytes) {
  Decoded out;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  out.baseline = cinfo.saw_JFIF_marker && !cinfo.progressive_mode && !cinfo.arith_code && cinfo.data_precision == 8 &&
                 cinfo.num_components == 3;
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = static_cast<int>(cinfo.output_width);
  out.height = static_cast<int>(cinfo.output_height);
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out.rgb[static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

// Every picture a baseline JFIF (what the program's decoder reads) close to
// its source with the channels in order; the glows and smoke square powers of
// two, black (transparent when added) at every edge and lit inside.
TEST(Resources, EveryPictureDecodesToItsSource) {
  for (const resource::Entry& entry : resource::kAll) {
    if (entry.kind != resource::Kind::Jpeg && entry.kind != resource::Kind::Flag) continue;
    SCOPED_TRACE(entry.number);
    const Asset& a = ById(entry.number);
    const Decoded d = Decode(a.bytes);
    EXPECT_TRUE(d.baseline);
    ASSERT_EQ(std::pair(d.width, d.height), std::pair(a.picture.width, a.picture.height));
    const std::vector<std::uint8_t> src = a.picture.Bytes();
    double err = 0, total = 0, edge = 0;
    for (std::size_t i = 0; i < src.size(); ++i) err += std::abs(int(src[i]) - int(d.rgb[i]));
    EXPECT_LT(err / static_cast<double>(src.size()), 3.0) << "small mean error, channels in order";
    if (entry.kind == resource::Kind::Flag || entry.number == resource::kPreviewPicture) continue;
    EXPECT_EQ(d.width, d.height);
    EXPECT_EQ(d.width & (d.width - 1), 0) << "power of two";
    for (int k = 0; k < d.width; ++k)
      edge = std::max({edge, d.luma(k, 0), d.luma(k, d.height - 1), d.luma(0, k), d.luma(d.width - 1, k)});
    for (int y = 0; y < d.height; ++y)
      for (int x = 0; x < d.width; ++x) total += d.luma(x, y);
    EXPECT_LE(edge, 8.0) << "black is transparent";
    EXPECT_GT(total / (d.width * d.height), 6.0);
  }
}

TEST(Resources, IconHoldsFourSizesWithTransparentCornersAndOpaqueMiddle) {
  const Bytes& b = ById(resource::kIcon).bytes;
  ASSERT_TRUE(b.size() >= 6u + 4 * 16 && U32(b, 0) == 0x10000u && U16(b, 4) == 4) << "an icon of four images";
  std::set<int> sizes;
  for (std::size_t e = 6; e < 6 + 4 * 16; e += 16) {
    const int w = b[e] ? b[e] : 256, h = b[e + 1] ? b[e + 1] : 256;
    sizes.insert(w);
    EXPECT_EQ(std::pair(w, U16(b, e + 6)), std::pair(h, std::uint16_t{32})) << "square, 32 bits a pixel";
    const std::uint32_t size = U32(b, e + 8), offset = U32(b, e + 12);
    ASSERT_LE(std::size_t{offset} + size, b.size());
    // The height doubled for the mask, rows bottom-up.
    EXPECT_EQ(std::tuple(U32(b, offset), U32(b, offset + 4), U32(b, offset + 8)), std::tuple(40u, unsigned(w), unsigned(2 * h)));
    EXPECT_EQ(size, 40 + static_cast<std::uint32_t>(w * h * 4) + ((static_cast<std::size_t>(w) + 31) / 32) * 4 * h);
    const auto alpha = [&](int x, int y) { return b[offset + 40 + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4 + 3]; };
    EXPECT_TRUE(alpha(0, 0) == 0 && alpha(w - 1, h - 1) == 0 && alpha(w / 2, h / 2) == 255) << w;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

}  // namespace
}  // namespace brisane::assets::testing
