// The drawing hooks of the scene classes (Scene::render, Camera::apply,
// GeometryObject::draw, Material::Apply, TextureLayer::apply): how the
// graph reaches the device, through the device interface alone.
#include "scene/view.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "scene/material.h"
#include "scene/scene.h"
#include "scene/scene_node.h"
#include "scene/texture_layer.h"

namespace brisane {

namespace {

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

}  // namespace

DeviceMatrix ToDevice(const Matrix& matrix) {
  DeviceMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = matrix.m[static_cast<std::size_t>(i * 4 + j)];
  return r;
}

std::optional<Matrix> CameraView(const Matrix& cameraWorld) {
  Matrix flipped = cameraWorld;
  for (std::size_t c = 0; c < 4; ++c) flipped(2, c) = -flipped(2, c);
  const auto inverse = Inverse(flipped);
  if (!inverse) return std::nullopt;
  Matrix scale = Matrix::Identity();
  scale.m[0] = scale.m[5] = scale.m[10] = 0.01f;
  return *inverse * scale;
}


void Camera::Apply(Device& device) const {
  // A degenerate camera keeps the last view rather than a broken one.
  if (const auto view = CameraView(world()))
    device.SetTransform(TransformState::View, ToDevice(reflect ? ReflectedView(*view) : *view));
  device.SetTransform(TransformState::Projection, ToDevice(projection));
}

void GeometryObject::Draw(Device& device) const {
  if (!visible_) return;
  device.SetTransform(TransformState::World, ToDevice(world()));
  for (Light* light : excludedLights_) light->Enable(false);
  for (const Mesh* mesh : activeMeshes_) {
    if (mesh->material()) mesh->material()->Apply(device);
    device.DrawIndexedPrimitive(PrimitiveType::TriangleList, mesh->fvf(), mesh->vertices().data(), mesh->vertexCount(),
                                mesh->indices().data(), mesh->indexCount());
  }
  for (Light* light : excludedLights_) light->Enable(true);
}

void Scene::Render(Device& device) {
  root_->UpdateSubtree();
  if (currentCamera_) currentCamera_->Apply(device);
  for (Light* light : lights_) light->Apply(device);
  for (SceneNode* node : opaqueList_) node->Draw(device);

  const Vector3 eye = currentCamera_ ? currentCamera_->position() : Vector3{};
  std::vector<std::pair<float, SceneNode*>> order;
  order.reserve(transparentList_.size());
  for (SceneNode* node : transparentList_) order.emplace_back(DistanceSquared(node->position(), eye), node);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });

  const SavedRenderStates saved(device, RenderState::SrcBlend, RenderState::DestBlend, RenderState::CullMode);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendInvSrcAlpha);
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  // Back faces first, so the near side blends over the far side.
  for (const auto& [distance, node] : order) {
    device.SetRenderState(RenderState::CullMode, d3d::kCullCW);
    node->Draw(device);
    device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
    node->Draw(device);
  }
  // Blending and depth writes end as the opaque objects expect them.
  device.SetRenderState(RenderState::ZWriteEnable, 1);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
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
  if (const TextureLayer* keyed = layer(LayerKind::AlphaKeyed)) {
    keyed->Apply(device, stage++);
  } else {
    for (std::uint32_t kind : {LayerKind::Diffuse, LayerKind::Opacity, LayerKind::Reflection})
      if (const TextureLayer* l = layer(kind)) l->Apply(device, stage++);
  }
  if (const TextureLayer* lightmap = layer(LayerKind::Lightmap)) lightmap->Apply(device, stage);
}

Surface* TextureLayer::currentTexture() const {
  if (frames_.empty()) return nullptr;
  return frames_[currentFrame() % frames_.size()].get();
}

void TextureLayer::Apply(Device&, std::uint32_t) const {}  // untextured: nothing to set

void DiffuseLayer::Apply(Device& device, std::uint32_t stage) const {
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

void AlphaKeyedLayer::Apply(Device& device, std::uint32_t stage) const {
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

void OpacityLayer::Apply(Device& device, std::uint32_t stage) const {
  StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
  StageState(device, stage, TextureStageState::ColorArg1, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::ColorOp, d3d::kTopSelectArg1);
  StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaTexture);
  StageState(device, stage, TextureStageState::AlphaArg2, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopModulate);
  // Null unbinds: a picture that failed to decode must not leave the stage
  // reading whatever an earlier material bound there.
  device.SetTexture(stage, currentTexture());
  EndChain(device, stage);
}

void ReflectionLayer::Apply(Device& device, std::uint32_t stage) const {
  Surface* texture = currentTexture();
  if (texture) {
    StageState(device, stage, TextureStageState::TexCoordIndex,
               texCoordIndex() | d3d::kTciCameraSpaceReflectionVector);
    ModulateColour(device, stage);
  }
  device.SetTexture(stage, texture);
  EndChain(device, stage);
}

void LightmapLayer::Apply(Device& device, std::uint32_t stage) const {
  StageState(device, stage, TextureStageState::TexCoordIndex, texCoordIndex());
  StageState(device, stage, TextureStageState::ColorArg1, d3d::kTaTexture);
  StageState(device, stage, TextureStageState::ColorArg2, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::ColorOp, d3d::kTopModulate2X);
  StageState(device, stage, TextureStageState::AlphaArg1, d3d::kTaCurrent);
  StageState(device, stage, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
  device.SetTexture(stage, currentTexture());
  EndChain(device, stage);
}

}  // namespace brisane
