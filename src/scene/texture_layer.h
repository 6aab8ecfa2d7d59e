// Texture layers of a material: one class a kind, each holding its decoded
// frames and cycling through them in time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "scene/texture.h"

namespace brisane {

class SceneArchive;
class SceneResources;
class StorageBlock;

// The archive's layer numbers; they also index a material's layers.
struct LayerKind {
  enum : std::uint32_t {
    Diffuse = 1,
    Untextured = 2,
    Reflection = 3,
    Opacity = 4,
    Lightmap = 5,
    AlphaKeyed = 6,
  };
};

class TextureLayer {
 public:
  explicit TextureLayer(const Clock& clock) : clock_(&clock) {}
  virtual ~TextureLayer() = default;

  // Decodes one frame's image bytes the way this kind needs them; null when
  // the kind loads no texture, there is no loader, or the image is bad.
  virtual TextureRef LoadFrame(TextureLoader* loader, const StorageBlock& block) const;
  virtual std::uint32_t kind() const = 0;
  // Sets the texture and stage states of this kind at stage; the next stage
  // is disabled so the chain ends here unless another layer follows
  // (scene/scene_draw.cpp).
  virtual void Apply(Device& device, std::uint32_t stage) const;
  // The frame drawn now, or null when the layer has none.
  Surface* currentTexture() const;
  // A copy with the same fields and the same (shared) frames.
  virtual std::unique_ptr<TextureLayer> Copy() const = 0;

  std::uint16_t currentFrame() const;
  void Start(std::uint32_t rate);
  void AddFrame(TextureRef texture) { frames_.push_back(std::move(texture)); }

  // Reads the layer record that follows the kind: param, texture coordinate
  // index and the frame names, sharing decoded images through the scene.
  void ReadFrames(StorageBlock& block, SceneArchive& archive, SceneResources& scene);

  std::uint16_t texCoordIndex() const { return texCoordIndex_; }
  void SetTexCoordIndex(std::uint16_t index) { texCoordIndex_ = index; }
  const std::vector<TextureRef>& frames() const { return frames_; }
  std::uint32_t animStart() const { return animStart_; }
  std::uint32_t rate() const { return rate_; }
  std::uint16_t param() const { return param_; }

 protected:
  TextureLayer(const TextureLayer&) = default;
  // Load kind of the texture loader for this layer kind.
  virtual std::uint32_t loadKind() const = 0;
  virtual std::uint16_t threshold() const { return 0; }

 private:
  const Clock* clock_;
  std::uint16_t texCoordIndex_ = 0;
  std::vector<TextureRef> frames_;
  std::uint32_t animStart_ = 0;
  std::uint32_t rate_ = 0;
  std::uint16_t param_ = 0;
};

// Kinds 1 and 6 carry a constant alpha for the renderer.
class ConstantAlphaLayer : public TextureLayer {
 public:
  using TextureLayer::TextureLayer;
  std::uint8_t alpha = 255;
};

class DiffuseLayer final : public ConstantAlphaLayer {
 public:
  using ConstantAlphaLayer::ConstantAlphaLayer;
  void Apply(Device& device, std::uint32_t stage) const override;
  std::uint32_t kind() const override { return LayerKind::Diffuse; }
  std::unique_ptr<TextureLayer> Copy() const override { return std::unique_ptr<TextureLayer>(new DiffuseLayer(*this)); }

 protected:
  std::uint32_t loadKind() const override { return 0; }
};

class UntexturedLayer final : public TextureLayer {
 public:
  using TextureLayer::TextureLayer;
  TextureRef LoadFrame(TextureLoader*, const StorageBlock&) const override { return nullptr; }
  std::uint32_t kind() const override { return LayerKind::Untextured; }
  std::unique_ptr<TextureLayer> Copy() const override {
    return std::unique_ptr<TextureLayer>(new UntexturedLayer(*this));
  }

 protected:
  std::uint32_t loadKind() const override { return 0; }
};

class ReflectionLayer final : public TextureLayer {
 public:
  using TextureLayer::TextureLayer;
  void Apply(Device& device, std::uint32_t stage) const override;
  std::uint32_t kind() const override { return LayerKind::Reflection; }
  std::unique_ptr<TextureLayer> Copy() const override {
    return std::unique_ptr<TextureLayer>(new ReflectionLayer(*this));
  }

 protected:
  std::uint32_t loadKind() const override { return 4; }
};

class OpacityLayer final : public TextureLayer {
 public:
  using TextureLayer::TextureLayer;
  void Apply(Device& device, std::uint32_t stage) const override;
  std::uint32_t kind() const override { return LayerKind::Opacity; }
  std::unique_ptr<TextureLayer> Copy() const override { return std::unique_ptr<TextureLayer>(new OpacityLayer(*this)); }

 protected:
  std::uint32_t loadKind() const override { return 1; }
};

class LightmapLayer final : public TextureLayer {
 public:
  using TextureLayer::TextureLayer;
  void Apply(Device& device, std::uint32_t stage) const override;
  std::uint32_t kind() const override { return LayerKind::Lightmap; }
  std::unique_ptr<TextureLayer> Copy() const override {
    return std::unique_ptr<TextureLayer>(new LightmapLayer(*this));
  }

 protected:
  std::uint32_t loadKind() const override { return 2; }
};

class AlphaKeyedLayer final : public ConstantAlphaLayer {
 public:
  using ConstantAlphaLayer::ConstantAlphaLayer;
  void Apply(Device& device, std::uint32_t stage) const override;
  std::uint32_t kind() const override { return LayerKind::AlphaKeyed; }
  std::unique_ptr<TextureLayer> Copy() const override {
    return std::unique_ptr<TextureLayer>(new AlphaKeyedLayer(*this));
  }

 protected:
  std::uint32_t loadKind() const override { return 3; }
  std::uint16_t threshold() const override { return param(); }
};

// The layer of a kind from 1 to 6, with default fields; null for other kinds.
std::unique_ptr<TextureLayer> MakeTextureLayer(std::uint32_t kind, const Clock& clock);

}  // namespace brisane
