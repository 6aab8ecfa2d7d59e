// What the scene knows of textures: a shared device surface, the loader that
// decodes image bytes into one, and the cache key.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "render/device.h"

namespace brisane {

// The scene's cache holds one reference to each decoded texture and layers
// share it; the last reference to go releases the surface.
using TextureRef = std::shared_ptr<Surface>;

class TextureLoader {
 public:
  virtual ~TextureLoader() = default;
  // loadKind selects the surface and pixel conversion (0 colour, 1 alpha from
  // luminance, 2 lightmap, 3 colour with alpha, 4 render target); threshold
  // is the alpha switch of kind 3. Null when the bytes do not decode.
  virtual TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                           std::uint16_t threshold) = 0;
};

// Textures are shared by image name and layer kind: the same picture decoded
// for another kind is another texture.
struct TextureCacheKey {
  std::string name;
  std::uint32_t kind = 0;
  friend auto operator<=>(const TextureCacheKey&, const TextureCacheKey&) = default;
};

}  // namespace brisane
