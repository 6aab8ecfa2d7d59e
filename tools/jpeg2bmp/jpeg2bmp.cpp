// jpeg2bmp IN.jpg OUT.bmp: decodes with the program's own decoder and writes
// its output rows unchanged as an uncompressed BMP (24-bit, or 32-bit for
// four-component pictures, whose rows are red, green, blue, alpha).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "image/jpeg_decoder.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: jpeg2bmp IN.jpg OUT.bmp\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "jpeg2bmp: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::vector<std::uint8_t> jpeg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  brisane::JpegDecoder decoder;
  const brisane::JpegResult read = decoder.ReadParameters(jpeg.data(), jpeg.size());
  if (read != brisane::JpegResult::Ok) {
    std::fprintf(stderr, "jpeg2bmp: %s: %s\n", argv[1], brisane::JpegResultText(read));
    return 1;
  }
  // Full size where the decoder's limits allow, else reduced to fit them.
  brisane::JpegOutput layout = decoder.Layout(decoder.ScaleFor(0, 0));
  std::vector<std::uint8_t> pixels(layout.Bytes(), 0);
  layout.pixels = pixels.data();
  layout.size = pixels.size();
  const brisane::JpegResult decoded = decoder.Decode(layout);
  if (decoded == brisane::JpegResult::CorruptData) {
    std::fprintf(stderr, "jpeg2bmp: %s: warning: %s\n", argv[1], brisane::JpegResultText(decoded));
  } else if (decoded != brisane::JpegResult::Ok) {
    std::fprintf(stderr, "jpeg2bmp: %s: %s\n", argv[1], brisane::JpegResultText(decoded));
    return 1;
  }

  std::vector<std::uint8_t> bmp;
  const std::uint32_t offset = 14 + 40;
  bmp.push_back('B');
  bmp.push_back('M');
  Put32(bmp, offset + static_cast<std::uint32_t>(pixels.size()));
  Put32(bmp, 0);
  Put32(bmp, offset);
  Put32(bmp, 40);
  Put32(bmp, static_cast<std::uint32_t>(layout.width));
  Put32(bmp, static_cast<std::uint32_t>(-layout.height));  // positive: bottom-up rows
  Put16(bmp, 1);
  Put16(bmp, static_cast<std::uint32_t>(layout.channels * 8));
  Put32(bmp, 0);  // BI_RGB
  Put32(bmp, static_cast<std::uint32_t>(pixels.size()));
  Put32(bmp, 2835);  // 72 dpi
  Put32(bmp, 2835);
  Put32(bmp, 0);
  Put32(bmp, 0);
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());

  std::ofstream out(argv[2], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  if (!out) {
    std::fprintf(stderr, "jpeg2bmp: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
