// The test picture both JPEG benchmarks decode: photograph-like (smooth
// shapes, an edge, a little grain), made row by row so a camera-sized one
// never needs its own buffer, and encoded by libjpeg-turbo.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace bench {

// Row y of a width x height picture as 3-byte pixels; the shapes scale with
// the width.
inline void PhotoRow(int y, int width, std::uint8_t* row) {
  const double k = width / 1024.0;
  std::uint32_t state = static_cast<std::uint32_t>(y) * 2654435761u + 1;
  for (int x = 0; x < width; ++x) {
    state = state * 1664525u + 1013904223u;
    const int grain = static_cast<int>(state >> 28) - 8;
    const double fx = x / (97.0 * k), fy = y / (61.0 * k);
    const double sky = 128 + 100 * std::sin(fx + std::cos(fy)) * std::cos(fy * 0.7);
    const double dx = x - 600 * k, dy = y - 400 * k;
    const bool disc = dx * dx + dy * dy < 150 * k * 150 * k;
    const int r = static_cast<int>(disc ? 230 - y / (8 * k) : sky);
    const int g = static_cast<int>(disc ? 120 + x / (16 * k) : 255 - sky * 0.6);
    const int b = static_cast<int>(disc ? 40 : 90 + (x + y) / (16 * k));
    std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
    p[0] = static_cast<std::uint8_t>(std::clamp(r + grain, 0, 255));
    p[1] = static_cast<std::uint8_t>(std::clamp(g + grain, 0, 255));
    p[2] = static_cast<std::uint8_t>(std::clamp(b + grain, 0, 255));
  }
}

// The picture as a quality-90 JPEG with luma sampling h x v.
inline std::vector<std::uint8_t> EncodePhoto(int width, int height, int h, int v, bool progressive) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  c.comp_info[0].h_samp_factor = h;
  c.comp_info[0].v_samp_factor = v;
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    PhotoRow(static_cast<int>(c.next_scanline), width, row.data());
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

}  // namespace bench
