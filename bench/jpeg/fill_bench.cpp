// What turning decoded pictures into texels costs: the conversion as the
// program does it (per-surface tables, one loop per depth and kind) against
// the plain per-texel form it replaced, kept here as the reference, over the
// same pictures and surfaces in the same run. Both must write the same
// bytes; the bench says so or fails.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/texture_fill.h"
#include "render/texture_format.h"

using namespace brisane;

namespace {

// The per-texel conversion the program used before: every texel works out
// its source column in double and narrows its channels on the spot.
int Narrow(int value, int from_width, int to_width) {
  return to_width < from_width ? value >> (from_width - to_width) : value;
}

std::uint32_t Channel(int value, ChannelBits bits) {
  if (bits.width == 0) return 0;
  return static_cast<std::uint32_t>(bits.width <= 8 ? value >> (8 - bits.width) : value << (bits.width - 8));
}

void ReferenceFill(const TextureSurface& surface, const TextureImage& image, bool withAlpha) {
  const std::size_t bytes = surface.format.rgb_bit_count / 8;
  const std::size_t pitch = surface.pitch ? surface.pitch : surface.width * bytes;
  const ChannelBits r = MaskBits(surface.format.red_mask), g = MaskBits(surface.format.green_mask);
  const ChannelBits b = MaskBits(surface.format.blue_mask), a = MaskBits(surface.format.alpha_mask);
  const double row_scale = static_cast<double>(image.height) / surface.height;
  const double col_scale = static_cast<double>(image.width) / surface.width;
  auto* base = static_cast<std::uint8_t*>(surface.bits);
  for (std::uint32_t y = 0; y < surface.height; ++y) {
    const std::size_t src_row = static_cast<std::size_t>(row_scale * y);
    std::uint8_t* dst = base + static_cast<std::size_t>(y) * pitch;
    for (std::uint32_t x = 0; x < surface.width; ++x, dst += bytes) {
      const std::size_t offset = src_row * image.stride + static_cast<std::size_t>(col_scale * x) * 3;
      std::uint32_t texel = 0;
      if (offset + 2 < image.size) {
        const std::uint32_t red = Channel(image.pixels[offset + 2], r);
        const std::uint32_t green = Channel(image.pixels[offset + 1], g);
        const std::uint32_t blue = Channel(image.pixels[offset], b);
        texel = red << r.shift | green << g.shift | blue << b.shift;
        if (withAlpha)
          texel |= static_cast<std::uint32_t>(Narrow(static_cast<int>((blue + green + red) / 3), r.width, a.width))
                   << a.shift;
      }
      if (bytes == 2) {
        const std::uint16_t v = static_cast<std::uint16_t>(texel);
        std::memcpy(dst, &v, 2);
      } else {
        std::memcpy(dst, &texel, 4);
      }
    }
  }
}

template <typename F>
double Milliseconds(int rounds, F&& f) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // About what the show converts at start-up (3.5 million texels), as 256 x
  // 256 pictures stretched onto 256 x 256 and 512 x 256 surfaces.
  const int pictures = 54;
  std::vector<std::uint8_t> pixels(256 * 256 * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 37 + (i >> 9));
  const TextureImage image{pixels.data(), pixels.size(), 256, 256, 256 * 3};
  struct Case {
    const char* name;
    std::uint32_t depth, red, green, blue, alpha, width;
    bool withAlpha;
  };
  const Case cases[] = {{"32-bit colour        ", 32, 0xFF0000, 0xFF00, 0xFF, 0, 256, false},
                        {"32-bit colour, alpha ", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u, 512, true},
                        {"16-bit 565 colour    ", 16, 0xF800, 0x07E0, 0x1F, 0, 256, false},
                        {"16-bit 4444 with alpha", 16, 0x0F00, 0x00F0, 0x0F, 0xF000, 512, true}};
  std::printf("%d pictures a case, best of %d rounds\n", pictures, rounds);
  std::printf("case                   texels     reference ms  program ms  program / reference\n");
  for (const Case& c : cases) {
    TextureSurface surface;
    surface.width = c.width;
    surface.height = 256;
    surface.pitch = c.width * c.depth / 8;
    surface.format.rgb_bit_count = c.depth;
    surface.format.red_mask = c.red;
    surface.format.green_mask = c.green;
    surface.format.blue_mask = c.blue;
    surface.format.alpha_mask = c.alpha;
    std::vector<std::uint8_t> ours(surface.pitch * surface.height * pictures);
    std::vector<std::uint8_t> reference(ours.size());
    const auto run = [&](std::vector<std::uint8_t>& out, bool program) {
      for (int p = 0; p < pictures; ++p) {
        TextureSurface target = surface;
        target.bits = out.data() + static_cast<std::size_t>(p) * surface.pitch * surface.height;
        if (!program)
          ReferenceFill(target, image, c.withAlpha);
        else if (c.withAlpha)
          FillColourAndAlpha(target, image, 0);
        else
          FillColour(target, image);
      }
    };
    const double before = Milliseconds(rounds, [&] { run(reference, false); });
    const double after = Milliseconds(rounds, [&] { run(ours, true); });
    if (ours != reference) {
      std::printf("%s: the program's texels differ from the reference's\n", c.name);
      return 1;
    }
    std::printf("%-22s %9u %12.2f %11.2f %12.2f\n", c.name, surface.width * surface.height * pictures, before, after,
                after / before);
  }
  return 0;
}
