// Decoded pictures and the three pixel conversions that fill texture
// surfaces from them, over a locked surface's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/texture_format.h"

namespace brisane {

// A decoded picture as the conversions read it: rows of 3 bytes a pixel
// (blue, green, red), padded to a multiple of 4 bytes, bottom row first.
struct TextureImage {
  const std::uint8_t* pixels = nullptr;
  std::size_t size = 0;  // bytes at pixels
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
};

// A decoded picture that owns its pixels.
struct DecodedPicture {
  std::vector<std::uint8_t> pixels;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  int scale = 1;  // decoded at 1/scale of the picture's own size

  TextureImage View() const { return {pixels.data(), pixels.size(), width, height, stride}; }
};

// Decodes JPEG bytes for texture loading: false when the picture's parameters
// cannot be read or its decoding is refused before any row came out (no
// texture, nothing reported). A picture damaged further on keeps whatever was
// decoded in its zero-filled buffer. Four-component pictures come out as
// blue, green, red like the others.
//
// A picture larger than max_width x max_height (0: no bound; say the
// device's largest texture) is decoded at the largest of 1/2, 1/4 and 1/8
// of its size that fits, or at 1/8 when none does, so a camera's picture is
// not decoded whole only to be sampled down. Pictures too large for the
// decoder's memory limits at full size are reduced the same way.
bool DecodePicture(const std::uint8_t* data, std::size_t size, DecodedPicture& out, std::uint32_t max_width = 0,
                   std::uint32_t max_height = 0);

// A locked texture surface: width x height texels of the format's depth.
// pitch is the distance between rows in bytes (0: packed rows).
struct TextureSurface {
  void* bits = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t pitch = 0;
  TexturePixelFormat format;
};

// The conversions sample the picture by nearest row and column, stretched to
// the surface; texture row 0 holds the picture's bottom row. They fill 16-
// and 32-bit surfaces and return false, leaving the memory alone, for any
// other depth.

// Colour bits from the picture, alpha bits 0.
bool FillColour(const TextureSurface& surface, const TextureImage& image);

// Colour bits, and alpha from the average of the narrowed colour values;
// with the threshold switch on, alpha is 0 below an average of 10 and full
// from 10 up.
bool FillColourAndAlpha(const TextureSurface& surface, const TextureImage& image, std::uint16_t threshold);

// Alpha from the average of the full 8-bit colour values, narrowed to the
// alpha width; replacing the texel (colour bits 0), or added to it by OR.
bool FillAlphaFromLuminance(const TextureSurface& surface, const TextureImage& image, bool replace);

}  // namespace brisane
