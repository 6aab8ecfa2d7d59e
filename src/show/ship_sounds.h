// The ship's sounds once a sound device is up: the distance scale from the
// scene's metre marks, the four ambient sounds at their nodes, and the
// listener that follows the camera as the frame's last pass.
#pragma once

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
  void Run(FrameContext& frame) override { listener_.UpdateListener(frame.device, scene_, sounds_); }

  SoundListener& listener() { return listener_; }

 private:
  void StartOne(Sound3D& sound, const contract::AmbientSoundSpec& spec, const ResourceSource& resources,
                std::int32_t masterVolume);

  AudioDevice& audio_;
  Scene& scene_;
  AmbientSounds& sounds_;
  SoundListener listener_;
};

}  // namespace brisane
