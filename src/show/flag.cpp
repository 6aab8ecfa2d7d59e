#include "show/flag.h"

#include <memory>
#include <optional>
#include <string>

#include "scene/storage.h"
#include "scene/texture_layer.h"
#include "settings/settings_keys.h"
#include "show/ship_contract.h"

namespace brisane {

namespace {

// The whole picture file or resource; nothing when it cannot be read.
std::optional<StorageBlock> ReadPicture(std::int32_t flag, const std::string& path, const ResourceSource& resources) {
  if (flag == contract::kCustomFlag)  // a custom flag is its file or nothing
    return path.empty() ? std::nullopt : ReadWholePicture(resources, 0, path, kMaxFlagFileBytes);
  return ReadWholePicture(resources, static_cast<std::uint16_t>(flag + contract::kFlagResourceOffset), "",
                          kMaxFlagFileBytes);
}

}  // namespace

FlagOutcome ApplyFlag(Scene& scene, Node& settings, const ResourceSource& resources) {
  const std::int32_t flag = settings.Has(key::FlagNum, ValueType::Int) ? settings.Get(key::FlagNum).AsInt() : 0;
  if (flag <= 0) return FlagOutcome::SceneFlag;
  if (flag > contract::kLastBuiltInFlag) return FlagOutcome::UnknownFlag;
  Material* material = scene.FindMaterial(std::string(contract::kFlagMaterial));
  if (!material) return FlagOutcome::NoFlag;  // nothing to put it on: not worth decoding

  const std::string path = settings.Has(key::FlagPath, ValueType::String) ? settings.Get(key::FlagPath).AsString() : "";
  const std::optional<StorageBlock> picture = ReadPicture(flag, path, resources);
  if (!picture) return FlagOutcome::NoPicture;

  // A layer whose frame did not decode would leave the flag bare, so the
  // old layer goes only once the new one has its picture.
  std::unique_ptr<TextureLayer> layer = MakeTextureLayer(LayerKind::Diffuse, scene.clock());
  TextureRef texture = layer->LoadFrame(scene.textureLoader(), *picture);
  if (!texture) return FlagOutcome::NotDecoded;
  layer->AddFrame(std::move(texture));
  material->SetBaseLayer(std::move(layer));
  return FlagOutcome::Applied;
}

}  // namespace brisane
