// Megapixels per second decoding 1024 x 1024 pictures, the program's decoder
// against libjpeg-turbo in the same run, both into 3-byte pixels.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "bench_picture.h"

#include "image/jpeg_decoder.h"

namespace {

constexpr int kSize = 1024;

void DecodeReference(const std::vector<std::uint8_t>& jpeg, std::vector<std::uint8_t>& out) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  const std::size_t stride = d.output_width * 3;
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.data() + (d.output_height - 1 - d.output_scanline) * stride;  // bottom-up, as ours
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
}

bool DecodeOurs(const std::vector<std::uint8_t>& jpeg, std::vector<std::uint8_t>& out) {
  brisane::JpegDecoder decoder;
  if (decoder.ReadParameters(jpeg.data(), jpeg.size()) != brisane::JpegResult::Ok) return false;
  brisane::JpegOutput layout = decoder.Layout();
  layout.pixels = out.data();
  layout.size = out.size();
  return decoder.Decode(layout) == brisane::JpegResult::Ok;
}

double Seconds(const auto& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  struct Case {
    const char* name;
    int h, v;
    bool progressive;
  } cases[] = {{"4:2:0 q90 baseline", 2, 2, false}, {"4:4:4 q90 baseline", 1, 1, false}, {"4:2:0 q90 progressive", 2, 2, true}};

  std::vector<std::uint8_t> ours(static_cast<std::size_t>(kSize) * kSize * 3), ref(ours.size());
  const double mp = kSize * static_cast<double>(kSize) / 1e6;
  std::printf("1024 x 1024, best of %d rounds\n", rounds);
  std::printf("%-24s %10s %12s %12s %8s\n", "picture", "bytes", "ours MP/s", "libjpeg MP/s", "ratio");
  double ratios[3];
  int n = 0;
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> jpeg = bench::EncodePhoto(kSize, kSize, c.h, c.v, c.progressive);
    if (!DecodeOurs(jpeg, ours)) {
      std::printf("%s: decode failed\n", c.name);
      return 1;
    }
    DecodeReference(jpeg, ref);
    const bool same = ours == ref;
    // Alternating rounds, best of each: a busy machine slows both alike.
    double t_ours = 1e9, t_ref = 1e9;
    for (int i = 0; i < rounds; ++i) {
      t_ours = std::min(t_ours, Seconds([&] { DecodeOurs(jpeg, ours); }));
      t_ref = std::min(t_ref, Seconds([&] { DecodeReference(jpeg, ref); }));
    }
    ratios[n++] = t_ref / t_ours;
    std::printf("%-24s %10zu %12.1f %12.1f %8.2f%s\n", c.name, jpeg.size(), mp / t_ours, mp / t_ref, t_ref / t_ours,
                same ? "" : "  (outputs differ)");
  }
  std::printf("speed ratio ours / libjpeg-turbo: %.2f %.2f %.2f\n", ratios[0], ratios[1], ratios[2]);
  return 0;
}
