// The nodes of the scene graph: geometry objects, cameras and lights, each
// with timed local transforms, linked into a tree under the scene's root.
// Nodes belong to their Scene; parent and child links do not own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "scene/descriptions.h"
#include "scene/matrix.h"
#include "scene/mesh.h"
#include "scene/vertex_format.h"

namespace brisane {

class Light;
class Material;
class Scene;
class SceneArchive;
class SceneResources;
class StorageBlock;

// The numbers index per-type tables (the scene dump counts by type).
struct NodeType {
  enum : std::uint32_t { Geometry = 0, Light = 1, Camera = 2 };
};

// One keyed animation: transforms of a node, or geometry frames of an object.
struct AnimationState {
  std::uint32_t animStart = 0;  // clock milliseconds taken as time zero
  std::uint32_t fromTime = 0;   // key time shown at time zero
  std::uint32_t period = 0;     // real milliseconds a pass; 0 holds the pose at fromTime
  float speed = 1.0f;           // key milliseconds a real millisecond
  std::int32_t loops = -1;      // passes to play; negative = endless
  bool animating = false;
  std::uint32_t current = 0;    // key or frame where the last search ended
};

class SceneNode {
 public:
  SceneNode(std::string name, const Clock& clock);
  virtual ~SceneNode() = default;
  SceneNode(const SceneNode&) = delete;
  SceneNode& operator=(const SceneNode&) = delete;

  virtual std::uint32_t type() const = 0;
  virtual bool isRenderable() const { return false; }
  virtual bool isTransparent() const { return false; }
  // world = local x parentWorld, then the transform animation may move local
  // for the next pass: a node's world lags its animation by one frame.
  virtual void Update(const Matrix& parentWorld);
  virtual void AnimateGeometry() {}
  // Drawing (scene/scene_draw.cpp); only geometry objects draw.
  virtual void Draw(Device&) const {}

  void AddChild(SceneNode* child);
  const std::string& name() const { return name_; }
  const std::string& parentName() const { return parentName_; }
  SceneNode* parent() const { return parent_; }
  const std::vector<SceneNode*>& children() const { return children_; }

  // Depth first, pre-order, from this node's world; this node stays as it is.
  void UpdateSubtree();
  // Shows or hides every geometry object of the subtree, this node included.
  void SetVisible(bool visible);

  // Plays the transform keys of this node and every node below it.
  void StartAnimation(std::uint32_t fromTime, std::uint32_t toTime, std::int32_t startOffset, float speed,
                      std::int32_t loops);
  // Changes the speed of running animations here and below, keeping the pose
  // of this moment. A speed that is not positive is ignored.
  void SetAnimationSpeed(float speed);

  const std::vector<TransformKey>& keys() const { return keys_; }
  void SetKeys(std::vector<TransformKey> keys);
  const AnimationState& animation() const { return animation_; }
  const Matrix& local() const { return local_; }
  void SetLocal(const Matrix& local) { local_ = local; }
  const Matrix& world() const { return world_; }
  Vector3 position() const { return TranslationOf(world_); }

 protected:
  // Reads parent name and keys; local becomes the first key.
  void ReadHeader(StorageBlock& block);
  // The fields a clone takes over, under a new name.
  void CopyNodeFields(const SceneNode& other, std::string name);
  const Clock& clock() const { return *clock_; }

 private:
  void StepTransform();

  std::string name_;
  SceneNode* parent_ = nullptr;
  std::string parentName_;
  AnimationState animation_;
  std::vector<TransformKey> keys_;
  std::vector<SceneNode*> children_;
  Matrix local_ = Matrix::Identity();
  Matrix world_ = Matrix::Identity();
  const Clock* clock_;
};

struct GeometryFrame {
  std::uint32_t time = 0;
  std::vector<std::unique_ptr<Mesh>> meshes;
};

class GeometryObject : public SceneNode {
 public:
  // An empty grouping node (the scene's root is one).
  GeometryObject(std::string name, const Clock& clock);
  // Reads a "GO" record. Bytes after the last frame are ignored.
  GeometryObject(std::string name, StorageBlock& block, SceneArchive& archive, SceneResources& scene);

