// The scene's texture cache key; surfaces and their loader are the platform's.
#pragma once

#include <cstdint>
#include <string>

#include "platform/textures.h"

namespace brisane {

// Textures are shared by image name and layer kind: the same picture decoded
// for another kind is another texture.
struct TextureCacheKey {
  std::string name;
  std::uint32_t kind = 0;
  friend auto operator<=>(const TextureCacheKey&, const TextureCacheKey&) = default;
};

}  // namespace brisane
