// One drawable piece of a geometry object: interleaved vertices, a triangle
// list of u16 indices, and the shared material.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisane {

class Material;
class SceneArchive;
class SceneResources;
class StorageBlock;

class Mesh {
 public:
  // Reads a mesh record and resolves its material through the scene, reading
  // the material's record on first use. Throws SceneDataError when the
  // record contradicts itself (see Mesh below).
  Mesh(StorageBlock& block, SceneArchive& archive, SceneResources& scene);
  // A mesh made in code. The vertices must be whole vertices of the format,
  // the indices a triangle list within them; otherwise SceneDataError.
  Mesh(std::uint32_t fvf, std::vector<std::uint8_t> vertices, std::vector<std::uint16_t> indices,
       Material* material = nullptr);
  Mesh(const Mesh&) = default;
  Mesh& operator=(const Mesh&) = default;

  std::uint32_t fvf() const { return fvf_; }
  std::uint32_t stride() const;
  std::uint16_t vertexCount() const { return vertexCount_; }
  std::uint16_t indexCount() const { return static_cast<std::uint16_t>(indices_.size()); }
  const std::vector<std::uint8_t>& vertices() const { return vertices_; }
  const std::vector<std::uint16_t>& indices() const { return indices_; }
  Material* material() const { return material_; }
  void SetMaterial(Material* material) { material_ = material; }

 private:
  // Every consumer (drawing, vertex buffers) trusts these relations.
  void Validate() const;

  std::vector<std::uint8_t> vertices_;
  std::uint16_t vertexCount_ = 0;
  std::vector<std::uint16_t> indices_;
  Material* material_ = nullptr;
  std::uint32_t fvf_ = 0;
};

}  // namespace brisane
