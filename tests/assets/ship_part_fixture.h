// Shared by the ship tests: one part of the ship scene authored alone and
// loaded by the program's own loader, and what its meshes show.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/clock.h"
#include "platform/resource_source.h"
#include "scene/archive.h"
#include "scene/scene.h"
#include "show/ship_contract.h"
#include "ship/author.h"
#include "ship/layout.h"
#include "ship/parts.h"

namespace brisane::assets::ship::fixtures {

inline Vector3 VertexAt(const Mesh& mesh, std::size_t i) {
  float f[3];
  std::memcpy(f, mesh.vertices().data() + i * mesh.stride(), sizeof f);
  return {f[0], f[1], f[2]};
}

// Made by the show as a copy rather than found in the scene.
inline bool IsCopy(std::string_view node) {
  for (const contract::CloneSpec& c : contract::kClones)
    if (node.size() == c.original.size() + c.suffix.size() && node.starts_with(c.original) && node.ends_with(c.suffix))
      return true;
  return false;
}

inline float VisibleArea(const GeometryObject& g) {
  float area = 0;
  for (const Mesh* mesh : g.activeMeshes())
    for (std::size_t k = 0; k + 2 < mesh->indices().size(); k += 3) {
      const auto& idx = mesh->indices();
      const Vector3 a = VertexAt(*mesh, idx[k]);
      area += Length(Cross(VertexAt(*mesh, idx[k + 1]) - a, VertexAt(*mesh, idx[k + 2]) - a)) / 2;
    }
  return area;
}

template <class Part>
class LoadedShipPart : public ::testing::Test {
 protected:
  struct AnyTexture : TextureLoader {  // pictures not decoded
    TextureRef createTextureFromJpeg(std::span<const std::uint8_t>, std::uint32_t, std::uint16_t) override {
      return std::make_shared<Surface>();
    }
  };
  void SetUp() override {  // the part alone under the ship's two frames
    SceneAuthor author;
    author.group(layout::kShip, SceneAuthor::kRoot, Matrix::Identity());
    author.group(layout::kRig, layout::kShip, Translate(layout::kRigOffset));
    Part::Author(author);
    resources_.add(contract::kSceneResource, kSceneResourceType, author.finish());
    scene_ = std::make_unique<Scene>(clock_);
    scene_->SetResourceSource(&resources_);
    scene_->SetTextureLoader(&textures_);
    ASSERT_TRUE(scene_->Load("", contract::kSceneResource)) << scene_->loadError();
    settle();
  }
  SceneNode& node(std::string_view name) {
    SceneNode* n = scene_->FindNode(std::string(name));
    if (!n) throw std::runtime_error("no node " + std::string(name));
    return *n;
  }
  GeometryObject& object(std::string_view name) { return dynamic_cast<GeometryObject&>(node(name)); }
  void at(std::uint32_t ms) {
    clock_.set(kStart + ms);
    settle();
  }
  void settle() {  // world matrices lag their animation by one pass
    scene_->root().UpdateSubtree();
    scene_->root().UpdateSubtree();
  }
  static constexpr std::uint32_t kStart = 50000;
  ManualClock clock_{kStart};
  MemoryResourceSource resources_;
  AnyTexture textures_;
  std::unique_ptr<Scene> scene_;
};

}  // namespace brisane::assets::ship::fixtures
