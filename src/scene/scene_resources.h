// What record readers need of the scene they build into: shared materials
// and textures, the clock, the texture loader and the lightmap switch. The
// scene itself offers it, and so does the staging area of a load, so that a
// damaged file never leaves half its content behind.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/clock.h"
#include "scene/texture.h"

namespace brisane {

class Material;

// Content that contradicts itself (a mesh index past its vertices, a
// parent chain that loops, ...). Loading treats it like a read past the end.
struct SceneDataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class SceneResources {
 public:
  virtual ~SceneResources() = default;
  virtual Material* FindMaterial(const std::string& name) = 0;
  // Stores the material under name and returns it.
  virtual Material* AddMaterial(const std::string& name, std::unique_ptr<Material> material) = 0;
  virtual TextureRef FindTexture(const std::string& name, std::uint32_t kind) = 0;
  virtual void AddTexture(const std::string& name, std::uint32_t kind, TextureRef texture) = 0;
  virtual const Clock& clock() const = 0;
  // Null: image frames are not decoded and are left out.
  virtual TextureLoader* textureLoader() const = 0;
  virtual bool lightmapsEnabled() const = 0;
};

}  // namespace brisane
