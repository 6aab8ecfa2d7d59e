#include "render/texture_format.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace brisane {

ChannelBits MaskBits(std::uint32_t mask) {
  if (mask == 0) return {};
  return {std::countr_zero(mask), std::popcount(mask)};
}

namespace {

std::uint32_t NextPowerOfTwo(std::uint32_t v) {
  std::uint32_t p = 1;
  while (p < v && p < 0x80000000u) p <<= 1;
  return p;
}

}  // namespace

TextureSize MaxTextureSize(const TextureSizeCaps& caps) {
  return {caps.max_width ? caps.max_width : 256, caps.max_height ? caps.max_height : 256};
}

TextureSize DecodedSides(const TextureSizeCaps& caps) {
  const TextureSize largest = MaxTextureSize(caps);
  return {std::min(largest.width, kMaxDecodedSide), std::min(largest.height, kMaxDecodedSide)};
}

TextureSize TextureSizeFor(std::uint32_t width, std::uint32_t height, const TextureSizeCaps& caps) {
  TextureSize s{std::max<std::uint32_t>(width, 1), std::max<std::uint32_t>(height, 1)};
  if (caps.power_of_two) {
    s.width = NextPowerOfTwo(s.width);
    s.height = NextPowerOfTwo(s.height);
  }
  const std::uint32_t max_w = MaxTextureSize(caps).width;
  const std::uint32_t max_h = MaxTextureSize(caps).height;
  s.width = std::min(s.width, max_w);
  s.height = std::min(s.height, max_h);
  if (caps.square_only) {
    // Raising the smaller side must not pass that side's own maximum.
    const std::uint32_t side = std::min({std::max(s.width, s.height), max_w, max_h});
    s.width = s.height = side;
  }
  return s;
}

std::vector<TexturePixelFormat> UsableTextureFormats(const std::vector<TexturePixelFormat>& enumerated) {
  std::vector<TexturePixelFormat> usable;
  for (const TexturePixelFormat& f : enumerated) {
    if (f.flags & (kPixelBumpDuDv | kPixelBumpLuminance | kPixelLuminance)) continue;
    if (f.flags & kPixelFourCC) continue;
    if (f.rgb_bit_count < 16 && !(f.flags & kPixelAlpha)) continue;
    usable.push_back(f);
  }
  return usable;
}

TexturePixelFormat ChooseTextureFormat(const std::vector<TexturePixelFormat>& usable, bool alpha,
                                       std::uint32_t bit_count) {
  TexturePixelFormat best;
  int best_score = 20;
  for (const TexturePixelFormat& f : usable) {
    const int a = MaskBits(f.alpha_mask).width, r = MaskBits(f.red_mask).width;
    const int g = MaskBits(f.green_mask).width, b = MaskBits(f.blue_mask).width;
    int score;
    if (alpha) {
      if (!(f.flags & kPixelAlphaPixels)) continue;
      score = (std::abs(a - b) + std::abs(a - g) + std::abs(a - r)) / 3;
    } else {
      if (f.rgb_bit_count != bit_count || (f.flags & kPixelAlphaPixels)) continue;
      score = (std::abs(r - b) + std::abs(r - g)) / 2;
    }
    if (f.rgb_bit_count >= best.rgb_bit_count && score <= best_score) {
      best = f;
      best_score = score;
    }
  }
  return best;
}

}  // namespace brisane
