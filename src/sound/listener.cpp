#include "sound/listener.h"

#include <cmath>

namespace brisane {

namespace {

// False (and v untouched) for a zero or broken column: a listener with NaN
// axes would silence everything.
bool Normalised(const Vector3& column, AudioVector& v) {
  const float length = Length(column);
  if (!(length > 0.0f) || !std::isfinite(length)) return false;
  const Vector3 unit = column / length;
  v = {unit.x, unit.y, unit.z};
  return true;
}

}  // namespace

void ListenerOrientation(const DeviceMatrix& view, const DeviceMatrix& projection, AudioVector& front,
                         AudioVector& top) {
  const DeviceMatrix m = Multiply(view, projection);
  // Negating the front turns the scene's right-handed axes into the
  // left-handed ones of the listener without swapping left and right.
  Normalised(-Vector3{m.m[0][2], m.m[1][2], m.m[2][2]}, front);
  Normalised({m.m[0][1], m.m[1][1], m.m[2][1]}, top);
}

SoundListener::SoundListener(AudioDevice& device) : device_(device) { device_.GetListener(params_); }

HResult SoundListener::SetDistanceFactor(float metresPerUnit) {
  params_.distanceFactor = metresPerUnit;
  return device_.SetDistanceFactor(metresPerUnit);
}

HResult SoundListener::SetListener(const AudioVector& position, const AudioVector& velocity,
                                   const AudioVector& front, const AudioVector& top) {
  params_.position = position;
  params_.velocity = velocity;
  params_.front = front;
  params_.top = top;
  params_.dopplerFactor = 0.0f;
  return device_.SetListener(params_);
}

HResult SoundListener::UpdateListener(Device& device, const Scene& scene) {
  AudioVector position = params_.position;
  if (const Camera* camera = scene.currentCamera()) {
    const Vector3 p = camera->position();
    position = {p.x, p.y, p.z};
  }
  DeviceMatrix view = DeviceMatrix::Identity(), projection = DeviceMatrix::Identity();
  device.GetTransform(TransformState::View, view);
  device.GetTransform(TransformState::Projection, projection);
  AudioVector front = params_.front, top = params_.top;
  ListenerOrientation(view, projection, front, top);
  return SetListener(position, {}, front, top);
}

}  // namespace brisane
