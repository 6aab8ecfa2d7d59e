// The in-memory scene: a tree of nodes under "SceneRoot", a name map, the
// flat lists the renderer walks, the shared materials and decoded textures,
// and the camera the scene is seen through.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scene/material.h"
#include "platform/resource_source.h"
#include "scene/scene_node.h"
#include "scene/scene_resources.h"
#include "scene/texture.h"

namespace brisane {

// The root made with every scene; files name their top level kFileRootName.
inline constexpr char kSceneRootName[] = "SceneRoot";
// Deepest parent chain a scene file may build; deeper chains (or loops) are
// damage, and the recursive walks stay far from the stack's end.
inline constexpr std::size_t kMaxSceneDepth = 256;

class Scene : public SceneResources {
 public:
  explicit Scene(const Clock& clock);
  ~Scene() override;
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Where the scene resource is found; without one only files load.
  void SetResourceSource(const ResourceSource* resources) { resources_ = resources; }
  // Who decodes image records; without one, layers get no frames.
  void SetTextureLoader(TextureLoader* loader) { textureLoader_ = loader; }
  // Off: lightmap layers are neither read nor copied.
  void SetLightmapsEnabled(bool enabled) { lightmapsEnabled_ = enabled; }

  // Builds the scene from the file at path, or when that cannot be opened
  // from the scene resource resourceId. False when neither opens or the
  // archive is damaged; the scene is then exactly as it was.
  bool Load(const std::string& path, std::uint16_t resourceId);
  // Why the last load failed, in a few words; empty after a success.
  const std::string& loadError() const { return loadError_; }

  // Registers a node: into the name map (a node of the same name is only
  // shadowed there), under the root when it has no parent, into a draw list
  // when renderable, into the light list when a light.
  SceneNode* AddNode(std::unique_ptr<SceneNode> node);
  // The same for a node the scene already owns (a clone); false otherwise.
  bool AddNode(SceneNode* node);
  // Takes ownership without registering.
  void AdoptNode(std::unique_ptr<SceneNode> node);

  SceneNode* FindNode(const std::string& name) const;
  // The node of that name when it is a T, else null.
  template <typename T>
  T* FindNode(const std::string& name) const {
    return NodeAs<T>(FindNode(name));
  }

  Material* FindMaterial(const std::string& name) override;
  // Stores or replaces; a replaced material stays alive for the meshes that
  // still point to it.
  Material* AddMaterial(const std::string& name, std::unique_ptr<Material> material) override;
  TextureRef FindTexture(const std::string& name, std::uint32_t kind) override;
  void AddTexture(const std::string& name, std::uint32_t kind, TextureRef texture) override;
  const Clock& clock() const override { return *clock_; }
  TextureLoader* textureLoader() const override { return textureLoader_; }
  bool lightmapsEnabled() const override { return lightmapsEnabled_; }

  GeometryObject& root() { return *root_; }
  const GeometryObject& root() const { return *root_; }
  const std::map<std::string, SceneNode*>& nodes() const { return nodes_; }
  const std::vector<SceneNode*>& transparentList() const { return transparentList_; }
  const std::vector<SceneNode*>& opaqueList() const { return opaqueList_; }
  const std::vector<Light*>& lights() const { return lights_; }
  const std::map<std::string, Material*>& materials() const { return materials_; }
  const std::map<TextureCacheKey, TextureRef>& textures() const { return textures_; }
  Camera* currentCamera() const { return currentCamera_; }
  // Updates the tree and draws it through the current camera: lights, the
  // opaque list in order, then the transparent list blended, farthest first
  // (scene/scene_draw.cpp).
  void Render(Device& device);
  void SetCurrentCamera(Camera* camera) { currentCamera_ = camera; }

 private:
  void RegisterNode(SceneNode* node);

  const Clock* clock_;
  std::string loadError_;
  const ResourceSource* resources_ = nullptr;
  TextureLoader* textureLoader_ = nullptr;
  bool lightmapsEnabled_ = true;

  std::vector<std::unique_ptr<SceneNode>> ownedNodes_;
  std::map<std::string, SceneNode*> nodes_;
  std::vector<SceneNode*> transparentList_;
  std::vector<SceneNode*> opaqueList_;
  std::unique_ptr<GeometryObject> root_;
  std::vector<std::unique_ptr<Material>> ownedMaterials_;
  std::map<std::string, Material*> materials_;
  std::vector<Light*> lights_;
  Camera* currentCamera_ = nullptr;
  std::map<TextureCacheKey, TextureRef> textures_;
};

}  // namespace brisane
