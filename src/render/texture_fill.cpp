#include "render/texture_fill.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "image/jpeg_decoder.h"

namespace brisane {

bool DecodePicture(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::uint32_t max_width,
                   std::uint32_t max_height) {
  out = DecodedPicture{};
  JpegDecoder decoder;
  if (decoder.ReadParameters(data, size) != JpegResult::kOk) return false;
  const auto bound = [](std::uint32_t max) { return static_cast<int>(std::min<std::uint32_t>(max, INT_MAX)); };
  const int scale = decoder.ScaleFor(bound(max_width), bound(max_height));
  JpegOutput layout = decoder.Layout(scale);
  // The conversions read three bytes a pixel, whatever the picture holds.
  layout.channels = 3;
  layout.order = JpegColourOrder::kBgr;
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
  if (decoded != JpegResult::kOk && decoded != JpegResult::kCorruptData) {
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

enum class Mode { kColour, kColourAndAlpha, kAlpha };

int Narrow(int value, int from_width, int to_width) {
  return to_width < from_width ? value >> (from_width - to_width) : value;
}

std::uint32_t Channel(int value, ChannelBits bits) {
  if (bits.width == 0) return 0;
  const std::uint32_t v = static_cast<std::uint32_t>(bits.width <= 8 ? value >> (8 - bits.width) : value << (bits.width - 8));
  return v;
}

bool Fill(const TextureSurface& surface, const TextureImage& image, Mode mode, std::uint16_t threshold, bool replace) {
  const std::uint32_t depth = surface.format.rgb_bit_count;
  if ((depth != 16 && depth != 32) || surface.bits == nullptr) return false;
  const std::size_t bytes = depth / 8;
  const std::size_t pitch = surface.pitch ? surface.pitch : surface.width * bytes;
  const ChannelBits r = MaskBits(surface.format.red_mask), g = MaskBits(surface.format.green_mask);
  const ChannelBits b = MaskBits(surface.format.blue_mask), a = MaskBits(surface.format.alpha_mask);
  const double row_scale = surface.height ? static_cast<double>(image.height) / surface.height : 0.0;
  const double col_scale = surface.width ? static_cast<double>(image.width) / surface.width : 0.0;
  auto* base = static_cast<std::uint8_t*>(surface.bits);

  for (std::uint32_t y = 0; y < surface.height; ++y) {
    const std::size_t src_row = static_cast<std::size_t>(row_scale * y);
    std::uint8_t* dst = base + static_cast<std::size_t>(y) * pitch;
    for (std::uint32_t x = 0; x < surface.width; ++x, dst += bytes) {
      const std::size_t offset = src_row * image.stride + static_cast<std::size_t>(col_scale * x) * 3;
      const bool inside = image.pixels != nullptr && offset + 2 < image.size;
      std::uint32_t texel = 0;
      if (mode == Mode::kAlpha) {
        int lum = 255;
        if (inside) lum = (image.pixels[offset] + image.pixels[offset + 1] + image.pixels[offset + 2]) / 3;
        const std::uint32_t alpha = static_cast<std::uint32_t>(Narrow(lum, 8, a.width)) << a.shift;
        if (replace) {
          texel = alpha;
        } else {
          std::uint32_t old = 0;
          if (bytes == 2) {
            std::uint16_t v;
            std::memcpy(&v, dst, 2);
            old = v;
          } else {
            std::memcpy(&old, dst, 4);
          }
          texel = old | alpha;
        }
      } else if (inside) {
        const std::uint32_t red = Channel(image.pixels[offset + 2], r);
        const std::uint32_t green = Channel(image.pixels[offset + 1], g);
        const std::uint32_t blue = Channel(image.pixels[offset], b);
        texel = red << r.shift | green << g.shift | blue << b.shift;
        if (mode == Mode::kColourAndAlpha) {
          int avg = static_cast<int>((blue + green + red) / 3);
          int from = r.width;
          if (threshold != 0) {
            avg = avg < 10 ? 0 : 255;
            from = 8;
          }
          texel |= static_cast<std::uint32_t>(Narrow(avg, from, a.width)) << a.shift;
        }
      }
      if (bytes == 2) {
        const std::uint16_t v = static_cast<std::uint16_t>(texel);
        std::memcpy(dst, &v, 2);
      } else {
        std::memcpy(dst, &texel, 4);
      }
    }
  }
  return true;
}

}  // namespace

bool FillColour(const TextureSurface& surface, const TextureImage& image) {
  return Fill(surface, image, Mode::kColour, 0, false);
}

bool FillColourAndAlpha(const TextureSurface& surface, const TextureImage& image, std::uint16_t threshold) {
  return Fill(surface, image, Mode::kColourAndAlpha, threshold, false);
}

bool FillAlphaFromLuminance(const TextureSurface& surface, const TextureImage& image, bool replace) {
  return Fill(surface, image, Mode::kAlpha, 0, replace);
}

}  // namespace brisane