  static constexpr std::uint32_t kType = NodeType::Geometry;
  std::uint32_t type() const override { return kType; }
  bool isRenderable() const override { return true; }
  // Judged by the first active mesh's material.
  bool isTransparent() const override;
  void AnimateGeometry() override;

  // Adds a frame (times ascending) and returns it; the first frame becomes
  // the active one.
  GeometryFrame& AddFrame(std::uint32_t time, std::vector<std::unique_ptr<Mesh>> meshes);

  void Draw(Device& device) const override;
  void AddExcludedLight(Light* light);
  std::uint32_t vertexCount() const;
  void StartTextureAnimation(std::uint32_t rate, std::uint32_t kind);
  void ReplaceMaterial(Material* newMaterial, Material* oldMaterial);
  // A deep copy named name + suffix, with materials copied under their name
  // + suffix unless the scene already has such a material. It hangs under
  // newParent (or this object's parent) and belongs to the scene, but is not
  // in its name map or draw lists until Scene::AddNode.
  GeometryObject* Clone(const std::string& suffix, Scene& scene, SceneNode* newParent = nullptr) const;
  // Copies the active meshes' vertices one after another into the buffer
  // (converting between strides when they differ) and appends their indices
  // unchanged. Fails without writing past the buffer when it is too small.
  HResult AppendToVertexBuffer(VertexBuffer& buffer, std::vector<std::uint16_t>& indices) const;

  void StartGeometryAnimation(std::uint32_t fromTime, std::uint32_t toTime, std::int32_t startOffset, float speed,
                              std::int32_t loops);

  const std::vector<Mesh*>& activeMeshes() const { return activeMeshes_; }
  const std::vector<GeometryFrame>& frames() const { return frames_; }
  const std::vector<Light*>& excludedLights() const { return excludedLights_; }
  const AnimationState& geometryAnimation() const { return geometry_; }
  std::uint32_t currentFrame() const { return geometry_.current; }
  bool visible() const { return visible_; }

 private:
  friend class SceneNode;
  std::vector<Mesh*> activeMeshes_;
  std::vector<Light*> excludedLights_;
  AnimationState geometry_;
  std::vector<GeometryFrame> frames_;
  bool visible_ = true;
};

class Camera : public SceneNode {
 public:
  Camera(std::string name, const Clock& clock);
  // Reads a "C" record: node header and projection matrix.
  Camera(std::string name, StorageBlock& block, const Clock& clock);
  static constexpr std::uint32_t kType = NodeType::Camera;
  std::uint32_t type() const override { return kType; }

  Matrix projection = Matrix::Identity();
  // Set while the reflection pass renders a mirrored view.
  bool reflect = false;
  // View (from the world matrix, scaled by 0.01) and projection into the device.
  void Apply(Device& device) const;
};

class Light : public SceneNode {
 public:
  Light(std::string name, const Clock& clock);
  // Reads an "L" record: node header, light description, excluded names.
  Light(std::string name, StorageBlock& block, const Clock& clock);
  static constexpr std::uint32_t kType = NodeType::Light;
  std::uint32_t type() const override { return kType; }
  // Only a light in a scene moves; its position follows its world matrix.
  void Update(const Matrix& parentWorld) override;

  void MarkInScene() { inScene_ = true; }
  bool inScene() const { return inScene_; }
  // Puts the light into the device at its index and switches it on; the
  // device is remembered for enable.
  void Apply(Device& device);
  // Switches the light on the device last applied to; nothing before that.
  void Enable(bool on);
  Device* device() const { return device_; }
  std::uint32_t index() const { return index_; }
  void SetIndex(std::uint32_t index) { index_ = index; }

  DeviceLight light;
  std::vector<std::string> excludedNames;

 private:
  bool inScene_ = false;
  std::uint32_t index_ = 0;
  Device* device_ = nullptr;  // not owned; the device outlives the scene
};

// The node as a T (GeometryObject, Camera or Light); null for none or
// another kind.
template <typename T>
T* NodeAs(SceneNode* node) {
  return node && node->type() == T::kType ? static_cast<T*>(node) : nullptr;
}

}  // namespace brisane
