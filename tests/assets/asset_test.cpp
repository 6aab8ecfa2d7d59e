// Every resource is present, well formed and decodes; the icon carries its sizes.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "asset_support.h"
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

void OnError(j_common_ptr info) {
  auto* e = reinterpret_cast<ErrorJump*>(info->err);
  info->err->format_message(info, e->message);
  std::longjmp(e->jump, 1);
}

// No objects with destructors live across the setjmp.
bool DecodeInto(const Bytes& bytes, Decoded* out, ErrorJump* err) {
  jpeg_decompress_struct cinfo;
  cinfo.err = jpeg_std_error(&err->mgr);
  err->mgr.error_exit = OnError;
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
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

}  // namespace

Decoded DecodeJpeg(const Bytes& bytes) {
  Decoded d;
  ErrorJump err{};
  d.ok = DecodeInto(bytes, &d, &err);
  if (!d.ok) d.error = err.message;
  return d;
}

int Distance(const std::uint8_t* p, int r, int g, int b) {
  return std::max({std::abs(p[0] - r), std::abs(p[1] - g), std::abs(p[2] - b)});
}

namespace {

// The frame markers of a JPEG stream, walked segment by segment up to the scan.
struct Markers {
  bool jfif = false;
  std::set<int> frames;  // SOFn codes
  int components = 0;
};

Markers ReadMarkers(const Bytes& b) {
  Markers m;
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return m;
  std::size_t pos = 2;
  while (pos + 4 <= b.size() && b[pos] == 0xFF) {
    int code = b[pos + 1];
    std::size_t len = static_cast<std::size_t>(b[pos + 2] << 8 | b[pos + 3]);
    if (code == 0xE0 && len >= 7 && pos + 9 <= b.size()) m.jfif = std::string(b.begin() + pos + 4, b.begin() + pos + 9) == std::string("JFIF\0", 5);
    if (code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) {
      m.frames.insert(code);
      if (pos + 9 < b.size()) m.components = b[pos + 9];
    }
    if (code == 0xDA) break;
    pos += 2 + len;
  }
  return m;
}

// The generator makes each number of the list as its kind, in the file the
// resource script and the build name for that kind.
TEST(Resources, EveryListedNumberIsGeneratedAsItsKindInItsFile) {
  struct Made {
    AssetKind kind;
    const char* file;
  };
  const std::map<resource::Kind, Made> made = {{resource::Kind::Icon, {AssetKind::Icon, "icon_%d.ico"}},
                                               {resource::Kind::Scene, {AssetKind::Scene, "scene_%d.sss"}},
                                               {resource::Kind::Jpeg, {AssetKind::Jpeg, "jpeg_%d.jpg"}},
                                               {resource::Kind::Flag, {AssetKind::Jpeg, "jpeg_%d.jpg"}},
                                               {resource::Kind::Wav, {AssetKind::Wav, "wav_%d.wav"}}};
  for (const resource::Entry& entry : resource::kAll) {
    const Asset& a = ById(entry.number);
    char file[32];
    std::snprintf(file, sizeof file, made.at(entry.kind).file, entry.number);
    EXPECT_EQ(a.kind, made.at(entry.kind).kind) << entry.number;
    EXPECT_EQ(a.file, file);
    EXPECT_FALSE(a.bytes.empty()) << entry.number;
  }
  EXPECT_EQ(AssetIds().size(), resource::kAll.size());
  EXPECT_THROW(Generate(resource::kFlagPictures.back() + 1), std::out_of_range);
}

TEST(Resources, JpegsAreBaselineJfifWithThreeComponentsAndDecodeToTheirSize) {
  for (const Asset* p : Generated()) {
    const Asset& a = *p;
    if (a.kind != AssetKind::Jpeg) continue;
    SCOPED_TRACE(a.file);
    Markers m = ReadMarkers(a.bytes);
    EXPECT_TRUE(m.jfif);
    EXPECT_EQ(m.frames, (std::set<int>{0xC0})) << "baseline sequential only";
    EXPECT_EQ(m.components, 3);
    Decoded d = DecodeJpeg(a.bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.width, a.picture.width);
    EXPECT_EQ(d.height, a.picture.height);
    // The encoding keeps the picture: small mean error, channels in order.
    const std::vector<std::uint8_t> src = a.picture.Bytes();
    double err = 0;
    for (std::size_t i = 0; i < src.size(); ++i) err += std::abs(int(src[i]) - int(d.rgb[i]));
    EXPECT_LT(err / static_cast<double>(src.size()), 3.0);
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
    EXPECT_EQ(w, h);
    EXPECT_EQ(U16(b, e + 6), 32) << "bits a pixel";
    const std::uint32_t size = U32(b, e + 8), offset = U32(b, e + 12);
    ASSERT_LE(std::size_t{offset} + size, b.size());
    // BITMAPINFOHEADER with the height doubled for the mask, rows bottom-up.
    EXPECT_EQ(std::vector({U32(b, offset), U32(b, offset + 4), U32(b, offset + 8)}),
              std::vector<std::uint32_t>({40, static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(2 * h)}));
    EXPECT_EQ(size, 40 + static_cast<std::uint32_t>(w * h * 4) + ((static_cast<std::size_t>(w) + 31) / 32) * 4 * h);
    const auto alpha = [&](int x, int y) { return b[offset + 40 + ((static_cast<std::size_t>(h - 1 - y) * w + x) * 4) + 3]; };
    EXPECT_EQ(std::vector({alpha(0, 0), alpha(w - 1, h - 1), alpha(w / 2, h / 2)}), std::vector<std::uint8_t>({0, 0, 255})) << w;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

}  // namespace
}  // namespace brisane::assets::testing
