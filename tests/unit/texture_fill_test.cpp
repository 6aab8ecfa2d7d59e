#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <vector>

#include "render/texture_fill.h"
#include "render/texture_format.h"

namespace brisane {
namespace {

TexturePixelFormat Rgb(std::uint32_t bits, std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return {kPixelRgb | (a ? kPixelAlphaPixels : 0u), 0, bits, r, g, b, a};
}

const TexturePixelFormat kArgb8888 = Rgb(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF);
const TexturePixelFormat kXrgb8888 = Rgb(32, 0, 0xFF0000, 0xFF00, 0xFF);
const TexturePixelFormat kRgb565 = Rgb(16, 0, 0xF800, 0x07E0, 0x001F);
const TexturePixelFormat kArgb1555 = Rgb(16, 0x8000, 0x7C00, 0x03E0, 0x001F);
const TexturePixelFormat kArgb4444 = Rgb(16, 0xF000, 0x0F00, 0x00F0, 0x000F);
const TexturePixelFormat kXrgb4444 = Rgb(16, 0, 0x0F00, 0x00F0, 0x000F);

// A picture in the decoder's layout, built top row first for readability.
struct Image {
  int width, height;
  std::size_t stride;
  std::vector<std::uint8_t> pixels;
  Image(int w, int h) : width(w), height(h), stride((static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t{3}),
                        pixels(stride * static_cast<std::size_t>(h), 0) {}
  void Set(int x, int y_from_top, int r, int g, int b) {
    std::uint8_t* p = pixels.data() + static_cast<std::size_t>(height - 1 - y_from_top) * stride + static_cast<std::size_t>(x) * 3;
    std::tie(p[0], p[1], p[2]) = std::tuple(std::uint8_t(b), std::uint8_t(g), std::uint8_t(r));
  }
  TextureImage View() const { return {pixels.data(), pixels.size(), width, height, stride}; }
};

struct Surface {
  std::vector<std::uint8_t> memory;
  TextureSurface surface;
  Surface(std::uint32_t w, std::uint32_t h, const TexturePixelFormat& format, std::size_t pitch = 0)
      : memory((pitch ? pitch : w * format.rgb_bit_count / 8) * h, 0xCD), surface{memory.data(), w, h, pitch, format} {}
  std::uint32_t Texel(std::uint32_t x, std::uint32_t y) const {
    const std::size_t bytes = surface.format.rgb_bit_count / 8;
    std::uint32_t v = 0;
    std::memcpy(&v, memory.data() + y * (surface.pitch ? surface.pitch : surface.width * bytes) + x * bytes, bytes);
    return v;
  }
};

TEST(TextureSizeTest, PowersOfTwoMaximaAndSquares) {
  const TextureSizeCaps pow2{true, false, 2048, 2048};
  EXPECT_EQ(TextureSizeFor(128, 96, pow2), (TextureSize{128, 128}));
  EXPECT_EQ(TextureSizeFor(129, 3, pow2), (TextureSize{256, 4}));
  EXPECT_EQ(TextureSizeFor(300, 200, TextureSizeCaps{false, false, 2048, 2048}), (TextureSize{300, 200}));
  // A maximum of 0 counts as 256; square-only devices raise the smaller side,
  // but never past either maximum.
  EXPECT_EQ(TextureSizeFor(1000, 1000, TextureSizeCaps{false, false, 512, 0}), (TextureSize{512, 256}));
  EXPECT_EQ(TextureSizeFor(20, 100, TextureSizeCaps{true, true, 1024, 1024}), (TextureSize{128, 128}));
  EXPECT_EQ(TextureSizeFor(512, 64, TextureSizeCaps{true, true, 512, 256}), (TextureSize{256, 256}));
}

TEST(TextureFormatTest, UnusableFormatsAreLeftOutAndTheMostEvenChannelsWin) {
  const TexturePixelFormat luminance = {kPixelLuminance | kPixelAlphaPixels, 0, 16, 0xFF, 0, 0, 0xFF00};
  const TexturePixelFormat bump = {kPixelBumpDuDv, 0, 16, 0xFF, 0xFF00, 0, 0};
  const TexturePixelFormat alpha_only = {kPixelAlpha, 0, 8, 0, 0, 0, 0xFF};
  const std::vector<TexturePixelFormat> usable =
      UsableTextureFormats({kXrgb8888, luminance, bump, Rgb(8, 0, 0xE0, 0x1C, 0x03), alpha_only, kRgb565});
  EXPECT_EQ(usable, (std::vector<TexturePixelFormat>{kXrgb8888, alpha_only, kRgb565}));
  // The most even channels win, deeper formats, and later ones on a tie.
  const std::vector<TexturePixelFormat> formats = {kXrgb8888, kArgb8888, kRgb565, kArgb1555, kArgb4444, kXrgb4444};
  EXPECT_EQ(ChooseTextureFormat(formats, true, 16), kArgb8888);  // any depth for alpha
  EXPECT_EQ(ChooseTextureFormat(formats, false, 32), kXrgb8888);
  EXPECT_EQ(ChooseTextureFormat(formats, false, 16), kXrgb4444);  // all score 0: the last one
  EXPECT_EQ(ChooseTextureFormat({kArgb4444, kArgb1555}, true, 16), kArgb4444);  // 1555 scores 4
  EXPECT_EQ(ChooseTextureFormat({kXrgb8888, kRgb565}, true, 32), TexturePixelFormat{});
}

TEST(TextureFillTest, StretchedPictureRepeatsNearestRowsBottomRowFirst) {
  Image image(128, 96);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 128; ++x) image.Set(x, y, y, x, 7);
  Surface s(128, 128, kXrgb8888);
  ASSERT_TRUE(FillColour(s.surface, image.View()));
  // Red holds the picture's row from the top: surface rows start at its
  // bottom row, and four rows fill three without filtering.
  for (const auto& [y, red] : {std::pair{0u, 95u}, std::pair{1u, 95u}, std::pair{2u, 94u}, std::pair{127u, 0u}})
    for (std::uint32_t x : {0u, 127u}) EXPECT_EQ(s.Texel(x, y), red << 16 | x << 8 | 7) << x << "," << y;
}

// Each fill over a row of four pixels, in 32 and 16 bits: channels narrowed
// into their bits, the threshold against the average (not any one channel),
// alpha from luminance's top bits, replacing or added to the colour.
TEST(TextureFillTest, ColourAlphaAndThresholdGoIntoEachFormatsOwnBits) {
  Image image(4, 1);
  for (const auto& [x, r, g, b] : {std::tuple{0, 9, 9, 9}, {1, 10, 10, 10}, {2, 8, 9, 11}, {3, 200, 100, 30}}) image.Set(x, 0, r, g, b);
  enum Fill { Colour, Threshold1, Threshold0, LuminanceAdded, LuminanceOnly };
  const std::tuple<Fill, TexturePixelFormat, std::uint32_t, std::uint32_t> cases[] = {
      {Colour, kRgb565, 3, 25u << 11 | 25u << 5 | 3u},         {Colour, kArgb8888, 3, 0x00C8641Eu},  // alpha bits stay 0
      {Threshold1, kArgb8888, 0, 0x00090909u},                  {Threshold1, kArgb8888, 1, 0xFF0A0A0Au},
      {Threshold1, kArgb8888, 2, 0x0008090Bu},                  {Threshold0, kArgb8888, 3, 0x6EC8641Eu},  // the average itself
      {Threshold1, kArgb1555, 3, 0x8000u | 25u << 10 | 12u << 5 | 3u},
      {Threshold0, kArgb4444, 3, 6u << 12 | 12u << 8 | 6u << 4 | 1u},  // alpha: the narrowed average
      {LuminanceAdded, kArgb8888, 3, 0x6EC8641Eu},              {LuminanceOnly, kArgb8888, 3, 0x6E000000u},
      {LuminanceOnly, kArgb4444, 3, 6u << 12}};
  for (const auto& [fill, format, x, texel] : cases) {
    Surface s(4, 1, format);
    bool ok = false;
    switch (fill) {
      case Colour: ok = FillColour(s.surface, image.View()); break;
      case Threshold1: ok = FillColourAndAlpha(s.surface, image.View(), 1); break;
      case Threshold0: ok = FillColourAndAlpha(s.surface, image.View(), 0); break;
      case LuminanceAdded: ok = FillColour(s.surface, image.View()) && FillAlphaFromLuminance(s.surface, image.View(), false); break;
      case LuminanceOnly: ok = FillAlphaFromLuminance(s.surface, image.View(), true); break;
    }
    EXPECT_TRUE(ok);
    EXPECT_EQ(s.Texel(x, 0), texel) << fill << " " << format.rgb_bit_count << " bits, texel " << x;
  }
  // Texels past the picture's data are zero, or opaque in an alpha-only fill.
  TextureImage cut = image.View();
  cut.size = 5;  // a pixel and a bit
  Surface colour(4, 1, kArgb8888), alpha(4, 1, kArgb8888);
  ASSERT_TRUE(FillColourAndAlpha(colour.surface, cut, 1) && FillAlphaFromLuminance(alpha.surface, cut, true));
  EXPECT_EQ(std::tuple(colour.Texel(0, 0), colour.Texel(1, 0), alpha.Texel(3, 0)), std::tuple(0x00090909u, 0u, 0xFF000000u));
}

TEST(TextureFillTest, OtherDepthsAreLeftAloneAndRowPitchIsHonoured) {
  Image image(2, 2);
  for (int i = 0; i < 4; ++i) image.Set(i % 2, i / 2, 255, 0, 0);
  Surface deep(2, 2, Rgb(24, 0, 0xFF0000, 0xFF00, 0xFF));
  EXPECT_FALSE(FillColour(deep.surface, image.View()));
  EXPECT_EQ(deep.memory, std::vector<std::uint8_t>(deep.memory.size(), 0xCD));
  Surface pitched(2, 2, kRgb565, 8);  // 4 bytes of texels, 4 of slack a row
  ASSERT_TRUE(FillColour(pitched.surface, image.View()));
  EXPECT_EQ(pitched.Texel(1, 1), 0xF800u);
  EXPECT_EQ(pitched.memory[4] & pitched.memory[15], 0xCD);
}

}  // namespace
}  // namespace brisane
