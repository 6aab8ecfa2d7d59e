#include "show/ship_sounds.h"

#include <cmath>
#include <string>

namespace brisane {

namespace {

const SceneNode* Find(const Scene& scene, std::string_view name) {
  return scene.FindNode(std::string(name));
}

}  // namespace

std::optional<float> MetresPerUnit(const Scene& scene) {
  const SceneNode* a = Find(scene, contract::kMetreMarks[0]);
  const SceneNode* b = Find(scene, contract::kMetreMarks[1]);
  if (!a || !b) return std::nullopt;
  const float d = Distance(a->position(), b->position());
  if (!(d > 0.0f) || !std::isfinite(d)) return std::nullopt;
  return 1.0f / d;
}

void AmbientSounds::StopThenRelease() {
  for (Sound3D& sound : sounds_) sound.Stop();
  for (Sound3D& sound : sounds_) sound.Release();
}

ShipSounds::ShipSounds(AudioDevice& audio, Scene& scene, AmbientSounds& sounds)
    : audio_(audio), scene_(scene), sounds_(sounds), listener_(audio) {}

void ShipSounds::Start(Device& device, const ResourceSource& resources, std::int32_t masterVolume) {
  if (const auto factor = MetresPerUnit(scene_)) listener_.SetDistanceFactor(*factor);
  if (Camera* camera = scene_.currentCamera()) camera->Apply(device);
  for (std::size_t i = 0; i < contract::kAmbientSounds.size(); ++i)
    StartOne(sounds_[i], contract::kAmbientSounds[i], resources, masterVolume);
}

void ShipSounds::Run(FrameContext& frame) {
  listener_.UpdateListener(frame.device, scene_);
  if (loopsStarted_) return;
  loopsStarted_ = true;  // once, whether they could start or not
  for (std::size_t i = 0; i < contract::kAmbientSounds.size(); ++i)
    if (contract::kAmbientSounds[i].loops) sounds_[i].Play(true);
}

void ShipSounds::StartOne(Sound3D& sound, const contract::AmbientSoundSpec& spec, const ResourceSource& resources,
                          std::int32_t masterVolume) {
  const SceneNode* node = Find(scene_, spec.node);
  if (!node) return;  // nowhere to put it
  if (Failed(sound.Load(audio_, resources, spec.resource, ""))) return;
  const Vector3 p = node->position();
  sound.Set3DParameters({p.x, p.y, p.z}, {}, spec.minDistance, spec.maxDistance);
  sound.SetVolume(masterVolume);
  if (spec.cones) sound.SetConeAngles(spec.insideCone, spec.outsideCone);
}

}  // namespace brisane
