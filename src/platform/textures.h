// Texture surfaces as the core asks for them: decoded from JPEG bytes in one
// of the load kinds, or made empty as render targets of a given kind.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/device.h"

namespace brisane {

// Surface kinds: 0 and 2 opaque textures, 1 and 3 alpha textures, 4 a render
// target with its own z-buffer, 5 a render target without one.
enum class SurfaceKind : int {
  Opaque = 0,
  Alpha = 1,
  Lightmap = 2,
  Keyed = 3,
  TargetWithDepth = 4,
  Target = 5,
};

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
  // The pictures about to be asked for, in about that order, their bytes
  // valid until the next call: a loader may decode them ahead, on another
  // thread, while the scene loads. An empty list ends that.
  virtual void ExpectPictures(std::vector<std::span<const std::uint8_t>> /*pictures*/) {}
  // An empty surface of the kind, width x height after the device's size
  // rules (SurfaceSize tells the size it got). Null when the device caps
  // cannot be read; a failed creation is the platform's fatal error. Loaders
  // without a device (tools) make none.
  virtual TextureRef CreateSurfaceOfType(std::uint32_t /*width*/, std::uint32_t /*height*/, SurfaceKind /*kind*/) {
    return nullptr;
  }
  // Width and height of a surface this loader made; 0 x 0 for any other.
  virtual void SurfaceSize(const Surface& /*surface*/, std::uint32_t& width, std::uint32_t& height) const {
    width = height = 0;
  }
};

}  // namespace brisane
