#include "scene/scene.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>

#include "scene/archive.h"

namespace brisane {

Scene::Scene(const Clock& clock) : clock_(&clock), root_(std::make_unique<GeometryObject>(kSceneRootName, clock)) {}

Scene::~Scene() = default;

SceneNode* Scene::AddNode(std::unique_ptr<SceneNode> node) {
  SceneNode* raw = node.get();
  AdoptNode(std::move(node));
  RegisterNode(raw);
  return raw;
}

bool Scene::AddNode(SceneNode* node) {
  const bool owned = std::any_of(ownedNodes_.begin(), ownedNodes_.end(),
                                 [node](const std::unique_ptr<SceneNode>& p) { return p.get() == node; });
  if (!owned) return false;
  RegisterNode(node);
  return true;
}

void Scene::AdoptNode(std::unique_ptr<SceneNode> node) { ownedNodes_.push_back(std::move(node)); }

void Scene::RegisterNode(SceneNode* node) {
  nodes_[node->name()] = node;
  if (!node->parent()) root_->AddChild(node);
  if (node->isRenderable()) (node->isTransparent() ? transparentList_ : opaqueList_).push_back(node);
  if (auto* light = NodeAs<Light>(node)) {
    light->SetIndex(static_cast<std::uint32_t>(lights_.size()));
    light->MarkInScene();
    lights_.push_back(light);
  }
}

SceneNode* Scene::FindNode(const std::string& name) const {
  auto it = nodes_.find(name);
  return it == nodes_.end() ? nullptr : it->second;
}

Material* Scene::FindMaterial(const std::string& name) {
  auto it = materials_.find(name);
  return it == materials_.end() ? nullptr : it->second;
}

Material* Scene::AddMaterial(const std::string& name, std::unique_ptr<Material> material) {
  Material* raw = material.get();
  ownedMaterials_.push_back(std::move(material));
  materials_[name] = raw;
  return raw;
}

TextureRef Scene::FindTexture(const std::string& name, std::uint32_t kind) {
  auto it = textures_.find(TextureCacheKey{name, kind});
  return it == textures_.end() ? nullptr : it->second;
}

void Scene::AddTexture(const std::string& name, std::uint32_t kind, TextureRef texture) {
  textures_[TextureCacheKey{name, kind}] = std::move(texture);
}

namespace {

// What a load builds before it is known to be whole: new materials and
// textures are kept here, while those the scene already has are shared.
class Staging : public SceneResources {
 public:
  explicit Staging(Scene& scene) : scene_(scene) {}

  Material* FindMaterial(const std::string& name) override {
    auto it = materialIndex_.find(name);
    return it != materialIndex_.end() ? it->second : scene_.FindMaterial(name);
  }
  Material* AddMaterial(const std::string& name, std::unique_ptr<Material> material) override {
    Material* raw = material.get();
    materials_.emplace_back(name, std::move(material));
    materialIndex_[name] = raw;
    return raw;
  }
  TextureRef FindTexture(const std::string& name, std::uint32_t kind) override {
    auto it = textures_.find(TextureCacheKey{name, kind});
    return it != textures_.end() ? it->second : scene_.FindTexture(name, kind);
  }
  void AddTexture(const std::string& name, std::uint32_t kind, TextureRef texture) override {
    textures_[TextureCacheKey{name, kind}] = std::move(texture);
  }
  const Clock& clock() const override { return scene_.clock(); }
  TextureLoader* textureLoader() const override { return scene_.textureLoader(); }
  bool lightmapsEnabled() const override { return scene_.lightmapsEnabled(); }

  // Hands everything to the scene; nothing here can fail halfway.
  void commitTo(Scene& scene) {
    for (auto& [name, material] : materials_) scene.AddMaterial(name, std::move(material));
    for (auto& [key, texture] : textures_) scene.AddTexture(key.name, key.kind, std::move(texture));
  }

