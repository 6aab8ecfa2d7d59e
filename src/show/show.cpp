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

constexpr std::array<Waving, 23> kWaving = {{
    {"anch_kanat01", kRiggingWindow, 0}, {"anch_kanat02", kRiggingWindow, 0}, {"Line257", kRiggingWindow, 0},
    {"sailkanat01", kRiggingWindow, 0},  {"sailkanat02", kRiggingWindow, 0},  {"sailkanat03", kRiggingWindow, 0},
    {"sailkanat04", kRiggingWindow, 0},  {"sailkanat05", kRiggingWindow, 0},  {"sailkanat06", kRiggingWindow, 0},
    {"sailkanat07", kRiggingWindow, 0},  {"sailkanat08", kRiggingWindow, 0},  {"sailkanat09", kRiggingWindow, 0},
    {"sail01", kRiggingWindow, 800},     {"sail01sail02clone", kRiggingWindow, 0},
    {"sail01sail03clone", kRiggingWindow, 300}, {"sailx01", kRiggingWindow, 500},
    {"sailx01sailx02clone", kRiggingWindow, 0}, {"sailxx01", kRiggingWindow, 0},
    {"flagx01", kFlagWindow, 0},         {"flagx01flagx02clone", kFlagWindow, 600},
    {"flag01", kFlagWindow, 0},          {"flag01flag02clone", kFlagWindow, 700},
    {"flag01flag03clone", kFlagWindow, 400},
}};

// A copy of a sail or flag: where it goes (rows of its local matrix, in the
// frame of its original's parent) and, for sails, the cloth it wears instead
// of the copy of the original's.
struct CloneSpec {
  const char* original;
  const char* suffix;
  std::array<float, 16> local;
  const char* cloth;        // material put on the copy; null: keeps its copy
  const char* copiedCloth;  // the material the copy came with
};

constexpr std::array<CloneSpec, 6> kClones = {{
    {"sail01", "sail02clone",
     {0.241886f, -0.902734f, 0, 0, 0.023099f, 0.006189f, 0.761422f, 0, 0.772528f, 0.206998f, -0.013447f, 0,
      -33.08929f, 167.7166f, -42.734f, 1},
     "sail01_sail02_1", "sail01_sail01_1sail02clone"},
    {"sail01", "sail03clone",
     {0.184871f, -0.689947f, 0, 0, -0.073754f, -0.019762f, 0.456283f, 0, 0.670901f, 0.179767f, 0.116231f, 0,
      84.20404f, 168.8775f, -75.78201f, 1},
     "sail01_sail03_1", "sail01_sail01_1sail03clone"},
    {"sailx01", "sailx02clone",
     {0.239647f, -0.894376f, 0, 0, 0.048608f, 0.013024f, 0.960221f, 0, 0.910002f, 0.243834f, -0.049374f, 0,
      -29.46042f, 168.5049f, 48.89615f, 1},
     "sail02_sailx02_1", "sail02_sailx01_1sailx02clone"},
    {"flagx01", "flagx02clone",
     {0.998135f, 0, -0.061049f, 0, 0, 1, 0, 0, 0.061049f, 0, 0.998135f, 0, -26.29717f, 167.4824f, 117.2579f, 1},
     nullptr, nullptr},
    {"flag01", "flag02clone",
     {0.883305f, 0, -0.054025f, 0, 0, 0.884956f, 0, 0, 0.054025f, 0, 0.883305f, 0, -25.81691f, 167.5155f,
      137.7154f, 1},
     nullptr, nullptr},
    {"flag01", "flag03clone",
     {0.839824f, 0, 0.029327f, 0, 0, 0.840336f, 0, 0, -0.029327f, 0, 0.839824f, 0, -250.7436f, 167.5155f,
      83.85338f, 1},
     nullptr, nullptr},
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

void MakeRiggingClones(Scene& scene) {
  for (const CloneSpec& spec : kClones) {
    SceneNode* node = scene.findNode(spec.original);
    if (!node || node->type() != NodeGeometry) continue;
    GeometryObject* copy = static_cast<GeometryObject*>(node)->clone(spec.suffix, scene);
    scene.addNode(copy);
    Matrix local;
    local.m = spec.local;
    copy->setLocal(local);
    if (!spec.cloth) continue;
    Material* copied = scene.findMaterial(spec.copiedCloth);
    Material* cloth = scene.findMaterial(spec.cloth);
    if (copied && cloth) copy->replaceMaterial(cloth, copied);
  }
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

  MakeRiggingClones(scene_);
  StartRiggingAnimation(scene_);

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
