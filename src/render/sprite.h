// Textured quads for the effects: a billboard that faces the camera inside
// the scene (the muzzle flash) or a flat quad in screen pixels (the sun's
// flare). Both draw additively with their own alpha and leave the blend,
// cull and depth states as they found them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "platform/device.h"
#include "platform/resource_source.h"
#include "platform/textures.h"
#include "scene/matrix.h"
#include "scene/texture_layer.h"

namespace brisane {

// Where an effect's picture comes from: a file when path is not empty, else
// the JPEGFILE resource.
struct Picture {
  std::string path;
  std::uint16_t resource = 0;
};

// Pictures already decoded, by where they came from (path, resource), so
// effects that show the same picture share one texture.
using PictureCache = std::map<std::pair<std::string, std::uint16_t>, TextureRef>;

// Everything an effect needs to decode its picture.
struct PictureSource {
  const Clock& clock;
  TextureLoader* loader;  // null: no pictures are decoded
  const ResourceSource& resources;
  PictureCache* cache = nullptr;  // null: each effect decodes its own
};

// An alpha-keyed layer (threshold switch off, alpha 255) holding the
// picture; without a frame when the picture cannot be read or decoded.
std::unique_ptr<AlphaKeyedLayer> LoadPictureLayer(const PictureSource& source, const Picture& picture);

// The camera's right and up directions in the world, unit length, from the
// device's view and projection.
struct CameraAxes {
  Vector3 right, up;
};
CameraAxes ReadCameraAxes(Device& device);

// Vertex of the billboards and smoke: position, normal, one texture pair.
struct SceneQuadVertex {
  float x, y, z, nx, ny, nz, u, v;
};
inline constexpr std::uint32_t kSceneQuadFvf = d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex1;

// Vertex of the screen-space quads and the glows' test point.
struct ScreenVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse, specular;
  float u, v;
};
inline constexpr std::uint32_t kScreenFvf = d3d::kFvfXyzRhw | d3d::kFvfDiffuse | d3d::kFvfSpecular | d3d::kFvfTex1;

// The two triangles of every quad: corners top-left, top-right,
// bottom-left, bottom-right.
inline constexpr std::array<std::uint16_t, 6> kQuadIndices = {0, 1, 2, 3, 2, 1};

// Draws the textured screen quad of side `size` pixels centred at (x, y),
// turned by `angle` radians, with the layer at `alpha`: additive, no depth
// test, no culling; the states are restored afterwards.
void DrawScreenQuad(Device& device, AlphaKeyedLayer& layer, float x, float y, float size, float angle,
                    std::uint8_t alpha);

// A white material that is also emissive, so effects glow the same by day
// and by night.
DeviceMaterial WhiteMaterial();

class Sprite {
 public:
  Sprite(const PictureSource& source, const Picture& picture, std::uint32_t size, const Matrix& matrix);

  // In the scene at the matrix's position, facing the camera; only while
  // enabled.
  void DrawBillboard(Device& device);
  // In screen pixels at the matrix's x and y.
  void DrawOnScreen(Device& device);

  bool hasPicture() const { return layer_->currentTexture() != nullptr; }
  const AlphaKeyedLayer& layer() const { return *layer_; }

  bool enabled = true;
  std::uint32_t size;
  Matrix matrix;
  std::uint8_t alpha = 255;
  std::uint32_t zEnable = 0;

 private:
  std::unique_ptr<AlphaKeyedLayer> layer_;
};

}  // namespace brisane
