#include "render/scene_renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/material.h"
#include "scene/scene.h"
#include "scene/scene_node.h"
#include "scene/texture_layer.h"

namespace brisane {

namespace {

constexpr std::uint32_t kMinFilterAnisotropic = 3;  // D3DTFN_ANISOTROPIC
constexpr std::uint32_t kMagFilterAnisotropic = 5;  // D3DTFG_ANISOTROPIC

std::uint32_t Channel(float level) {
  // Clamped so that a level outside 0..1 cannot spill into the next channel.
  const float scaled = std::clamp(level, 0.0f, 1.0f) * 255.0f;
  return static_cast<std::uint32_t>(scaled);
}

void StageState(Device& device, std::uint32_t stage, TextureStageState state, std::uint32_t value) {
  device.SetTextureStageState(stage, state, value);
}

// Every layer ends the chain after itself; a later layer opens it again.
void EndChain(Device& device, std::uint32_t stage) {
  StageState(device, stage + 1, TextureStageState::ColorOp, d3d::kTopDisable);
  StageState(device, stage + 1, TextureStageState::AlphaOp, d3d::kTopDisable);
}

void ModulateColour(Device& device, std::uint32_t stage) {
  StageState(device, stage, TextureStageState::ColorArg1, d3d::kTaTexture);
  StageState(device, stage, TextureStageState::ColorArg2, d3d::kTaDiffuse);
  StageState(device, stage, TextureStageState::ColorOp, d3d::kTopModulate);
}

std::uint32_t AlphaFactor(std::uint8_t alpha) { return static_cast<std::uint32_t>(alpha) << 24; }

float DistanceSquared(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace

DeviceMatrix ToDevice(const Matrix& matrix) {
  DeviceMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = matrix.m[static_cast<std::size_t>(i * 4 + j)];
  return r;
}

void SetFixedRenderStates(Device& device, bool anisotropic, const AmbientLevels& ambient) {
  const std::uint32_t minFilter = anisotropic ? kMinFilterAnisotropic : d3d::kFilterLinear;
  const std::uint32_t magFilter = anisotropic ? kMagFilterAnisotropic : d3d::kFilterLinear;
  for (std::uint32_t stage = 0; stage < 2; ++stage) {
    device.SetTextureStageState(stage, TextureStageState::MinFilter, minFilter);
    device.SetTextureStageState(stage, TextureStageState::MagFilter, magFilter);
  }
  device.SetRenderState(RenderState::Ambient, 0xFF000000u | Channel(ambient.red) << 16 |
                                                  Channel(ambient.green) << 8 | Channel(ambient.blue));
  device.SetRenderState(RenderState::DitherEnable, 1);
  device.SetRenderState(RenderState::SpecularEnable, 0);
  device.SetRenderState(RenderState::LocalViewer, 0);
  device.SetRenderState(RenderState::ZEnable, 1);
  device.SetRenderState(RenderState::Lighting, 1);
  device.SetRenderState(RenderState::AlphaTestEnable, 1);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::ShadeMode, d3d::kShadeGouraud);
  device.SetRenderState(RenderState::StippledAlpha, 1);
}

std::optional<Matrix> CameraView(const Matrix& cameraWorld) {
  Matrix flipped = cameraWorld;
  for (std::size_t c = 0; c < 4; ++c) flipped(2, c) = -flipped(2, c);
  const auto inverse = Inverse(flipped);
  if (!inverse) return std::nullopt;
  Matrix scale = Matrix::identity();
  scale.m[0] = scale.m[5] = scale.m[10] = 0.01f;
  return *inverse * scale;
}

// --- drawing hooks of the scene classes ---

void Camera::apply(Device& device) const {
  // A degenerate camera keeps the last view rather than a broken one.
  if (const auto view = CameraView(world())) device.SetTransform(TransformState::View, ToDevice(*view));
  device.SetTransform(TransformState::Projection, ToDevice(projection));
}

void GeometryObject::draw(Device& device) const {
  if (!visible_) return;
  device.SetTransform(TransformState::World, ToDevice(world()));
  for (Light* light : excludedLights_) light->enable(false);
  for (const Mesh* mesh : activeMeshes_) {
    if (mesh->material()) mesh->material()->Apply(device);
    device.DrawIndexedPrimitive(PrimitiveType::TriangleList, mesh->fvf(), mesh->vertices().data(), mesh->vertexCount(),
                                mesh->indices().data(), mesh->indexCount());
  }
  for (Light* light : excludedLights_) light->enable(true);
}

void Scene::render(Device& device) {
  root_->updateSubtree();
  if (currentCamera_) currentCamera_->apply(device);
  for (Light* light : lights_) light->apply(device);
  for (SceneNode* node : opaqueList_) node->draw(device);

  const Vector3 eye = currentCamera_ ? currentCamera_->position() : Vector3{};
  std::vector<std::pair<float, SceneNode*>> order;
  order.reserve(transparentList_.size());
  for (SceneNode* node : transparentList_) order.emplace_back(DistanceSquared(node->position(), eye), node);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });

