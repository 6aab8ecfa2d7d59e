// One positioned sound: a static 3D buffer filled once from WAV data. An
// object that never loaded (no device, sound off, missing data) stays empty:
// play, stop and volume answer kEFail, the 3D calls do nothing, so callers
// never need to ask whether sound is on.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/audio.h"
#include "platform/resource_source.h"
#include "sound/wave_file.h"

namespace brisane {

class Sound3D {
 public:
  Sound3D() = default;
  ~Sound3D() { Release(); }
  Sound3D(const Sound3D&) = delete;
  Sound3D& operator=(const Sound3D&) = delete;

  // The "WAVFILE" resource resourceId, or else the file fileName, into a new
  // buffer on device, which must outlive the sound. A failure leaves the
  // object empty. The resources must outlive the sound too: a buffer the
  // system takes away is refilled from them.
  HResult Load(AudioDevice& device, const ResourceSource& resources, std::uint16_t resourceId,
               std::string_view fileName);
  // Restarts from the beginning when already playing; a lost buffer is
  // restored and refilled first.
  HResult Play(bool looping);
  HResult Stop();
  // Hundredths of a decibel, 0 = full level.
  HResult SetVolume(std::int32_t volume);
  void SetConeAngles(std::uint32_t inside, std::uint32_t outside);
  void Set3DParameters(const AudioVector& position, const AudioVector& velocity, float minDistance,
                       float maxDistance);
  void Release();

  bool loaded() const { return buffer_ != nullptr; }
  // The 3D parameters last set.
  const SoundParameters& parameters() const { return params_; }

 private:
  HResult Create(AudioDevice& device, const ResourceSource& resources, std::uint16_t resourceId,
                 std::string_view fileName);
  HResult Fill();
  HResult Restore();

  std::unique_ptr<SoundBuffer> buffer_;
  SoundParameters params_;
  std::uint32_t size_ = 0;
  std::unique_ptr<WaveFile> wave_;
  bool deferred_ = false;  // 3D changes apply at once
  AudioDevice* device_ = nullptr;
};

}  // namespace brisane
