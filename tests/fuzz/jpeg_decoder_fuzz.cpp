// Any bytes decode to a picture or to a refusal, full size and reduced, within
// their buffers; pictures over a million pixels are only read, to keep runs fast.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/jpeg_decoder.h"
#include "render/texture_fill.h"

// Seeds: a baseline picture with restarts and a progressive one, in hex.
static const struct {
  const char* name;
  const char* hex;
} kSeeds[] = {
    {"baseline-restarts.jpg",
     "ffd8ffe000104a46494600010100000100010000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183123251d283a333d"
     "3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c656763ffdb0043011112121815182f1a1a2f63423842"
     "6363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363636363ffc00011"
     "080010001803012200021101031101ffc400160001010100000000000000000000000000000405ffc400151001010000000000000000"
     "0000000000000013ffc4001501010100000000000000000000000000000005ffc4001611000300000000000000000000000000000015"
     "61ffda000c03010002110311003f00c0a954552aa8a2165a52da88aa0a20694fffd9"},
    {"progressive-422.jpg",
     "ffd8ffe000104a46494600010100000100010000ffdb0043000d090a0b0a080d0b0a0b0e0e0d0f13201513121213271c1e17202e2931"
     "302e292d2c333a4a3e333646372c2d405741464c4e525352323e5a615a50604a51524fffdb0043010e0e0e131113261515264f352d35"
     "4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4f4fffc20011"
     "080009001103012100021101031101ffc400160001010100000000000000000000000000000305ffc400170101010101000000000000"
     "00000000000000040305ffda000c03010002100310000001a391886d21b03fffc4001610010101000000000000000000000000001400"
     "20ffda00080101000105023c78f8ffc400161101010100000000000000000000000000130010ffda0008010301013f011877ffc40016"
     "1101010100000000000000000000000000130010ffda0008010201013f0179f7ffc40014100100000000000000000000000000000020"
     "ffda0008010100063f025fffc400161001010100000000000000000000000000710020ffda0008010100013f21318e3fffda000c0301"
     "00020003000000100022ffc40014110100000000000000000000000000000020ffda0008010301013f1007ffc4001611010101000000"
     "00000000000000000000710010ffda0008010201013f1052dfffc4001710000301000000000000000000000000000011f020ffda0008"
     "010100013f10944a2563ffd9"},
};

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* corpus = std::getenv("BRISANE_FUZZ_CORPUS");
  if (corpus == nullptr) return 0;
  for (const auto& seed : kSeeds) {
    const std::string path = std::string(corpus) + "/" + seed.name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      for (const char* h = seed.hex; h[0] && h[1]; h += 2) std::fputc(std::stoi(std::string(h, 2), nullptr, 16), f);
      std::fclose(f);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brisane::JpegDecoder decoder;
  if (decoder.ReadParameters(data, size) != brisane::JpegResult::Ok) return 0;
  if (static_cast<long long>(decoder.Width()) * decoder.Height() > 1000000) return 0;
  // Full size, then a scale picked by the input (which keeps only some
  // coefficients of multi-scan pictures), each into exactly the bytes its
  // layout needs so any overrun is caught. A picture whose parameters were
  // read fails only these ways.
  for (const int scale : {1, 2 << (data[size / 2] % 3)}) {
    brisane::JpegOutput layout = decoder.Layout(scale);
    std::vector<std::uint8_t> pixels(layout.Bytes());
    layout.pixels = pixels.data(), layout.size = pixels.size();
    const brisane::JpegResult r = decoder.Decode(layout);
    if (r != brisane::JpegResult::Ok && r != brisane::JpegResult::CorruptData && r != brisane::JpegResult::BadHeader &&
        r != brisane::JpegResult::OutOfMemory)
      __builtin_trap();
  }
  // The texture path: three bytes a pixel, reduced to a small texture, then a fill.
  brisane::DecodedPicture picture;
  if (brisane::DecodePicture(data, size, picture, 64, 64)) {
    std::vector<std::uint32_t> texels(64 * 64);
    brisane::TextureSurface surface;
    surface.bits = texels.data(), surface.width = surface.height = 64;
    surface.format.rgb_bit_count = 32;
    surface.format.flags = brisane::kPixelRgb | brisane::kPixelAlphaPixels;
    surface.format.alpha_mask = 0xFF000000, surface.format.red_mask = 0xFF0000;
    surface.format.green_mask = 0xFF00, surface.format.blue_mask = 0xFF;
    brisane::FillColourAndAlpha(surface, picture.View(), 1);
  }
  return 0;
}
