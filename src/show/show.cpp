#include "show/show.h"

#include "settings/settings_keys.h"
#include "show/flag.h"

namespace brisane {

const contract::CameraSpec* FindShowCamera(std::string_view node) {
  for (const contract::CameraSpec& spec : contract::kCameras)
    if (node == spec.node) return &spec;
  return nullptr;
}

void StartCameraPath(Camera& camera, const contract::CameraSpec& spec) {
  if (spec.toTime == 0) return;
  camera.startAnimation(spec.fromTime, spec.toTime, 0, spec.speed, -1);
}

void MakeRiggingClones(Scene& scene) {
  for (const contract::CloneSpec& spec : contract::kClones) {
    auto* original = scene.findNode<GeometryObject>(std::string(spec.original));
    if (!original) continue;
    GeometryObject* copy = original->clone(std::string(spec.suffix), scene);
    scene.addNode(copy);
    Matrix local;
    local.m = spec.local;
    copy->setLocal(local);
    if (spec.cloth.empty()) continue;
    Material* copied = scene.findMaterial(std::string(spec.copiedCloth));
    Material* cloth = scene.findMaterial(std::string(spec.cloth));
    if (copied && cloth) copy->replaceMaterial(cloth, copied);
  }
}

void StartRiggingAnimation(Scene& scene) {
  const auto wave = [&](std::string_view name, std::uint32_t toTime, std::int32_t offset) {
    if (auto* node = scene.findNode<GeometryObject>(std::string(name)))
      node->startGeometryAnimation(0, toTime, offset, contract::kWavingSpeed, -1);
  };
  for (std::string_view rope : contract::kRopes) wave(rope, contract::kRiggingWindow, 0);
  for (const contract::Waving& cloth : contract::kCloths) wave(cloth.node, cloth.toTime, cloth.offset);
}

void StartHullLightmaps(Scene& scene) {
  for (std::string_view name : contract::kHullLightmapNodes) {
    if (auto* node = scene.findNode<GeometryObject>(std::string(name)))
      node->startTextureAnimation(contract::kHullLightmapRate, LayerLightmap);
  }
}

std::vector<CameraEntry> MakeCameraList(Scene& scene, Node& settings) {
  std::vector<CameraEntry> list;
  const auto enter = [&](const contract::CameraSpec& spec) {
    auto* camera = scene.findNode<Camera>(std::string(spec.node));
    if (!camera) return;
    list.push_back({camera, spec.remainingTime, spec.pathTime, spec.fromTime, spec.toTime, spec.speed});
    if (spec.toTime == 0) return;
    camera->startAnimation(spec.fromTime, spec.toTime, 0, spec.speed, -1);
    camera->setAnimationSpeed(kParkedSpeed);
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

  scene_.setResourceSource(&platform_.resources);
  scene_.setTextureLoader(platform_.textures);
  // Before the load: lightmap layers are left out while it reads.
  scene_.setLightmapsEnabled(lightmapsEnabled_);
  const bool loaded = scene_.load(settings.scenePath, contract::kSceneResource);
  scene_.root().updateSubtree();

  // Before the flag is copied onto the other masts, so the copies fly it too.
  ApplyFlag(scene_, platform_.settings, platform_.resources);
  StartHullLightmaps(scene_);
  MakeRiggingClones(scene_);
  StartRiggingAnimation(scene_);

  std::vector<CameraEntry> cameras = MakeCameraList(scene_, platform_.settings);
  if (!cameras.empty()) {
    const CameraEntry& first = cameras.front();
    scene_.setCurrentCamera(first.camera);
    if (first.toTime > 0) first.camera->startAnimation(first.fromTime, first.toTime, 0, first.speed, -1);
  }

  if (lights_) lights_->RemovePasses(passes_);
  lights_ = std::make_unique<ShowLights>(scene_, PictureSource{platform_.clock, platform_.textures, platform_.resources},
                                         platform_.settings.Get(key::EnableLensFlares).AsInt() != 0,
                                         settings.screenWidth, screenScale_);
  lights_->AddPasses(passes_);
  lightCycle_.onSunGlowMaximum = [this](std::int32_t value) { lights_->SetSunMaximum(value); };

  MakeWater(device);

  const std::int32_t gammaControl = platform_.settings.Get(key::GammaControl).AsInt();
  const auto gamma = static_cast<float>(GammaLevel(gammaControl));
  if (gammaControl != 50 && platform_.gamma) platform_.gamma->SetGamma(gamma, GammaCurve::Power);

  SetFixedRenderStates(device, settings.anisotropic, kDayAmbient);

  if (director_) passes_.Remove(*director_);
  director_ = std::make_unique<ShowDirector>(scene_, std::move(cameras), platform_.gamma, gamma);
  passes_.Add(FrameStep::Director, *director_);
  if (frameRateText_) passes_.Remove(*frameRateText_);
  frameRateText_ = std::make_unique<FrameRateText>(platform_.overlay, screenScale_);
  passes_.Add(FrameStep::FrameRateText, *frameRateText_);

  // Last: the ship's points are read where the scene placed them.
  if (shipMotion_) shipMotion_->InitWaterPoints();
  return loaded;
}

void Show::StartSound(Device& device, AudioDevice& audio) {
  if (shipSounds_) passes_.Remove(*shipSounds_);
  platform_.audio = &audio;
  shipSounds_ = std::make_unique<ShipSounds>(audio, scene_, ambientSounds_);
  shipSounds_->Start(device, platform_.resources, platform_.settings.Get(key::MasterVolume).AsInt());
  passes_.Add(FrameStep::Listener, *shipSounds_);
}

void Show::StopSound() {
  for (Sound3D* sound : {&ambientSounds_.lanternLoop, &ambientSounds_.creakHigh, &ambientSounds_.creakLow,
                         &ambientSounds_.windLoop})
    sound->Stop();
  for (Sound3D* sound : {&ambientSounds_.lanternLoop, &ambientSounds_.creakHigh, &ambientSounds_.creakLow,
                         &ambientSounds_.windLoop})
    sound->Release();
}

void Show::MakeWater(Device& device) {
  if (shipMotion_) passes_.Remove(*shipMotion_);
  shipMotion_.reset();
  if (water_) passes_.Remove(*water_);
  lightCycle_.onWaterAlpha = nullptr;
  water_ = MakeEnvWater(scene_, device, platform_.textures, platform_.settings, lightmapsEnabled_,
                        platform_.clock.now(), platform_.fatal);
  if (!water_) return;
  passes_.Add(FrameStep::Water, *water_);
  lightCycle_.onWaterAlpha = [water = water_.get()](std::uint8_t alpha) { water->SetAlpha(alpha); };
  shipMotion_ = std::make_unique<ShipMotion>(scene_, *water_, ambientSounds_.creakHigh, ambientSounds_.creakLow);
  passes_.Add(FrameStep::ShipMotion, *shipMotion_);
}

void Show::MakeGuns(std::uint16_t soundResource) {
  DestroyGuns();
  guns_ = std::make_unique<Guns>(scene_, PictureSource{platform_.clock, platform_.textures, platform_.resources},
                                 platform_.audio, soundResource);
  guns_->AddPasses(passes_);
}

void Show::DestroyGuns() {
  if (!guns_) return;
  guns_->RemovePasses(passes_);
  guns_.reset();
}

FrameStatus Show::Frame(Device& device, const std::function<HResult()>& present) {
  FrameContext frame{device, platform_.clock.now(), platform_.settings, platform_.random};
  return passes_.RunFrame(frame, present);
}

}  // namespace brisane
