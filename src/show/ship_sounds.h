// The ship's sounds once a sound device is up: the distance scale from the
// scene's metre marks, the four ambient sounds at their nodes, and the
// listener that follows the camera as the frame's last pass, which starts
// the loops on its first run.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/audio.h"
#include "platform/device.h"
#include "platform/resource_source.h"
#include "scene/scene.h"
#include "show/frame.h"
#include "show/ship_contract.h"
#include "sound/listener.h"
#include "sound/sound3d.h"

namespace brisane {

// The ship's own sounds, one for each of contract::kAmbientSounds and in
// its order; made empty with the show and loaded once a sound device is up.
class AmbientSounds {
 public:
  Sound3D& operator[](std::size_t which) { return sounds_.at(which); }
  // All stopped first, then all released, each round in their order.
  void StopThenRelease();

 private:
  std::array<Sound3D, contract::kAmbientSounds.size()> sounds_;
};

// Metres per scene unit from the marks one metre apart; none when either is
// missing or they coincide.
std::optional<float> MetresPerUnit(const Scene& scene);

class ShipSounds final : public FramePass {
 public:
  // The device, scene and sounds outlive this object.
  ShipSounds(AudioDevice& audio, Scene& scene, AmbientSounds& sounds);

  // Sets the distance factor, applies the current camera once and loads the
  // four sounds in order at their nodes with masterVolume (hundredths of a
  // decibel). A sound whose data or node is missing stays silent.
  void Start(Device& device, const ResourceSource& resources, std::int32_t masterVolume);

  std::string_view Name() const override { return "listener"; }
  // Moves the listener; the first run also starts the loops, in order.
  void Run(FrameContext& frame) override;

  SoundListener& listener() { return listener_; }

 private:
  void StartOne(Sound3D& sound, const contract::AmbientSoundSpec& spec, const ResourceSource& resources,
                std::int32_t masterVolume);

  AudioDevice& audio_;
  Scene& scene_;
  AmbientSounds& sounds_;
  SoundListener listener_;
  bool loopsStarted_ = false;
};

}  // namespace brisane
