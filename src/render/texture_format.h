// Texture sizes and pixel formats: the portable rules behind surface creation.
// Flag values are DirectDraw's, so the Direct3D side only copies fields.
#pragma once

#include <cstdint>
#include <vector>

namespace brisane {

inline constexpr std::uint32_t kPixelAlphaPixels = 0x00000001;    // DDPF_ALPHAPIXELS
inline constexpr std::uint32_t kPixelAlpha = 0x00000002;          // DDPF_ALPHA (alpha only)
inline constexpr std::uint32_t kPixelFourCC = 0x00000004;         // DDPF_FOURCC
inline constexpr std::uint32_t kPixelRgb = 0x00000040;            // DDPF_RGB
inline constexpr std::uint32_t kPixelLuminance = 0x00020000;      // DDPF_LUMINANCE
inline constexpr std::uint32_t kPixelBumpLuminance = 0x00040000;  // DDPF_BUMPLUMINANCE
inline constexpr std::uint32_t kPixelBumpDuDv = 0x00080000;       // DDPF_BUMPDUDV

// The fields of a DDPIXELFORMAT that texture creation reads.
struct TexturePixelFormat {
  std::uint32_t flags = 0;
  std::uint32_t four_cc = 0;
  std::uint32_t rgb_bit_count = 0;
  std::uint32_t red_mask = 0;
  std::uint32_t green_mask = 0;
  std::uint32_t blue_mask = 0;
  std::uint32_t alpha_mask = 0;

  friend bool operator==(const TexturePixelFormat&, const TexturePixelFormat&) = default;
};

// Shift (index of the lowest set bit) and width (set bits) of a channel mask;
// both 0 for an empty mask.
struct ChannelBits {
  int shift = 0;
  int width = 0;
};
ChannelBits MaskBits(std::uint32_t mask);

// What the device's caps say about texture sizes.
struct TextureSizeCaps {
  bool power_of_two = false;      // D3DPTEXTURECAPS_POW2
  bool square_only = false;       // D3DPTEXTURECAPS_SQUAREONLY
  std::uint32_t max_width = 0;    // 0 counts as 256
  std::uint32_t max_height = 0;
};

struct TextureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const TextureSize&, const TextureSize&) = default;
};

// The largest surface the caps allow (a maximum of 0 counts as 256).
TextureSize MaxTextureSize(const TextureSizeCaps& caps);

// Pictures are decoded no larger than this a side, whatever the device
// takes: the show's own pictures are smaller, and a camera's photo chosen as
// the flag needs no more than this to look sharp at the masthead.
inline constexpr std::uint32_t kMaxDecodedSide = 2048;

// The largest sides a picture is decoded at for these caps.
TextureSize DecodedSides(const TextureSizeCaps& caps);

// The surface size for a picture of width x height: raised to powers of two
// when required, limited to the maxima, made square when required. A square
// never exceeds either maximum: its side is cut to the smaller one.
TextureSize TextureSizeFor(std::uint32_t width, std::uint32_t height, const TextureSizeCaps& caps);

// The enumerated texture formats worth scoring: bump-map, luminance and
// FourCC formats go, and those under 16 bits unless they are alpha-only.
std::vector<TexturePixelFormat> UsableTextureFormats(const std::vector<TexturePixelFormat>& enumerated);

// The best format of the list: with alpha, the one whose channels are most
// even (any depth); without, the most even one of exactly bit_count bits and
// no alpha. Deeper formats win, and so do later ones on a tie. All zero when
// nothing fits.
TexturePixelFormat ChooseTextureFormat(const std::vector<TexturePixelFormat>& usable, bool alpha,
                                       std::uint32_t bit_count);

}  // namespace brisane
