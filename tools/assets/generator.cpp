#include "generator.h"

#include <stdexcept>
#include <string>

#include "effects.h"
#include "flags.h"
#include "preview.h"
#include "ship/parts.h"
#include "show/ship_contract.h"

namespace brisane::assets {

namespace {

Asset Jpeg(int id, std::string title, Image picture) {
  Asset a;
  a.id = id;
  a.kind = AssetKind::Jpeg;
  a.file = "jpeg_" + std::to_string(id) + ".jpg";
  a.title = std::move(title);
  a.bytes = EncodeJpeg(picture);
  a.picture = std::move(picture);
  return a;
}

Asset Wav(std::string title, Sound sound) {
  Asset a;
  a.id = sound.id;
  a.kind = AssetKind::Wav;
  a.file = "wav_" + std::to_string(sound.id) + ".wav";
  a.title = std::move(title);
  a.bytes = EncodeWav(sound.samples, sound.sampleRate, sound.bits);
  a.sound = std::move(sound);
  return a;
}

}  // namespace

std::vector<int> AssetIds() {
  std::vector<int> ids = {100, contract::kSceneResource, 150, 151, 152, 153, 155, 157};
  for (int id = 168; id <= 180; ++id) ids.push_back(id);
  for (int i = 0; i < kFlagCount; ++i) ids.push_back(kFirstFlagId + i);
  return ids;
}

Asset Generate(int id) {
  switch (id) {
    case 100: {
      Asset icon;
      icon.id = 100;
      icon.kind = AssetKind::Icon;
      icon.file = "icon_100.ico";
      icon.title = "icon";
      std::vector<Image> sizes = {IconImage(16), IconImage(32), IconImage(48), IconImage(256)};
      icon.bytes = EncodeIcon(sizes);
      icon.picture = sizes.back();
      return icon;
    }
    case contract::kSceneResource: {
      Asset scene;
      scene.id = contract::kSceneResource;
      scene.kind = AssetKind::Scene;
      scene.file = "scene_" + std::to_string(contract::kSceneResource) + ".sss";
      scene.title = "ship scene";
      scene.bytes = ship::BuildShipScene().archive;
      return scene;
    }
    case 150: return Jpeg(150, "preview", PreviewPicture());
    case 151: return Wav("ambient loop", AmbientLoop());
    case 152: return Wav("creak", Creak());
    case 153: return Wav("wind loop", WindLoop());
    case 155: return Wav("gun shot", GunShot());
    case 157: return Wav("second creak", SecondCreak());
    case 168: return Jpeg(168, "sun glow", SunGlow());
    case 176: case 177: return Jpeg(id, "lantern glow", LanternGlow(id));
    case 178: return Jpeg(178, "hot smoke", HotSmoke());
    case 179: return Jpeg(179, "grey smoke", GreySmoke());
    case 180: return Jpeg(180, "muzzle flash", MuzzleFlash());
    default: break;
  }
  if (id >= 169 && id <= 175) return Jpeg(id, "flare", FlarePicture(id));
  if (id >= kFirstFlagId && id < kFirstFlagId + kFlagCount)
    return Jpeg(id, std::string(FlagName(id - kFirstFlagId)), DrawFlag(id - kFirstFlagId, kFlagWidth));
  throw std::out_of_range("no generated resource " + std::to_string(id));
}

std::vector<Asset> GenerateAll() {
  std::vector<Asset> out;
  for (int id : AssetIds()) out.push_back(Generate(id));
  return out;
}

}  // namespace brisane::assets
