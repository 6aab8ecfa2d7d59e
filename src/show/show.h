// The show as one object: the scene and the passes of its frame, set up once
// when the display is up and run by the host's frame loop. The platform hands
// in the device, the clock, the random source, the resources, the textures
// and the settings tree; the show keeps no state anywhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <memory>
#include <vector>

#include "platform/clock.h"
#include "platform/device.h"
#include "platform/overlay.h"
#include "platform/random.h"
#include "platform/resource_source.h"
#include "platform/textures.h"
#include "render/gamma.h"
#include "render/scene_renderer.h"
#include "scene/scene.h"
#include "settings/node.h"
#include "sound/sound3d.h"
#include "show/director.h"
#include "show/frame.h"
#include "show/frame_rate_text.h"
#include "show/guns.h"
#include "show/light_cycle.h"
#include "show/lights.h"
#include "show/ship_contract.h"
#include "show/ship_motion.h"
#include "show/ship_sounds.h"
#include "show/water.h"

namespace brisane {

// The entry of a camera node; null for a camera the show does not tour.
const contract::CameraSpec* FindShowCamera(std::string_view node);

// Plays the camera's path from this moment at its own speed, endlessly.
// A still camera is left as it is.
void StartCameraPath(Camera& camera, const contract::CameraSpec& spec);

// The lower and upper sails, the pennant and the flag are copied onto the
// other masts with fixed matrices, the sail copies dressed in the scene's
// spare cloths. Each copy hangs beside its original, named original + suffix.
// Originals or cloths the scene lacks are skipped.
void MakeRiggingClones(Scene& scene);

// Ropes, sails, pennants and flags wave endlessly, each in its window and
// out of step with its neighbours. Names the scene lacks are skipped.
void StartRiggingAnimation(Scene& scene);

// The hull parts near the water cycle through their frames of wave light.
void StartHullLightmaps(Scene& scene);

// The tour's cameras: for each of the settings Camera1 to Camera7 that is
// on, its camera node with its path parked near the start; "Camera01" when
// none is on (or none of those found). Cameras the scene lacks are skipped.
std::vector<CameraEntry> MakeCameraList(Scene& scene, Node& settings);

// What the show borrows from its host; everything outlives the show.
struct ShowPlatform {
  const Clock& clock;
  RandomSource& random;
  const ResourceSource& resources;
  TextureLoader* textures;  // null: no pictures are decoded
  Node& settings;
  GammaTarget* gamma = nullptr;      // null: brightness is left alone
  TextOverlay* overlay = nullptr;    // null: no frame-rate text
  AudioDevice* audio = nullptr;      // null: every sound stays silent
  FatalSink fatal = {};              // empty: the show carries on without what failed
};

struct ShowSettings {
  std::uint32_t screenHeight = 768;  // of the picture actually shown
  bool anisotropic = false;          // the device filters anisotropically
  // A scene file tried before the resource; empty: the resource only.
  std::string scenePath;
  std::uint32_t screenWidth = 1024;  // of the picture actually shown; sizes the glows
  // The tour begins this many cameras along its list: each screen of a set
  // shows its own view of the same tour.
  std::uint32_t firstCamera = 0;
};

// What the host brings up while the show starts, each at its place in the
// start's order.
struct ShowStartHooks {
  // The sound device, after the scene: null leaves the show silent (sound
  // off, or a device that would not start).
  std::function<AudioDevice*()> openAudio;
  // The overlay's font, last, height pixels tall.
  std::function<void(int height)> makeFont;
};

class Show {
 public:
  explicit Show(const ShowPlatform& platform);
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // The whole start-up in its order: Setup; the sound device from
  // hooks.openAudio with the distance scale, the ambient sounds at their
  // nodes (MasterVolume) and the listener pass on it; the guns, with their
  // shot only when sound is up; the overlay font from the screen scale.
  // Returns Setup's answer.
  bool Start(Device& device, const ShowSettings& settings, const ShowStartHooks& hooks = {});
  // The show's part of shut-down: the ambient sounds stopped, then released,
  // in their order. The guns go with the display objects (DestroyGuns), the
  // rest with the show.
  void Stop();

  // Start's first step: seeds the random source, loads the scene, sets the
  // hull's wave light running, copies the sails and flags onto the other masts and sets the
  // rigging waving, makes the camera list with its first camera current and
  // flying, sets the user's gamma and the render states every frame relies
  // on, and adds the director, the light cycle, the sea with the ship riding
  // it and the frame-rate text to the frame. False when the scene could not
  // be loaded; the show then draws nothing but the cleared frame.
  bool Setup(Device& device, const ShowSettings& settings);

  // One whole frame: the passes in step order around clear, BeginScene,
  // EndScene and present.
  FrameStatus Frame(Device& device, const std::function<HResult()>& present);

  // The eight guns, once the scene is set up (and after the sound device,
  // which their shots use): soundResource is the shot's WAVFILE resource,
  // 0 for silent guns. Adds their updates, effects and firing schedule to
  // the frame; a second call replaces them.
  void MakeGuns(std::uint16_t soundResource);
  // Destroys the guns (before the display objects go); the frame goes on without them.
  void DestroyGuns();

  // Where features add their passes.
  FramePasses& passes() { return passes_; }
  float screenScale() const { return screenScale_; }
  // Null before Setup.
  ShowDirector* director() { return director_.get(); }
  LightCycle& lightCycle() { return lightCycle_; }
  bool lightmapsEnabled() const { return lightmapsEnabled_; }
  Scene& scene() { return scene_; }
  AmbientSounds& ambientSounds() { return ambientSounds_; }
  // Null when the scene has no sea.
  EnvWater* water() { return water_.get(); }
  ShipMotion* shipMotion() { return shipMotion_.get(); }

  // Null while sound is not up.
  AudioDevice* audio() const { return platform_.audio; }
  // Null before MakeGuns.
  Guns* guns() { return guns_.get(); }
  // Null before Setup.
  ShowLights* lights() { return lights_.get(); }

 private:
  // The scene through its current camera.
  class ScenePass final : public FramePass {
   public:
    explicit ScenePass(Scene& scene) : scene_(scene) {}
    std::string_view Name() const override { return "scene"; }
    void Run(FrameContext& frame) override { scene_.Render(frame.device); }

   private:
    Scene& scene_;
  };

  // Hides the sea from the scene's drawing and makes the water and the
  // ship's motion on it.
  void MakeWater(Device& device);
  // From here on audio() is the device the guns load their shots on.
  void StartSound(Device& device, AudioDevice& audio);

  ShowPlatform platform_;
  Scene scene_;
  AmbientSounds ambientSounds_;
  ScenePass scenePass_{scene_};
  LightCycle lightCycle_;
  // Before the slots, which take their passes out as they go.
  FramePasses passes_;
  // Declared in the order that releases them from last to first.
  PassSlot<ShowDirector> director_{passes_, FrameStep::Director};
  PassSlot<FrameRateText> frameRateText_{passes_, FrameStep::FrameRateText};
  PassSlot<EnvWater> water_{passes_, FrameStep::Water};
  PassSlot<ShipMotion> shipMotion_{passes_, FrameStep::ShipMotion};
  PassSlot<ShowLights> lights_{passes_};
  PassSlot<Guns> guns_{passes_};
  PassSlot<ShipSounds> shipSounds_{passes_, FrameStep::Listener};
  float screenScale_ = 1.0f;
  bool lightmapsEnabled_ = true;
};

}  // namespace brisane
