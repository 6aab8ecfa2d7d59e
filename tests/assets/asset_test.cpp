// Every resource is present, well formed and decodes: the flags drawn, the
// glow and smoke pictures fading to black, the preview's evening sky, the
// icon with its sizes.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "asset_support.h"
#include "flags.h"
#include "resources/resource_numbers.h"

namespace brisane::assets::testing {

const Asset& ById(int id) {
  // Made on demand, so a test of one picture does not wait for all of them.
  static std::map<int, Asset> made;
  auto it = made.find(id);
  if (it == made.end()) it = made.emplace(id, Generate(id)).first;
  return it->second;
}

std::vector<const Asset*> Generated() {
  std::vector<const Asset*> all;
  for (int id : AssetIds()) all.push_back(&ById(id));
  return all;
}

namespace {

struct ErrorJump {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

// What the stream's header declares.
struct Header {
  bool jfif = false;
  int frame = 0, components = 0;  // the SOFn code
};

int FrameCode(const Bytes& b) {
  for (std::size_t at = 2; at + 4 <= b.size() && b[at] == 0xFF && b[at + 1] != 0xDA; at += 2 + (b[at + 2] << 8 | b[at + 3])) {
    const int code = b[at + 1];
    if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) return code;
  }
  return 0;
}

// No objects with destructors live across the setjmp.
bool DecodeInto(const Bytes& bytes, Decoded* out, Header* header, ErrorJump* err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = [](j_common_ptr info) {
    info->err->format_message(info, reinterpret_cast<ErrorJump*>(info->err)->message);
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
  };
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  *header = {cinfo.saw_JFIF_marker != 0, FrameCode(bytes), cinfo.num_components};
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out->width = static_cast<int>(cinfo.output_width);
  out->height = static_cast<int>(cinfo.output_height);
  out->rgb.resize(static_cast<std::size_t>(out->width) * out->height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &out->rgb[static_cast<std::size_t>(cinfo.output_scanline) * out->width * 3];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

Decoded Decode(const Bytes& bytes, Header* header) {
  Decoded d;
  ErrorJump err{};
  d.ok = DecodeInto(bytes, &d, header, &err);
  if (!d.ok) d.error = err.message;
  return d;
}

double Luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

}  // namespace

Decoded DecodeJpeg(const Bytes& bytes) {
  Header ignored;
  return Decode(bytes, &ignored);
}

int Distance(const std::uint8_t* p, int r, int g, int b) {
  return std::max({std::abs(p[0] - r), std::abs(p[1] - g), std::abs(p[2] - b)});
}

namespace {

// The generator makes each number of the list as its kind, in the file the
// resource script and the build name for that kind.
TEST(Resources, EveryListedNumberIsGeneratedAsItsKindInItsFile) {
  using enum resource::Kind;
  const std::map<resource::Kind, std::pair<AssetKind, const char*>> made = {
      {Icon, {AssetKind::Icon, "icon_%d.ico"}}, {Scene, {AssetKind::Scene, "scene_%d.sss"}},
      {Jpeg, {AssetKind::Jpeg, "jpeg_%d.jpg"}}, {Flag, {AssetKind::Jpeg, "jpeg_%d.jpg"}}, {Wav, {AssetKind::Wav, "wav_%d.wav"}}};
  for (const resource::Entry& entry : resource::kAll) {
    const Asset& a = ById(entry.number);
    char file[32];
    std::snprintf(file, sizeof file, made.at(entry.kind).second, entry.number);
    EXPECT_EQ(std::pair(a.kind, a.file), std::pair(made.at(entry.kind).first, std::string(file))) << entry.number;
    EXPECT_FALSE(a.bytes.empty()) << entry.number;
  }
  EXPECT_EQ(AssetIds().size(), resource::kAll.size());
  EXPECT_THROW(Generate(resource::kFlagPictures.back() + 1), std::out_of_range);
  EXPECT_THROW(FlagName(kFlagCount), std::out_of_range);
}

// Baseline JFIF in three components that decodes to its size and keeps the
// picture; flags drawn in two colours at least; glows and smoke square,
// black (transparent) at every edge and lit inside; the preview an evening sky.
TEST(Resources, EveryPictureDecodesAndLooksItsPart) {
  const std::set<int> bright = {resource::kSunGlowPicture, resource::kFlarePicture4, resource::kLanternGlowPicture1,
                                resource::kLanternGlowPicture2, resource::kFlashPicture};
  for (const resource::Entry& entry : resource::kAll) {
    if (entry.kind != resource::Kind::Jpeg && entry.kind != resource::Kind::Flag) continue;
    SCOPED_TRACE(entry.number);
    const Asset& a = ById(entry.number);
    Header header;
    const Decoded d = Decode(a.bytes, &header);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_TRUE(header.jfif);
    EXPECT_EQ(std::pair(header.frame, header.components), std::pair(0xC0, 3)) << "baseline sequential only";
    EXPECT_EQ(std::pair(d.width, d.height), std::pair(a.picture.width, a.picture.height));
    const std::vector<std::uint8_t> src = a.picture.Bytes();
    double err = 0, total = 0, edge = 0;
    for (std::size_t i = 0; i < src.size(); ++i) err += std::abs(int(src[i]) - int(d.rgb[i]));
    EXPECT_LT(err / static_cast<double>(src.size()), 3.0) << "small mean error, channels in order";
    if (entry.kind == resource::Kind::Flag) {
      EXPECT_EQ(d.width, kFlagWidth);
      int spread = 0;
      for (int y = 0; y < d.height; y += 3)
        for (int x = 0; x < d.width; x += 3) spread = std::max(spread, Distance(d.at(x, y), d.rgb[0], d.rgb[1], d.rgb[2]));
      EXPECT_GT(spread, 100) << FlagName(entry.number - kFirstFlagId) << ": a second colour somewhere";
    } else if (entry.number == resource::kPreviewPicture) {
      EXPECT_EQ(std::pair(d.width, d.height), std::pair(152, 112));
      const std::uint8_t *top = d.frac(0.9, 0.02), *horizon = d.frac(0.9, 0.55);
      EXPECT_TRUE(top[2] > top[0] && horizon[0] > horizon[2]) << "blue overhead, warm at the horizon";
      EXPECT_GT(Luma(horizon), Luma(top));
    } else {
      EXPECT_EQ(d.width, d.height);
      EXPECT_EQ(d.width & (d.width - 1), 0) << "power of two";
      for (int k = 0; k < d.width; ++k)
        edge = std::max({edge, Luma(d.at(k, 0)), Luma(d.at(k, d.height - 1)), Luma(d.at(0, k)), Luma(d.at(d.width - 1, k))});
      for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x) total += Luma(d.at(x, y));
      EXPECT_LE(edge, 8.0) << "black is transparent";
      EXPECT_GT(total / (d.width * d.height), 6.0) << "not empty";
      EXPECT_TRUE(!bright.count(entry.number) || Luma(d.frac(0.5, 0.5)) > 200) << "a bright core";
    }
  }
}

TEST(Resources, IconHoldsFourSizesWithTransparentCornersAndOpaqueMiddle) {
  const Bytes& b = ById(resource::kIcon).bytes;
  ASSERT_GE(b.size(), 6u + 4 * 16);
  EXPECT_EQ(U32(b, 0), 0x10000u) << "reserved 0, type 1";
  ASSERT_EQ(U16(b, 4), 4);
  std::set<int> sizes;
  for (std::size_t e = 6; e < 6 + 4 * 16; e += 16) {
    const int w = b[e] ? b[e] : 256, h = b[e + 1] ? b[e + 1] : 256;
    sizes.insert(w);
    EXPECT_EQ(std::pair(w, U16(b, e + 6)), std::pair(h, std::uint16_t{32})) << "square, 32 bits a pixel";
    const std::uint32_t size = U32(b, e + 8), offset = U32(b, e + 12);
    ASSERT_LE(std::size_t{offset} + size, b.size());
    // BITMAPINFOHEADER with the height doubled for the mask, rows bottom-up.
    EXPECT_EQ(std::vector({U32(b, offset), U32(b, offset + 4), U32(b, offset + 8)}),
              std::vector<std::uint32_t>({40, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(2 * h)}));
    EXPECT_EQ(size, 40 + static_cast<std::uint32_t>(w * h * 4) + ((static_cast<std::size_t>(w) + 31) / 32) * 4 * h);
    const auto alpha = [&](int x, int y) { return b[offset + 40 + (static_cast<std::size_t>(h - 1 - y) * w + x) * 4 + 3]; };
    EXPECT_EQ(std::vector({alpha(0, 0), alpha(w - 1, h - 1), alpha(w / 2, h / 2)}), std::vector<std::uint8_t>({0, 0, 255}))
        << w;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

}  // namespace
}  // namespace brisane::assets::testing
