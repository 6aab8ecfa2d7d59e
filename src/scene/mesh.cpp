#include "scene/mesh.h"

#include <memory>

#include "scene/archive.h"
#include "scene/material.h"
#include "scene/scene_resources.h"
#include "scene/storage.h"
#include "scene/vertex_format.h"

namespace brisane {

Mesh::Mesh(StorageBlock& block, SceneArchive& archive, SceneResources& scene) {
  fvf_ = block.ReadU32();
  vertexCount_ = block.ReadU16();
  const std::uint32_t vertexBytes = block.ReadU32();
  if (vertexBytes > block.remaining()) throw StorageBlock::ErrorReadPastEnd();
  vertices_.resize(vertexBytes);
  block.ReadBytes(vertices_.data(), vertexBytes);

  const std::uint16_t indexCount = block.ReadU16();
  const std::uint32_t indexBytes = block.ReadU32();
  if (indexBytes != std::uint32_t{indexCount} * 2) throw SceneDataError("mesh index length does not match its count");
  if (indexBytes > block.remaining()) throw StorageBlock::ErrorReadPastEnd();
  indices_.resize(indexCount);
  for (auto& index : indices_) index = block.ReadU16();
  Validate();

  const std::string materialName = block.ReadString();
  if (materialName.empty()) return;
  material_ = scene.FindMaterial(materialName);
  if (material_) return;
  // A material without a record is left off; the mesh draws untextured.
  StorageBlock* record = archive.GetBlock(materialName, kRecordMaterial);
  if (!record) return;
  material_ = scene.AddMaterial(materialName, std::make_unique<Material>(materialName, *record, archive, scene));
}

Mesh::Mesh(std::uint32_t fvf, std::vector<std::uint8_t> vertices, std::vector<std::uint16_t> indices,
           Material* material)
    : vertices_(std::move(vertices)), indices_(std::move(indices)), material_(material), fvf_(fvf) {
  const std::uint32_t stride = FvfStride(fvf_);
  if (stride == 0 || vertices_.size() % stride != 0 || vertices_.size() / stride > 0xFFFF)
    throw SceneDataError("mesh vertices are not whole vertices of their format");
  if (indices_.size() > 0xFFFF) throw SceneDataError("mesh has too many indices");
  vertexCount_ = static_cast<std::uint16_t>(vertices_.size() / stride);
  Validate();
}

std::uint32_t Mesh::stride() const { return FvfStride(fvf_); }

void Mesh::Validate() const {
  const std::uint32_t stride = FvfStride(fvf_);
  if (stride == 0) throw SceneDataError("mesh has no usable vertex format");
  if (vertices_.size() != std::size_t{stride} * vertexCount_)
    throw SceneDataError("mesh vertex length does not match its count");
  if (indices_.size() % 3 != 0) throw SceneDataError("mesh indices are not a triangle list");
  for (std::uint16_t index : indices_)
    if (index >= vertexCount_) throw SceneDataError("mesh index past its vertices");
}

}  // namespace brisane
