// What a camera-sized picture costs on its way to a texture: peak memory the
// decode takes (the pixels it hands back included) and its time, decoded
// whole as before and reduced to fit a 2048 and a 256 texture, against
// libjpeg-turbo's own scaled decode of the same bytes in the same run.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include <jpeglib.h>

#include "bench_picture.h"

#include "render/texture_fill.h"

namespace {

// Live and peak bytes of everything allocated with new.
std::size_t g_live = 0;
std::size_t g_peak = 0;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// libjpeg-turbo at 1/scale into one buffer of 3-byte rows.
void DecodeReference(const std::vector<std::uint8_t>& jpeg, int scale, std::vector<std::uint8_t>& out) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(scale);
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  const std::size_t stride = d.output_width * 3;
  out.resize(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.data() + d.output_scanline * stride;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
}

double Seconds(const auto& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

}  // namespace

// The counting allocator hands out malloc'ed blocks with their size in front;
// GCC takes the free of such a block for a mismatched delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  auto* p = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (!p) throw std::bad_alloc();
  *p = size;
  g_live += size;
  g_peak = std::max(g_peak, g_live);
  return reinterpret_cast<char*>(p) + sizeof(std::max_align_t);
}

void operator delete(void* p) noexcept {
  if (!p) return;
  auto* base = reinterpret_cast<std::size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  g_live -= *base;
  std::free(base);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  struct Case {
    const char* name;
    int h, v;
    bool progressive;
  } cases[] = {{"4:2:0 baseline", 2, 2, false}, {"4:2:0 progressive", 2, 2, true}, {"4:4:4 progressive", 1, 1, true}};
  struct Limit {
    const char* name;
    std::uint32_t largest;
  } limits[] = {{"whole", 0}, {"2048", 2048}, {"256", 256}};

  std::printf("6000 x 4000 q90, into 3-byte rows; best of %d rounds\n", rounds);
  std::printf("%-18s %-6s %6s %11s %12s %9s %11s %8s\n", "picture", "limit", "scale", "output", "peak MB", "vs whole",
              "ours ms", "ratio");
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> jpeg = bench::EncodePhoto(kWidth, kHeight, c.h, c.v, c.progressive);
    double whole_peak = 0;
    for (const Limit& limit : limits) {
      brisane::DecodedPicture picture;
      const std::size_t before = g_live;
      g_peak = g_live;
      if (!brisane::DecodePicture(jpeg.data(), jpeg.size(), picture, limit.largest, limit.largest)) {
        std::printf("%-18s %-6s refused\n", c.name, limit.name);
        continue;
      }
      const double peak = static_cast<double>(g_peak - before) / 1e6;
      if (limit.largest == 0) whole_peak = peak;
      const int scale = picture.scale;
      picture = {};
      std::vector<std::uint8_t> ref;
      double t_ours = 1e9, t_ref = 1e9;
      for (int i = 0; i < rounds; ++i) {
        t_ours = std::min(t_ours, Seconds([&] {
                            brisane::DecodePicture(jpeg.data(), jpeg.size(), picture, limit.largest, limit.largest);
                          }));
        t_ref = std::min(t_ref, Seconds([&] { DecodeReference(jpeg, scale, ref); }));
      }
      char size[32];
      std::snprintf(size, sizeof size, "%dx%d", picture.width, picture.height);
      std::printf("%-18s %-6s %6s %11s %12.1f %8.1f%% %11.1f %8.2f\n", c.name, limit.name,
                  scale == 1 ? "1" : (scale == 2 ? "1/2" : (scale == 4 ? "1/4" : "1/8")), size, peak,
                  whole_peak > 0 ? 100.0 * peak / whole_peak : 100.0, t_ours * 1e3, t_ref / t_ours);
    }
  }
  std::printf("peak MB: bytes the decode held at once, its output included\n"
              "ratio: libjpeg-turbo's time / ours, at the same scale\n");
  return 0;
}
