#include "show/show.h"

#include "settings/settings_keys.h"

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
    SceneNode* node = scene.findNode(std::string(spec.original));
    if (!node || node->type() != NodeGeometry) continue;
    GeometryObject* copy = static_cast<GeometryObject*>(node)->clone(std::string(spec.suffix), scene);
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
    SceneNode* node = scene.findNode(std::string(name));
    if (!node || node->type() != NodeGeometry) return;
    static_cast<GeometryObject*>(node)->startGeometryAnimation(0, toTime, offset, contract::kWavingSpeed, -1);
  };
  for (std::string_view rope : contract::kRopes) wave(rope, contract::kRiggingWindow, 0);
  for (const contract::Waving& cloth : contract::kCloths) wave(cloth.node, cloth.toTime, cloth.offset);
}

Show::Show(const ShowPlatform& platform) : platform_(platform), scene_(platform.clock) {
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

  MakeRiggingClones(scene_);
  StartRiggingAnimation(scene_);

  if (SceneNode* node = scene_.findNode(std::string(contract::kFirstCamera)); node && node->type() == NodeCamera) {
    auto* camera = static_cast<Camera*>(node);
    scene_.setCurrentCamera(camera);
    StartCameraPath(*camera, *FindShowCamera(contract::kFirstCamera));
  }

  SetFixedRenderStates(device, settings.anisotropic, kDayAmbient);
  return loaded;
}

FrameStatus Show::Frame(Device& device, const std::function<HResult()>& present) {
  FrameContext frame{device, platform_.clock.now(), platform_.settings, platform_.random};
  return passes_.RunFrame(frame, present);
}

}  // namespace brisane
