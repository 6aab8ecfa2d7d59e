// A surface: the device material plus up to six texture layers, one a kind.
// Materials are shared by meshes through the scene's material map.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "scene/descriptions.h"
#include "scene/texture_layer.h"

namespace brisane {

class SceneArchive;
class SceneResources;
class StorageBlock;

class Material {
 public:
  // Reads an "M" record. Lightmap layers are skipped unless the scene has
  // lightmaps enabled.
  Material(std::string name, StorageBlock& block, SceneArchive& archive, SceneResources& scene);
  // A material without layers, for content made in code.
  Material(std::string name, const DeviceMaterial& description, bool twoSided);
  // A copy under a new name: new layers that share the frames of these.
  Material(const Material& other, std::string newName, bool lightmapsEnabled);
  Material(const Material&) = delete;
  Material& operator=(const Material&) = delete;

  // Starts frame cycling of the layers of a kind family.
  void StartLayers(std::uint32_t rate, std::uint32_t kind);
  // Replaces the diffuse layer (the old one is destroyed).
  void SetBaseLayer(std::unique_ptr<TextureLayer> layer);

  // The layer of a kind from 1 to 6, or null.
  TextureLayer* layer(std::uint32_t kind) const;
  // Blended drawing: an opacity or an alpha-keyed layer.
  bool isTransparent() const { return layer(LayerKind::Opacity) || layer(LayerKind::AlphaKeyed); }
  // The device material, the cull mode of an opaque material and the
  // texture stages of the layers (scene/scene_draw.cpp).
  void Apply(Device& device) const;

  const std::string& name() const { return name_; }
  const DeviceMaterial& description() const { return material_; }
  std::uint32_t twoSided() const { return twoSided_; }

 private:
  DeviceMaterial material_;
  std::array<std::unique_ptr<TextureLayer>, 7> layers_;  // by kind; slot 0 unused
  std::string name_;
  std::uint32_t twoSided_ = 0;
};

DeviceMaterial ReadMaterialDescription(StorageBlock& block);

}  // namespace brisane
