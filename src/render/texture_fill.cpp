#include "render/texture_fill.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "image/jpeg_decoder.h"

namespace brisane {

bool DecodePicture(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::uint32_t max_width,
                   std::uint32_t max_height) {
  out = DecodedPicture{};
  JpegDecoder decoder;
  if (decoder.ReadParameters(data, size) != JpegResult::Ok) return false;
  const auto bound = [](std::uint32_t max) { return static_cast<int>(std::min<std::uint32_t>(max, INT_MAX)); };
  const int scale = decoder.ScaleFor(bound(max_width), bound(max_height));
  JpegOutput layout = decoder.Layout(scale);
  // The conversions read three bytes a pixel, whatever the picture holds.
  layout.channels = 3;
  layout.order = JpegColourOrder::Bgr;
  layout.padding = (4 - (layout.width * 3) % 4) % 4;
  try {
    out.pixels.assign(layout.Bytes(), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  layout.pixels = out.pixels.data();
  layout.size = out.pixels.size();
  // A damaged picture keeps what was decoded. One refused before a single
  // row came out (a bad first scan, the memory limits) is no picture at
  // all, not a black one.
  const JpegResult decoded = decoder.Decode(layout);
  if (decoded != JpegResult::Ok && decoded != JpegResult::CorruptData) {
    out = DecodedPicture{};
    return false;
  }
  out.width = layout.width;
  out.height = -layout.height;
  out.stride = layout.Stride();
  out.scale = scale;
  return true;
}

namespace {

enum class Mode { Colour, ColourAndAlpha, Alpha };

int Narrow(int value, int from_width, int to_width) {
  return to_width < from_width ? value >> (from_width - to_width) : value;
}

std::uint32_t Channel(int value, ChannelBits bits) {
  if (bits.width == 0) return 0;
  const std::uint32_t v = static_cast<std::uint32_t>(bits.width <= 8 ? value >> (8 - bits.width) : value << (bits.width - 8));
  return v;
}

// Everything a texel's value depends on but the picture's bytes, worked out
// once a surface: each byte value's narrowed channel, and the picture's
// column under each texel.
struct Conversion {
  Conversion(const TextureSurface& surface, const TextureImage& image) {
    r = MaskBits(surface.format.red_mask), g = MaskBits(surface.format.green_mask);
    b = MaskBits(surface.format.blue_mask), a = MaskBits(surface.format.alpha_mask);
    for (int v = 0; v < 256; ++v) {
      red[v] = Channel(v, r);
      green[v] = Channel(v, g);
      blue[v] = Channel(v, b);
      alpha[v] = static_cast<std::uint32_t>(Narrow(v, 8, a.width)) << a.shift;
    }
    const double col_scale = surface.width ? static_cast<double>(image.width) / surface.width : 0.0;
    columns.resize(surface.width);
    for (std::uint32_t x = 0; x < surface.width; ++x) columns[x] = static_cast<std::size_t>(col_scale * x) * 3;
  }
  ChannelBits r, g, b, a;
  std::uint32_t red[256], green[256], blue[256], alpha[256];
  std::vector<std::size_t> columns;
};

template <std::size_t kBytes>
std::uint32_t ReadTexel(const std::uint8_t* dst) {
  if constexpr (kBytes == 2) {
    std::uint16_t v;
    std::memcpy(&v, dst, 2);
    return v;
  } else {
    std::uint32_t v;
    std::memcpy(&v, dst, 4);
    return v;
  }
}

template <std::size_t kBytes>
void WriteTexel(std::uint8_t* dst, std::uint32_t texel) {
  if constexpr (kBytes == 2) {
    const std::uint16_t v = static_cast<std::uint16_t>(texel);
    std::memcpy(dst, &v, 2);
  } else {
    std::memcpy(dst, &texel, 4);
  }
}

// One row of texels from the picture's row at src (null: past the
// picture's data, as is any texel whose bytes lie beyond the end).
template <Mode kMode, std::size_t kBytes>
void FillRow(const Conversion& c, const std::uint8_t* src, std::size_t available, std::uint8_t* dst,
             std::uint32_t width, std::uint16_t threshold, bool replace) {
  for (std::uint32_t x = 0; x < width; ++x, dst += kBytes) {
    const std::size_t offset = c.columns[x];
    const bool inside = src != nullptr && offset + 2 < available;
    std::uint32_t texel = 0;
    if constexpr (kMode == Mode::Alpha) {
      const int lum = inside ? (src[offset] + src[offset + 1] + src[offset + 2]) / 3 : 255;
      texel = c.alpha[lum];
      if (!replace) texel |= ReadTexel<kBytes>(dst);
    } else {
      if (inside) {
        const std::uint32_t red = c.red[src[offset + 2]], green = c.green[src[offset + 1]], blue = c.blue[src[offset]];
        texel = red << c.r.shift | green << c.g.shift | blue << c.b.shift;
        if constexpr (kMode == Mode::ColourAndAlpha) {
          int avg = static_cast<int>((blue + green + red) / 3);
          int from = c.r.width;
          if (threshold != 0) {
            avg = avg < 10 ? 0 : 255;
            from = 8;
          }
          texel |= static_cast<std::uint32_t>(Narrow(avg, from, c.a.width)) << c.a.shift;
        }
      }
    }
    WriteTexel<kBytes>(dst, texel);
  }
}

template <Mode kMode, std::size_t kBytes>
void FillRows(const TextureSurface& surface, const TextureImage& image, std::uint16_t threshold, bool replace) {
  const Conversion conversion(surface, image);
  const std::size_t pitch = surface.pitch ? surface.pitch : surface.width * kBytes;
  const double row_scale = surface.height ? static_cast<double>(image.height) / surface.height : 0.0;
  auto* base = static_cast<std::uint8_t*>(surface.bits);
  for (std::uint32_t y = 0; y < surface.height; ++y) {
    const std::size_t row = static_cast<std::size_t>(row_scale * y) * image.stride;
    // Bytes of the picture from the row's start on; none past its end.
    const bool rowInside = image.pixels != nullptr && row < image.size;
    FillRow<kMode, kBytes>(conversion, rowInside ? image.pixels + row : nullptr, rowInside ? image.size - row : 0,
                           base + static_cast<std::size_t>(y) * pitch, surface.width, threshold, replace);
  }
}

template <Mode kMode>
bool Fill(const TextureSurface& surface, const TextureImage& image, std::uint16_t threshold, bool replace) {
  const std::uint32_t depth = surface.format.rgb_bit_count;
  if ((depth != 16 && depth != 32) || surface.bits == nullptr) return false;
  if (depth == 16)
    FillRows<kMode, 2>(surface, image, threshold, replace);
  else
    FillRows<kMode, 4>(surface, image, threshold, replace);
  return true;
}

}  // namespace

bool FillColour(const TextureSurface& surface, const TextureImage& image) {
  return Fill<Mode::Colour>(surface, image, 0, false);
}

bool FillColourAndAlpha(const TextureSurface& surface, const TextureImage& image, std::uint16_t threshold) {
  return Fill<Mode::ColourAndAlpha>(surface, image, threshold, false);
}

bool FillAlphaFromLuminance(const TextureSurface& surface, const TextureImage& image, bool replace) {
  return Fill<Mode::Alpha>(surface, image, 0, replace);
}

}  // namespace brisane
