#include "scene/scene_node.h"

#include <algorithm>
#include <cstring>

#include "scene/archive.h"
#include "scene/material.h"
#include "scene/scene.h"
#include "scene/storage.h"

namespace brisane {

SceneNode::SceneNode(std::string name, const Clock& clock) : name_(std::move(name)), clock_(&clock) {}

void SceneNode::AddChild(SceneNode* child) {
  child->parent_ = this;
  children_.push_back(child);
}

void SceneNode::UpdateSubtree() {
  for (SceneNode* child : children_) {
    child->AnimateGeometry();
    child->Update(world_);
    child->UpdateSubtree();
  }
}

void SceneNode::Update(const Matrix& parentWorld) {
  world_ = local_ * parentWorld;
  if (animation_.animating) StepTransform();
}

void SceneNode::SetVisible(bool visible) {
  if (auto* geometry = NodeAs<GeometryObject>(this)) geometry->visible_ = visible;
  for (SceneNode* child : children_) child->SetVisible(visible);
}

void SceneNode::SetKeys(std::vector<TransformKey> keys) {
  keys_ = std::move(keys);
  animation_ = AnimationState{};
  if (!keys_.empty()) local_ = keys_.front().matrix;
}

void SceneNode::ReadHeader(StorageBlock& block) {
  parentName_ = block.ReadString();
  const std::uint16_t count = block.ReadU16();
  if (std::size_t{count} * 68 > block.remaining()) throw StorageBlock::ErrorReadPastEnd();
  keys_.resize(count);
  for (auto& key : keys_) {
    key.time = block.ReadU32();
    key.matrix = block.ReadMatrix();
  }
  // The animation steps search forward from the last key; keys out of order
  // would make them interpolate backwards across the time line.
  for (std::size_t i = 1; i < keys_.size(); ++i)
    if (keys_[i].time < keys_[i - 1].time) throw SceneDataError("transform keys out of order");
  if (!keys_.empty()) local_ = keys_.front().matrix;
}

void SceneNode::CopyNodeFields(const SceneNode& other, std::string name) {
  name_ = std::move(name);
  parent_ = other.parent_;
  parentName_ = other.parentName_;
  animation_ = other.animation_;
  keys_ = other.keys_;
  local_ = other.local_;
  world_ = other.world_;
  clock_ = other.clock_;
}

GeometryObject::GeometryObject(std::string name, const Clock& clock) : SceneNode(std::move(name), clock) {}

GeometryObject::GeometryObject(std::string name, StorageBlock& block, SceneArchive& archive, SceneResources& scene)
    : SceneNode(std::move(name), scene.clock()) {
  ReadHeader(block);
  const std::uint16_t frameCount = block.ReadU16();
  for (std::uint16_t f = 0; f < frameCount; ++f) {
    const std::uint32_t time = block.ReadU32();
    const std::uint16_t meshCount = block.ReadU16();
    std::vector<std::unique_ptr<Mesh>> meshes;
    for (std::uint16_t m = 0; m < meshCount; ++m) meshes.push_back(std::make_unique<Mesh>(block, archive, scene));
    AddFrame(time, std::move(meshes));
  }
}

GeometryFrame& GeometryObject::AddFrame(std::uint32_t time, std::vector<std::unique_ptr<Mesh>> meshes) {
  if (!frames_.empty() && time < frames_.back().time) throw SceneDataError("geometry frames out of order");
  GeometryFrame& frame = frames_.emplace_back();
  frame.time = time;
  frame.meshes = std::move(meshes);
  if (frames_.size() == 1)
    for (const auto& mesh : frame.meshes) activeMeshes_.push_back(mesh.get());
  return frame;
}

bool GeometryObject::isTransparent() const {
  if (activeMeshes_.empty() || !activeMeshes_.front()->material()) return false;
  return activeMeshes_.front()->material()->isTransparent();
}

void GeometryObject::AddExcludedLight(Light* light) {
  excludedLights_.push_back(light);
  for (SceneNode* child : children())
    if (auto* geometry = NodeAs<GeometryObject>(child)) geometry->AddExcludedLight(light);
}

std::uint32_t GeometryObject::vertexCount() const {
  std::uint32_t count = 0;
  for (const Mesh* mesh : activeMeshes_) count += mesh->vertexCount();
  return count;
}

void GeometryObject::StartTextureAnimation(std::uint32_t rate, std::uint32_t kind) {
  for (Mesh* mesh : activeMeshes_)
    if (mesh->material()) mesh->material()->StartLayers(rate, kind);
}

void GeometryObject::ReplaceMaterial(Material* newMaterial, Material* oldMaterial) {
  for (auto& frame : frames_)
    for (auto& mesh : frame.meshes)
      if (mesh->material() == oldMaterial) mesh->SetMaterial(newMaterial);
}

GeometryObject* GeometryObject::Clone(const std::string& suffix, Scene& scene, SceneNode* newParent) const {
  auto copy = std::make_unique<GeometryObject>(name() + suffix, clock());
  copy->CopyNodeFields(*this, name() + suffix);
  copy->excludedLights_ = excludedLights_;
  copy->geometry_ = geometry_;
  copy->visible_ = visible_;
  for (const auto& frame : frames_) {
    GeometryFrame& frameCopy = copy->frames_.emplace_back();
    frameCopy.time = frame.time;
    for (const auto& mesh : frame.meshes) frameCopy.meshes.push_back(std::make_unique<Mesh>(*mesh));
  }
  if (!copy->frames_.empty())
    for (const auto& mesh : copy->frames_.front().meshes) copy->activeMeshes_.push_back(mesh.get());

  for (auto& frame : copy->frames_)
    for (auto& mesh : frame.meshes) {
      Material* original = mesh->material();
      if (!original) continue;
      const std::string copyName = original->name() + suffix;
      Material* material = scene.FindMaterial(copyName);
      if (!material)
        material = scene.AddMaterial(copyName, std::make_unique<Material>(*original, copyName, scene.lightmapsEnabled()));
      mesh->SetMaterial(material);
    }

  SceneNode* parent = newParent ? newParent : this->parent();
  GeometryObject* result = copy.get();
  scene.AdoptNode(std::move(copy));
  if (parent) parent->AddChild(result);
  return result;
}

HResult GeometryObject::AppendToVertexBuffer(VertexBuffer& buffer, std::vector<std::uint16_t>& indices) const {
  // The buffer was sized with VertexSize; a format the two disagree on is
  // one we cannot lay vertices into safely.
  const std::uint32_t bufferStride = FvfStride(buffer.Fvf());
  if (bufferStride == 0 || bufferStride != VertexSize(buffer.Fvf()) || vertexCount() > buffer.Count()) return kEFail;
  auto* out = static_cast<std::uint8_t*>(buffer.Lock(d3d::kLockWait | d3d::kLockWriteOnly));
  if (!out) return kEFail;
  for (const Mesh* mesh : activeMeshes_) {
    const std::uint32_t meshStride = mesh->stride();
    const std::uint8_t* in = mesh->vertices().data();
    if (meshStride == bufferStride) {
      if (!mesh->vertices().empty()) std::memcpy(out, in, mesh->vertices().size());
      out += mesh->vertices().size();
    } else {
      // Position, normal and the first pairs line up; a longer source vertex
      // is cut to the slot instead of spilling into the next one.
      const std::uint32_t bytes = std::min(meshStride, bufferStride);
      for (std::uint16_t v = 0; v < mesh->vertexCount(); ++v) {
        std::memcpy(out, in, bytes);
        in += meshStride;
        out += bufferStride;
      }
    }
    indices.insert(indices.end(), mesh->indices().begin(), mesh->indices().end());
  }
  buffer.Unlock();
  return kOk;
}

Camera::Camera(std::string name, const Clock& clock) : SceneNode(std::move(name), clock) {}

Camera::Camera(std::string name, StorageBlock& block, const Clock& clock) : SceneNode(std::move(name), clock) {
  ReadHeader(block);
  projection = block.ReadMatrix();
}

Light::Light(std::string name, const Clock& clock) : SceneNode(std::move(name), clock) {}

Light::Light(std::string name, StorageBlock& block, const Clock& clock) : SceneNode(std::move(name), clock) {
  ReadHeader(block);
  light.type = block.ReadU32();
  for (DeviceColor* c : {&light.diffuse, &light.specular, &light.ambient}) {
    c->r = block.ReadFloat();
    c->g = block.ReadFloat();
    c->b = block.ReadFloat();
    c->a = block.ReadFloat();
  }
  for (DeviceVector* v : {&light.position, &light.direction}) {
    v->x = block.ReadFloat();
    v->y = block.ReadFloat();
    v->z = block.ReadFloat();
  }
  for (float* f : {&light.range, &light.falloff, &light.attenuation0, &light.attenuation1, &light.attenuation2,
                   &light.theta, &light.phi})
    *f = block.ReadFloat();
  const std::uint16_t count = block.ReadU16();
  for (std::uint16_t i = 0; i < count; ++i) excludedNames.push_back(block.ReadString());
}

void Light::Apply(Device& device) {
  if (!inScene_) return;
  device.SetLight(index_, light);
  device.LightEnable(index_, true);
  device_ = &device;
}

void Light::Enable(bool on) {
  if (inScene_ && device_) device_->LightEnable(index_, on);
}

void Light::Update(const Matrix& parentWorld) {
  if (!inScene_) return;
  SceneNode::Update(parentWorld);
  const Vector3 p = position();
  light.position = {p.x, p.y, p.z};
}

}  // namespace brisane
