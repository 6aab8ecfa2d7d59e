#include "scene/material.h"

#include "scene/scene_resources.h"
#include "scene/storage.h"

namespace brisane {

namespace {

DeviceColor ReadColor(StorageBlock& block) {
  DeviceColor c;
  c.r = block.ReadFloat();
  c.g = block.ReadFloat();
  c.b = block.ReadFloat();
  c.a = block.ReadFloat();
  return c;
}

}  // namespace

DeviceMaterial ReadMaterialDescription(StorageBlock& block) {
  DeviceMaterial d;
  d.diffuse = ReadColor(block);
  d.ambient = ReadColor(block);
  d.specular = ReadColor(block);
  d.emissive = ReadColor(block);
  d.power = block.ReadFloat();
  return d;
}

Material::Material(std::string name, StorageBlock& block, SceneArchive& archive, SceneResources& scene)
    : name_(std::move(name)) {
  material_ = ReadMaterialDescription(block);
  twoSided_ = block.ReadU16();
  const std::uint16_t count = block.ReadU16();
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint16_t kind = block.ReadU16();
    if (kind == 0 || kind > 6) continue;  // no fields follow such a kind
    // A lightmap is always the last layer, so skipping its fields unread
    // cannot misalign what follows.
    if (kind == LayerKind::Lightmap && !scene.lightmapsEnabled()) continue;
    auto layer = MakeTextureLayer(kind, scene.clock());
    layer->ReadFrames(block, archive, scene);
    layers_[kind] = std::move(layer);
  }
}

Material::Material(std::string name, const DeviceMaterial& description, bool twoSided)
    : material_(description), name_(std::move(name)), twoSided_(twoSided ? 1 : 0) {}

Material::Material(const Material& other, std::string newName, bool lightmapsEnabled)
    : material_(other.material_), name_(std::move(newName)), twoSided_(other.twoSided_) {
  for (std::uint32_t kind : {1u, 5u, 2u, 3u, 4u, 6u}) {
    if (!other.layers_[kind]) continue;
    if (kind == LayerKind::Lightmap && !lightmapsEnabled) continue;
    layers_[kind] = other.layers_[kind]->Copy();
  }
}

void Material::StartLayers(std::uint32_t rate, std::uint32_t kind) {
  auto start = [&](std::uint32_t slot) {
    if (layers_[slot]) layers_[slot]->Start(rate);
  };
  switch (kind) {
    case 1: start(LayerKind::Diffuse); start(LayerKind::AlphaKeyed); break;
    case 2: start(LayerKind::Untextured); break;
    case 3: start(LayerKind::Reflection); break;
    case 4:
    case 6: start(LayerKind::Opacity); start(LayerKind::AlphaKeyed); break;
    case 5: start(LayerKind::Lightmap); break;
    default: break;
  }
}

void Material::SetBaseLayer(std::unique_ptr<TextureLayer> layer) { layers_[LayerKind::Diffuse] = std::move(layer); }

TextureLayer* Material::layer(std::uint32_t kind) const {
  if (kind == 0 || kind > 6) return nullptr;
  return layers_[kind].get();
}

}  // namespace brisane
