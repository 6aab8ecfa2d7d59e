// The show as one object: the scene and what every frame needs of it, set up
// once when the display is up and drawn by the frame driver. The platform
// layer only hands in the device, the clock, the resources and the textures.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "render/device.h"
#include "render/scene_renderer.h"
#include "scene/clock.h"
#include "scene/resource_source.h"
#include "scene/scene.h"
#include "scene/texture.h"

namespace brisane {

inline constexpr std::uint16_t kSceneResource = 147;  // SSSFILE
inline constexpr char kFirstCamera[] = "Camera01";
// The light of full day; the night end of the cycle is darker and bluer.
inline constexpr AmbientLevels kDayAmbient{0.87f, 0.7f, 0.7f};

// One camera of the show: the setting that selects it, its node, and how
// its flight path plays (toTime 0: a still camera).
struct CameraSpec {
  const char* setting;
  const char* node;
  std::int32_t remainingTime;
  std::int32_t pathTime;
  std::uint32_t fromTime;
  std::uint32_t toTime;
  float speed;
};

// The seven cameras in the order of their settings.
std::span<const CameraSpec> ShowCameras();
// The entry of a camera node; null for a camera the show does not tour.
const CameraSpec* FindShowCamera(std::string_view node);

// Plays the camera's path from this moment at its own speed, endlessly.
// A still camera is left as it is.
void StartCameraPath(Camera& camera, const CameraSpec& spec);

// The lower and upper sails, the pennant and the flag are copied onto the
// other masts with fixed matrices, the sail copies dressed in the scene's
// spare cloths. Each copy hangs beside its original, named original + suffix.
// Originals or cloths the scene lacks are skipped.
void MakeRiggingClones(Scene& scene);

// Ropes, sails, pennants and flags wave endlessly, each in its window and
// out of step with its neighbours. Names the scene lacks are skipped.
void StartRiggingAnimation(Scene& scene);

struct ShowSettings {
  std::uint32_t modeHeight = 768;  // of the selected display mode
  bool lightmaps = true;           // the EnableLightmaps setting
  bool anisotropic = false;        // the device filters anisotropically
  // A scene file tried before the resource; empty: the resource only.
  std::string scenePath;
};

class Show {
 public:
  // Borrows all three; they outlive the show. textures may be null (no
  // pictures are decoded then).
  Show(const Clock& clock, const ResourceSource& resources, TextureLoader* textures);
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // Loads the scene, copies the sails and flags onto the other masts and
  // sets the rigging waving, makes the first camera current with its path
  // running and sets the render states every frame relies on. False when the scene
  // could not be loaded; the show then draws nothing but the cleared frame.
  bool Setup(Device& device, const ShowSettings& settings);
  // The scene through the current camera; between BeginScene and EndScene.
  void Render(Device& device);

  float screenScale() const { return screenScale_; }
  bool lightmapsEnabled() const { return lightmapsEnabled_; }
  Scene& scene() { return scene_; }

 private:
  const ResourceSource* resources_;
  TextureLoader* textures_;
  Scene scene_;
  float screenScale_ = 1.0f;
  bool lightmapsEnabled_ = true;
};

}  // namespace brisane