  std::uint32_t srcBlend = d3d::kBlendOne, destBlend = d3d::kBlendZero, cullMode = d3d::kCullCCW;
  device.GetRenderState(RenderState::SrcBlend, srcBlend);
  device.GetRenderState(RenderState::DestBlend, destBlend);
  device.GetRenderState(RenderState::CullMode, cullMode);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendInvSrcAlpha);
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  // Back faces first, so the near side blends over the far side.
  for (const auto& [distance, node] : order) {
    device.SetRenderState(RenderState::CullMode, d3d::kCullCW);
    node->draw(device);
    device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
    node->draw(device);
  }
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  device.SetRenderState(RenderState::CullMode, cullMode);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  device.SetRenderState(RenderState::SrcBlend, srcBlend);
  device.SetRenderState(RenderState::DestBlend, destBlend);
}

void Material::Apply(Device& device) const {
  device.SetMaterial(material_);
  if (!isTransparent()) {
    const std::uint32_t wanted = twoSided_ ? d3d::kCullNone : d3d::kCullCCW;
    std::uint32_t current = 0;
    if (Failed(device.GetRenderState(RenderState::CullMode, current)) || current != wanted)
      device.SetRenderState(RenderState::CullMode, wanted);
  }
  std::uint32_t stage = 0;
  if (const TextureLayer* keyed = layer(LayerAlphaKeyed)) {
    keyed->apply(device, stage++);
  } else {
    for (std::uint32_t kind : {LayerDiffuse, LayerOpacity, LayerReflection})
      if (const TextureLayer* l = layer(kind)) l->apply(device, stage++);
  }
  if (const TextureLayer* lightmap = layer(LayerLightmap)) lightmap->apply(device, stage);
}

Surface* TextureLayer::currentTexture() const {
  if (frames_.empty()) return nullptr;
  return frames_[currentFrame() % frames_.size()].get();
}

void TextureLayer::apply(Device&, std::uint32_t) const {}  // untextured: nothing to set

void DiffuseLayer::apply(Device& device, std::uint32_t stage) const {
  Surface* texture = currentTexture();
  if (texture) {
    StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
    ModulateColour(device, stage);
    device.SetRenderState(RenderState::TextureFactor, AlphaFactor(alpha));
    StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaTFactor);
    StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
  }
  device.SetTexture(stage, texture);
  EndChain(device, stage);
}

void AlphaKeyedLayer::apply(Device& device, std::uint32_t stage) const {
  Surface* texture = currentTexture();
  if (texture) {
    StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
    ModulateColour(device, stage);
    if (alpha == 255) {
      StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaTexture);
      StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
    } else {
      device.SetRenderState(RenderState::TextureFactor, AlphaFactor(alpha));
      StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaTexture);
      StageState(device, stage, TextureStageState::AlphaArg2, d3d::kTaTFactor);
      StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopModulate);
    }
  }
  device.SetTexture(stage, texture);
  EndChain(device, stage);
}

void OpacityLayer::apply(Device& device, std::uint32_t stage) const {
  StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
  StageState(device, stage, TextureStageState::ColorArg1, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::ColorOp, d3d::kTopSelectArg1);
  StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaTexture);
  StageState(device, stage, TextureStageState::AlphaArg2, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopModulate);
  if (Surface* texture = currentTexture()) device.SetTexture(stage, texture);
  EndChain(device, stage);
}

void ReflectionLayer::apply(Device& device, std::uint32_t stage) const {
  Surface* texture = currentTexture();
  if (texture) {
    StageState(device, stage, TextureStageState::TexCoordIndex,
               texCoordIndex() | d3d::kTciCameraSpaceReflectionVector);
    ModulateColour(device, stage);
  }
  device.SetTexture(stage, texture);
  EndChain(device, stage);
}

void LightmapLayer::apply(Device& device, std::uint32_t stage) const {
  StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
  StageState(device, stage, TextureStageState::ColorArg1, d3d::kTaTexture);
  StageState(device, stage, TextureStageState::ColorArg2, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::ColorOp, d3d::kTopModulate2X);
  StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
  if (Surface* texture = currentTexture()) device.SetTexture(stage, texture);
  EndChain(device, stage);
}

}  // namespace brisane
