#include "scene/texture_layer.h"

#include "scene/archive.h"
#include "scene/scene_resources.h"
#include "scene/storage.h"

namespace brisane {

TextureRef TextureLayer::LoadFrame(TextureLoader* loader, const StorageBlock& block) const {
  if (!loader) return nullptr;
  return loader->createTextureFromJpeg(block.bytes(), loadKind(), threshold());
}

std::uint16_t TextureLayer::currentFrame() const {
  if (rate_ == 0 || frames_.empty()) return 0;
  const std::uint32_t elapsed = clock_->now() - animStart_;
  // The step is taken with 0.001 held in single precision (a hair above a
  // thousandth) and the product in extended precision, so that whole frame
  // times such as 300 ms at 10 frames a second land on frame 3, not 2.
  constexpr float kPerMillisecond = 0.001f;
  const long double x = static_cast<long double>(elapsed) * static_cast<long double>(kPerMillisecond) *
                        static_cast<long double>(rate_);
  const auto whole = static_cast<std::uint64_t>(x);  // below 2^54: elapsed and rate are 32-bit
  return static_cast<std::uint16_t>((whole % 65536u) % frames_.size());
}

void TextureLayer::Start(std::uint32_t rate) {
  animStart_ = clock_->now();
  rate_ = rate;
}

void TextureLayer::ReadFrames(StorageBlock& block, SceneArchive& archive, SceneResources& scene) {
  param_ = block.ReadU16();
  texCoordIndex_ = block.ReadU16();
  const std::uint16_t count = block.ReadU16();
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::string name = block.ReadString();
    TextureRef texture = scene.FindTexture(name, kind());
    if (!texture) {
      // An image without a record is left out like one that does not decode.
      StorageBlock* image = archive.GetBlock(name, kRecordImage);
      if (!image) continue;
      texture = LoadFrame(scene.textureLoader(), *image);
      if (!texture) continue;
      scene.AddTexture(name, kind(), texture);
    }
    frames_.push_back(std::move(texture));
  }
}

std::unique_ptr<TextureLayer> MakeTextureLayer(std::uint32_t kind, const Clock& clock) {
  switch (kind) {
    case LayerKind::Diffuse: return std::make_unique<DiffuseLayer>(clock);
    case LayerKind::Untextured: return std::make_unique<UntexturedLayer>(clock);
    case LayerKind::Reflection: return std::make_unique<ReflectionLayer>(clock);
    case LayerKind::Opacity: return std::make_unique<OpacityLayer>(clock);
    case LayerKind::Lightmap: return std::make_unique<LightmapLayer>(clock);
    case LayerKind::AlphaKeyed: return std::make_unique<AlphaKeyedLayer>(clock);
    default: return nullptr;
  }
}

}  // namespace brisane
