#include "show/show.h"

#include <array>

namespace brisane {

namespace {

// Settings and nodes pair crosswise on purpose: Camera3 selects "Camera05"
// and Camera5 "Camera03".
constexpr std::array<CameraSpec, 7> kCameras = {{
    {"Camera1", "Camera01", 0, 0, 0, 3333, 0.07f},
    {"Camera2", "Camera02", 0, 0, 0, 9999, 0.07f},
    {"Camera3", "Camera05", 47614, 47614, 0, 3333, 0.07f},
    {"Camera4", "Camera04", 0, 0, 0, 0, 1.0f},
    {"Camera5", "Camera03", 47614, 47614, 0, 3333, 0.07f},
    {"Camera6", "Camera06", 47614, 47614, 0, 3333, 0.07f},
    {"Camera7", "Camera07", 33329, 33329, 0, 3333, 0.1f},
}};

// One waving part: its node, the key window it loops over and how far
// ahead of time zero it starts.
struct Waving {
  const char* node;
  std::uint32_t toTime;
  std::int32_t offset;
};

constexpr std::uint32_t kRiggingWindow = 1679;
constexpr std::uint32_t kFlagWindow = 1499;
constexpr float kWavingSpeed = 0.5f;

constexpr std::array<Waving, 20> kWaving = {{
    {"anch_kanat01", kRiggingWindow, 0}, {"anch_kanat02", kRiggingWindow, 0}, {"Line257", kRiggingWindow, 0},
    {"sailkanat01", kRiggingWindow, 0},  {"sailkanat02", kRiggingWindow, 0},  {"sailkanat03", kRiggingWindow, 0},
    {"sailkanat04", kRiggingWindow, 0},  {"sailkanat05", kRiggingWindow, 0},  {"sailkanat06", kRiggingWindow, 0},
    {"sailkanat07", kRiggingWindow, 0},  {"sailkanat08", kRiggingWindow, 0},  {"sailkanat09", kRiggingWindow, 0},
    {"sail01", kRiggingWindow, 800},     {"sail01sail02clone", kRiggingWindow, 0},
    {"sail01sail03clone", kRiggingWindow, 300}, {"sailx01", kRiggingWindow, 500},
    {"sailx01sailx02clone", kRiggingWindow, 0}, {"sailxx01", kRiggingWindow, 0},
    {"flagx01", kFlagWindow, 0},         {"flag01", kFlagWindow, 0},
}};

}  // namespace

std::span<const CameraSpec> ShowCameras() { return kCameras; }

const CameraSpec* FindShowCamera(std::string_view node) {
  for (const CameraSpec& spec : kCameras)
    if (node == spec.node) return &spec;
  return nullptr;
}

void StartCameraPath(Camera& camera, const CameraSpec& spec) {
  if (spec.toTime == 0) return;
  camera.startAnimation(spec.fromTime, spec.toTime, 0, spec.speed, -1);
}

void StartRiggingAnimation(Scene& scene) {
  for (const Waving& part : kWaving) {
    SceneNode* node = scene.findNode(part.node);
    if (!node || node->type() != NodeGeometry) continue;
    static_cast<GeometryObject*>(node)->startGeometryAnimation(0, part.toTime, part.offset, kWavingSpeed, -1);
  }
}

Show::Show(const Clock& clock, const ResourceSource& resources, TextureLoader* textures)
    : resources_(&resources), textures_(textures), scene_(clock) {}

bool Show::Setup(Device& device, const ShowSettings& settings) {
  screenScale_ = static_cast<float>(settings.modeHeight) / 768.0f;
  lightmapsEnabled_ = settings.lightmaps;

  scene_.setResourceSource(resources_);
  scene_.setTextureLoader(textures_);
  // Before the load: lightmap layers are left out while it reads.
  scene_.setLightmapsEnabled(lightmapsEnabled_);
  const bool loaded = scene_.load(settings.scenePath, kSceneResource);
  scene_.root().updateSubtree();

  if (SceneNode* node = scene_.findNode(kFirstCamera); node && node->type() == NodeCamera) {
    auto* camera = static_cast<Camera*>(node);
    scene_.setCurrentCamera(camera);
    StartCameraPath(*camera, *FindShowCamera(kFirstCamera));
  }

  SetFixedRenderStates(device, settings.anisotropic, kDayAmbient);
  return loaded;
}

void Show::Render(Device& device) { scene_.render(device); }

}  // namespace brisane
