#include "render/sprite.h"

#include <cmath>
#include <optional>

#include "scene/storage.h"

namespace brisane {

namespace {

// Effect pictures are small; anything bigger is not one of them.
constexpr std::uint32_t kMaxPictureBytes = 8u << 20;

Vector3 Normalised(float x, float y, float z) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length <= 0.0f) return {0, 0, 0};
  return {x / length, y / length, z / length};
}

}  // namespace

std::unique_ptr<AlphaKeyedLayer> LoadPictureLayer(const PictureSource& source, const Picture& picture) {
  auto layer = std::make_unique<AlphaKeyedLayer>(source.clock);
  layer->alpha = 255;
  const std::pair<std::string, std::uint16_t> key{picture.path, picture.resource};
  if (source.cache) {
    if (const auto found = source.cache->find(key); found != source.cache->end()) {
      if (found->second) layer->AddFrame(found->second);
      return layer;
    }
  }
  TextureRef texture;
  if (const std::optional<StorageBlock> bytes = ReadWholePicture(source.resources, picture.resource, picture.path, kMaxPictureBytes))
    texture = layer->LoadFrame(source.loader, *bytes);
  if (texture) layer->AddFrame(texture);
  if (source.cache) (*source.cache)[key] = std::move(texture);
  return layer;
}

CameraAxes ReadCameraAxes(Device& device) {
  DeviceMatrix view, projection;
  device.GetTransform(TransformState::View, view);
  device.GetTransform(TransformState::Projection, projection);
  const DeviceMatrix vp = Multiply(view, projection);
  return {Normalised(vp.m[0][0], vp.m[1][0], vp.m[2][0]), Normalised(vp.m[0][1], vp.m[1][1], vp.m[2][1])};
}

DeviceMaterial WhiteMaterial() {
  const DeviceColor white{1.0f, 1.0f, 1.0f, 1.0f};
  DeviceMaterial material;
  material.diffuse = material.ambient = material.specular = material.emissive = white;
  return material;
}

void DrawScreenQuad(Device& device, AlphaKeyedLayer& layer, float x, float y, float size, float angle,
                    std::uint8_t alpha) {
  if (!layer.currentTexture()) return;  // a bare white square would be worse than nothing
  const float half = std::floor(size / 2.0f);
  const float c = std::cos(angle), s = std::sin(angle);
  std::array<ScreenVertex, 4> quad{};
  const float corners[4][2] = {{-half, -half}, {half, -half}, {-half, half}, {half, half}};
  for (std::size_t i = 0; i < 4; ++i) {
    const float dx = corners[i][0], dy = corners[i][1];
    quad[i] = {x + dx * c - dy * s, y + dx * s + dy * c, 0.0f, 1.0f, 0x00FFFFFFu, 0u,
               dx < 0 ? 0.0f : 1.0f, dy < 0 ? 0.0f : 1.0f};
  }
  layer.alpha = alpha;
  layer.Apply(device, 0);
  SavedRenderStates saved(device, RenderState::AlphaBlendEnable, RenderState::SrcBlend, RenderState::DestBlend,
                          RenderState::CullMode, RenderState::ZEnable, RenderState::ZWriteEnable);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
  device.SetRenderState(RenderState::ZEnable, d3d::kZbFalse);
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  device.SetTransform(TransformState::World, DeviceMatrix::Identity());
  device.DrawIndexedPrimitive(PrimitiveType::TriangleList, kScreenFvf, quad.data(), 4, kQuadIndices.data(),
                              static_cast<std::uint32_t>(kQuadIndices.size()));
}

Sprite::Sprite(const PictureSource& source, const Picture& picture, std::uint32_t size, const Matrix& matrix)
    : size(size), matrix(matrix), layer_(LoadPictureLayer(source, picture)) {}

void Sprite::DrawBillboard(Device& device) {
  if (!enabled || !hasPicture()) return;
  device.SetTransform(TransformState::World, DeviceMatrix::Identity());
  const CameraAxes axes = ReadCameraAxes(device);
  const auto s = static_cast<float>(size);
  const Vector3 r = axes.right * s;
  const Vector3 u = axes.up * s;
  const Vector3 p = TranslationOf(matrix);
  // The normal faces the camera; the emissive material lights it fully anyway.
  const Vector3 n = Cross(u, r);
  const std::array<SceneQuadVertex, 4> quad = {{
      {p.x - r.x + u.x, p.y - r.y + u.y, p.z - r.z + u.z, n.x, n.y, n.z, 0.0f, 0.0f},
      {p.x + r.x + u.x, p.y + r.y + u.y, p.z + r.z + u.z, n.x, n.y, n.z, 1.0f, 0.0f},
      {p.x - r.x - u.x, p.y - r.y - u.y, p.z - r.z - u.z, n.x, n.y, n.z, 0.0f, 1.0f},
      {p.x + r.x - u.x, p.y + r.y - u.y, p.z + r.z - u.z, n.x, n.y, n.z, 1.0f, 1.0f},
  }};
  SavedRenderStates saved(device, RenderState::CullMode, RenderState::AlphaBlendEnable, RenderState::SrcBlend,
                          RenderState::DestBlend, RenderState::ZEnable);
  device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::ZEnable, zEnable);
  layer_->alpha = alpha;
  layer_->Apply(device, 0);
  device.SetMaterial(WhiteMaterial());
  device.DrawIndexedPrimitive(PrimitiveType::TriangleList, kSceneQuadFvf, quad.data(), 4, kQuadIndices.data(),
                              static_cast<std::uint32_t>(kQuadIndices.size()));
}

void Sprite::DrawOnScreen(Device& device) {
  DrawScreenQuad(device, *layer_, matrix.m[12], matrix.m[13], static_cast<float>(size), 0.0f, alpha);
}

}  // namespace brisane
