// The 3D listener: the ears of the show, following the current camera. It
// is made once the sound device is up and reads the device's listener then;
// every later change rewrites the whole record at once.
#pragma once

#include "platform/audio.h"
#include "platform/device.h"
#include "scene/scene.h"

namespace brisane {

class SoundListener {
 public:
  explicit SoundListener(AudioDevice& device);

  // Scene units are 1/metresPerUnit of a metre.
  HResult SetDistanceFactor(float metresPerUnit);
  // Doppler is off: the camera's jumps between views would howl.
  HResult SetListener(const AudioVector& position, const AudioVector& velocity, const AudioVector& front,
                      const AudioVector& top);
  // At the scene's current camera, facing as the device's view and
  // projection say.
  HResult UpdateListener(Device& device, const Scene& scene);

  const ListenerParameters& parameters() const { return params_; }

 private:
  AudioDevice& device_;
  ListenerParameters params_;
};

// The listener's front and top from view x projection: the third column
// negated, the second column, each normalised. A column of length zero
// leaves the vector as it was.
void ListenerOrientation(const DeviceMatrix& view, const DeviceMatrix& projection, AudioVector& front,
                         AudioVector& top);

}  // namespace brisane