 private:
  Scene& scene_;
  std::vector<std::pair<std::string, std::unique_ptr<Material>>> materials_;
  std::map<std::string, Material*> materialIndex_;
  std::map<TextureCacheKey, TextureRef> textures_;
};

// Tells the loader every picture of the archive, as long as it lives.
class ExpectedPictures {
 public:
  ExpectedPictures(TextureLoader* loader, SceneArchive& archive) : loader_(loader) {
    if (!loader_) return;
    std::vector<std::span<const std::uint8_t>> pictures;
    for (const ArchiveKey& key : archive.keys()) {
      if (key.type != kRecordImage) continue;
      try {
        if (const StorageBlock* block = archive.GetBlock(key.name, key.type)) pictures.emplace_back(block->bytes());
      } catch (const std::exception&) {
        // Unreadable here, so also where it is used, which reports it.
      }
    }
    loader_->ExpectPictures(std::move(pictures));
  }
  ~ExpectedPictures() {
    if (loader_) loader_->ExpectPictures({});
  }
  ExpectedPictures(const ExpectedPictures&) = delete;
  ExpectedPictures& operator=(const ExpectedPictures&) = delete;

 private:
  TextureLoader* loader_;
};

void CheckDepth(const std::map<std::string, std::unique_ptr<SceneNode>>& built) {
  for (const auto& [name, node] : built) {
    std::size_t depth = 0;
    for (const SceneNode* p = node->parent(); p; p = p->parent())
      if (++depth > kMaxSceneDepth) throw SceneDataError("parent chain loops or is too deep");
  }
}

}  // namespace

bool Scene::Load(const std::string& path, std::uint16_t resourceId) {
  SceneArchive archive;
  loadError_.clear();
  if (!archive.OpenFile(path) && !(resources_ && archive.OpenResource(*resources_, resourceId))) {
    loadError_ = "the archive or its directory cannot be read";
    return false;
  }

  // The loader may decode the archive's pictures ahead while the records
  // that use them are read; it stops before the archive closes.
  ExpectedPictures expected(textureLoader_, archive);
  try {
    Staging staging(*this);
    std::map<std::string, std::unique_ptr<SceneNode>> built;
    for (const ArchiveKey& key : archive.keys()) {
      std::unique_ptr<SceneNode> node;
      try {
        if (key.type == kRecordGeometry) {
          if (StorageBlock* block = archive.GetBlock(key.name, key.type))
            node = std::make_unique<GeometryObject>(key.name, *block, archive, staging);
        } else if (key.type == kRecordCamera) {
          if (StorageBlock* block = archive.GetBlock(key.name, key.type))
            node = std::make_unique<Camera>(key.name, *block, *clock_);
        } else if (key.type == kRecordLight) {
          if (StorageBlock* block = archive.GetBlock(key.name, key.type))
            node = std::make_unique<Light>(key.name, *block, *clock_);
        }
      } catch (const SceneDataError& error) {
        throw SceneDataError("\"" + key.name + "\" " + key.type + ": " + error.what());
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        // Past the end of a record, or a record (its own or one it names)
        // outside the archive.
        throw SceneDataError("\"" + key.name + "\" " + key.type + ": cut short or outside the archive");
      }
      if (node) built[key.name] = std::move(node);
    }

    for (auto& [name, node] : built) {
      auto parent = built.find(node->parentName());
      if (parent != built.end()) parent->second->AddChild(node.get());
    }
    CheckDepth(built);

    for (auto& [name, node] : built) {
      auto* light = NodeAs<Light>(node.get());
      if (!light) continue;
      for (const std::string& excluded : light->excludedNames) {
        auto target = built.find(excluded);
        if (auto* geometry = target != built.end() ? NodeAs<GeometryObject>(target->second.get()) : nullptr)
          geometry->AddExcludedLight(light);
      }
    }

    staging.commitTo(*this);
    for (auto& [name, node] : built) AddNode(std::move(node));
  } catch (const SceneDataError& error) {
    loadError_ = error.what();
    return false;
  } catch (const std::bad_alloc&) {
    loadError_ = "out of memory";
    return false;
  } catch (const std::exception&) {
    loadError_ = "a record is cut short or lies outside the archive";
    return false;
  }
  archive.Close();
  return true;
}

}  // namespace brisane
