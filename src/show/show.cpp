#include "show/show.h"

#include <algorithm>

#include "settings/settings_keys.h"
#include "show/flag.h"

namespace brisane {

namespace {

// The overlay font's height in pixels on a screen 768 lines high.
constexpr float kOverlayFontHeight = 26.0f;

}  // namespace

const contract::CameraSpec* FindShowCamera(std::string_view node) {
  for (const contract::CameraSpec& spec : contract::kCameras)
    if (node == spec.node) return &spec;
  return nullptr;
}

void StartCameraPath(Camera& camera, const contract::CameraSpec& spec) {
  if (spec.toTime == 0) return;
  camera.StartAnimation(spec.fromTime, spec.toTime, 0, spec.speed, -1);
}

void MakeRiggingClones(Scene& scene) {
  for (const contract::CloneSpec& spec : contract::kClones) {
    auto* original = scene.FindNode<GeometryObject>(std::string(spec.original));
    if (!original) continue;
    GeometryObject* copy = original->Clone(std::string(spec.suffix), scene);
    scene.AddNode(copy);
    Matrix local;
    local.m = spec.local;
    copy->SetLocal(local);
    if (spec.cloth.empty()) continue;
    Material* copied = scene.FindMaterial(std::string(spec.copiedCloth));
    Material* cloth = scene.FindMaterial(std::string(spec.cloth));
    if (copied && cloth) copy->ReplaceMaterial(cloth, copied);
  }
}

void StartRiggingAnimation(Scene& scene) {
  const auto wave = [&](std::string_view name, std::uint32_t toTime, std::int32_t offset) {
    if (auto* node = scene.FindNode<GeometryObject>(std::string(name)))
      node->StartGeometryAnimation(0, toTime, offset, contract::kWavingSpeed, -1);
  };
  for (std::string_view rope : contract::kRopes) wave(rope, contract::kRiggingWindow, 0);
  for (const contract::Waving& cloth : contract::kCloths) wave(cloth.node, cloth.toTime, cloth.offset);
}

void StartHullLightmaps(Scene& scene) {
  for (std::string_view name : contract::kHullLightmapNodes) {
    if (auto* node = scene.FindNode<GeometryObject>(std::string(name)))
      node->StartTextureAnimation(contract::kHullLightmapRate, LayerKind::Lightmap);
  }
}

std::vector<CameraEntry> MakeCameraList(Scene& scene, Node& settings) {
  std::vector<CameraEntry> list;
  const auto enter = [&](const contract::CameraSpec& spec) {
    auto* camera = scene.FindNode<Camera>(std::string(spec.node));
    if (!camera) return;
    list.push_back({camera, spec.remainingTime, spec.pathTime, spec.fromTime, spec.toTime, spec.speed});
    if (spec.toTime == 0) return;
    camera->StartAnimation(spec.fromTime, spec.toTime, 0, spec.speed, -1);
    camera->SetAnimationSpeed(kParkedSpeed);
  };
  for (const contract::CameraSpec& spec : contract::kCameras)
    if (settings.Get(spec.setting).AsInt() != 0) enter(spec);
  if (list.empty()) enter(*FindShowCamera(contract::kFirstCamera));
  return list;
}

Show::Show(const ShowPlatform& platform) : platform_(platform), scene_(platform.clock) {
  passes_.Add(FrameStep::LightCycle, lightCycle_);
  passes_.Add(FrameStep::Scene, scenePass_);
}

bool Show::Setup(Device& device, const ShowSettings& settings) {
  platform_.random.Seed(platform_.clock.now());
  screenScale_ = static_cast<float>(settings.screenHeight) / 768.0f;
  lightmapsEnabled_ = platform_.settings.Get(key::EnableLightmaps).AsInt() != 0;

  scene_.SetResourceSource(&platform_.resources);
  scene_.SetTextureLoader(platform_.textures);
  // Before the load: lightmap layers are left out while it reads.
  scene_.SetLightmapsEnabled(lightmapsEnabled_);
  const bool loaded = scene_.Load(settings.scenePath, contract::kSceneResource);
  scene_.root().UpdateSubtree();

  // Before the flag is copied onto the other masts, so the copies fly it too.
  ApplyFlag(scene_, platform_.settings, platform_.resources);
  StartHullLightmaps(scene_);
  MakeRiggingClones(scene_);
  StartRiggingAnimation(scene_);

  std::vector<CameraEntry> cameras = MakeCameraList(scene_, platform_.settings);
  if (!cameras.empty()) {
    // The tour in the same order, begun further along.
    std::rotate(cameras.begin(), cameras.begin() + static_cast<std::ptrdiff_t>(settings.firstCamera % cameras.size()),
                cameras.end());
    const CameraEntry& first = cameras.front();
    scene_.SetCurrentCamera(first.camera);
    if (first.toTime > 0) first.camera->StartAnimation(first.fromTime, first.toTime, 0, first.speed, -1);
  }

  lights_.Make(scene_, PictureSource{platform_.clock, platform_.textures, platform_.resources},
               platform_.settings.Get(key::EnableLensFlares).AsInt() != 0, settings.screenWidth, screenScale_);
  lightCycle_.onSunGlowMaximum = [this](std::int32_t value) { lights_->SetSunMaximum(value); };

  MakeWater(device);

  const std::int32_t gammaControl = platform_.settings.Get(key::GammaControl).AsInt();
  const auto gamma = static_cast<float>(GammaLevel(gammaControl));
  if (gammaControl != 50 && platform_.gamma) platform_.gamma->SetGamma(gamma, GammaCurve::Power);

  SetFixedRenderStates(device, settings.anisotropic, kDayAmbient);

  director_.Make(scene_, std::move(cameras), platform_.gamma, gamma);
  frameRateText_.Make(platform_.overlay, screenScale_);

  // Last: the ship's points are read where the scene placed them.
  if (shipMotion_) shipMotion_->InitWaterPoints();
  return loaded;
}

bool Show::Start(Device& device, const ShowSettings& settings, const ShowStartHooks& hooks) {
  const bool loaded = Setup(device, settings);
  // The shots play on the sound device: the guns come after it.
  AudioDevice* audio = hooks.openAudio ? hooks.openAudio() : nullptr;
  if (audio) StartSound(device, *audio);
  MakeGuns(audio ? contract::kGunShotSound : 0);
  if (hooks.makeFont) hooks.makeFont(static_cast<int>(screenScale_ * kOverlayFontHeight));
  return loaded;
}

void Show::StartSound(Device& device, AudioDevice& audio) {
  platform_.audio = &audio;
  ShipSounds& sounds = shipSounds_.Make(audio, scene_, ambientSounds_);
  sounds.Start(device, platform_.resources, platform_.settings.Get(key::MasterVolume).AsInt());
}

void Show::Stop() { ambientSounds_.StopThenRelease(); }

void Show::MakeWater(Device& device) {
  shipMotion_.Reset();
  lightCycle_.onWaterAlpha = nullptr;
  lightCycle_.onDaylight = nullptr;
  EnvWater* water = water_.Set(MakeEnvWater(scene_, device, platform_.textures, platform_.settings,
                                            lightmapsEnabled_, platform_.clock.now(), platform_.fatal));
  if (!water) return;
  lightCycle_.onWaterAlpha = [water](std::uint8_t alpha) { water->SetAlpha(alpha); };
  lightCycle_.onDaylight = [water](float daylight) { water->SetDaylight(daylight); };
  shipMotion_.Make(scene_, *water, ambientSounds_[contract::AmbientSound::CreakHigh],
                   ambientSounds_[contract::AmbientSound::CreakLow]);
}

void Show::MakeGuns(std::uint16_t soundResource) {
  guns_.Make(scene_, PictureSource{platform_.clock, platform_.textures, platform_.resources}, platform_.audio,
             soundResource);
}

void Show::DestroyGuns() { guns_.Reset(); }

FrameStatus Show::Frame(Device& device, const std::function<HResult()>& present) {
  FrameContext frame{device, platform_.clock.now(), platform_.settings, platform_.random};
  return passes_.RunFrame(frame, present);
}

}  // namespace brisane
