#include "generator.h"

#include <stdexcept>
#include <string>

#include "effects.h"
#include "flags.h"
#include "preview.h"
#include "ship/parts.h"
#include "resources/resource_numbers.h"
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
  std::vector<int> ids;
  for (const resource::Entry& entry : resource::kAll) ids.push_back(entry.number);
  return ids;
}

Asset Generate(int id) {
  switch (id) {
    case resource::kIcon: {
      Asset icon;
      icon.id = resource::kIcon;
      icon.kind = AssetKind::Icon;
      icon.file = "icon_" + std::to_string(resource::kIcon) + ".ico";
      icon.title = "icon";
      std::vector<Image> sizes = {IconImage(16), IconImage(32), IconImage(48), IconImage(256)};
      icon.bytes = EncodeIcon(sizes);
      icon.picture = sizes.back();
      return icon;
    }
    case resource::kSceneResource: {
      Asset scene;
      scene.id = resource::kSceneResource;
      scene.kind = AssetKind::Scene;
      scene.file = "scene_" + std::to_string(resource::kSceneResource) + ".sss";
      scene.title = "ship scene";
      scene.bytes = ship::BuildShipScene().archive;
      return scene;
    }
    case resource::kPreviewPicture: return Jpeg(id, "preview", PreviewPicture());
    case resource::kLanternLoopSound: return Wav("ambient loop", AmbientLoop());
    case resource::kCreakHighSound: return Wav("creak", Creak());
    case resource::kWindLoopSound: return Wav("wind loop", WindLoop());
    case resource::kGunShotSound: return Wav("gun shot", GunShot());
    case resource::kCreakLowSound: return Wav("second creak", SecondCreak());
    case resource::kSunGlowPicture: return Jpeg(id, "sun glow", SunGlow());
    case resource::kLanternGlowPicture1: case resource::kLanternGlowPicture2:
      return Jpeg(id, "lantern glow", LanternGlow(id));
    case resource::kHotSmokePicture: return Jpeg(id, "hot smoke", HotSmoke());
    case resource::kGreySmokePicture: return Jpeg(id, "grey smoke", GreySmoke());
    case resource::kFlashPicture: return Jpeg(id, "muzzle flash", MuzzleFlash());
    case resource::kFlarePicture1: case resource::kFlarePicture2: case resource::kFlarePicture3:
    case resource::kFlarePicture4: case resource::kFlarePicture5: case resource::kFlarePicture6:
    case resource::kFlarePicture7:
      return Jpeg(id, "flare", FlarePicture(id));
    default: break;
  }
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
