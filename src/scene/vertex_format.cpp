#include "scene/vertex_format.h"

namespace brisane {

std::uint32_t FvfStride(std::uint32_t fvf) {
  std::uint32_t stride = 0;
  switch (fvf & 0x00E) {  // position
    case 0x002: stride = 12; break;  // xyz
    case 0x004: stride = 16; break;  // xyz rhw
    case 0x006: stride = 16; break;  // xyz + 1 weight
    case 0x008: stride = 20; break;
    case 0x00A: stride = 24; break;
    case 0x00C: stride = 28; break;
    case 0x00E: stride = 32; break;
    default: return 0;  // no position
  }
  if (fvf & 0x001) return 0;  // reserved bit
  if (fvf & 0x010) stride += 12;  // normal
  if (fvf & 0x020) return 0;  // reserved in this format generation
  if (fvf & 0x040) stride += 4;  // diffuse
  if (fvf & 0x080) stride += 4;  // specular
  const std::uint32_t textures = (fvf >> 8) & 0xF;
  if (textures > 8) return 0;
  for (std::uint32_t i = 0; i < textures; ++i) {
    static constexpr std::uint32_t kCoordinateBytes[4] = {8, 12, 16, 4};
    stride += kCoordinateBytes[(fvf >> (16 + 2 * i)) & 3];
  }
  // Size bits of pairs that are not there, or anything in between, is no format we know.
  if (fvf & 0x0000F000u) return 0;
  const std::uint32_t usedSizeBits = textures == 8 ? 0xFFFF0000u : ((1u << (2 * textures)) - 1) << 16;
  if (fvf & 0xFFFF0000u & ~usedSizeBits) return 0;
  return stride;
}

}  // namespace brisane
