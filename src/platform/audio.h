// Positioned sound as the core reaches it: DirectSound's device, its 3D
// listener and static 3D buffers on Windows, a recording fake in tests. The
// records keep DirectSound's fields and units (hundredths of a decibel,
// degrees, scene units), so the Windows backend only copies.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/device.h"

namespace brisane {

struct AudioVector {
  float x = 0, y = 0, z = 0;
  bool operator==(const AudioVector&) const = default;
};

// DS3DLISTENER without its size field.
struct ListenerParameters {
  AudioVector position, velocity;
  AudioVector front{0, 0, 1}, top{0, 1, 0};
  float distanceFactor = 1.0f, rolloffFactor = 1.0f, dopplerFactor = 1.0f;
  bool operator==(const ListenerParameters&) const = default;
};

// DS3DBUFFER without its size field.
struct SoundParameters {
  AudioVector position, velocity;
  std::uint32_t insideConeAngle = 360, outsideConeAngle = 360;
  AudioVector coneOrientation{0, 0, 1};
  std::int32_t coneOutsideVolume = 0;
  float minDistance = 1.0f, maxDistance = 1.0e9f;
  std::uint32_t mode = 0;  // DS3DMODE_NORMAL
  bool operator==(const SoundParameters&) const = default;
};

// WAVEFORMATEX: the 16 bytes of a "fmt " chunk, then the extra format bytes
// (none for PCM).
struct WaveFormat {
  std::uint16_t formatTag = 1;  // WAVE_FORMAT_PCM
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSecond = 0;
  std::uint32_t bytesPerSecond = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::vector<std::uint8_t> extra;
};

inline constexpr HResult kSoundBufferLost = static_cast<HResult>(0x88780096u);  // DSERR_BUFFERLOST
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000Eu);      // E_OUTOFMEMORY
inline constexpr HResult kNoVirtualization = static_cast<HResult>(0x0878000Au);  // DS_NO_VIRTUALIZATION

// One static secondary buffer with 3D control.
class SoundBuffer {
 public:
  virtual ~SoundBuffer() = default;
  // Copies the bytes to the start of the buffer.
  virtual HResult Fill(std::span<const std::uint8_t> bytes) = 0;
  virtual HResult Play(bool looping) = 0;
  virtual HResult Stop() = 0;
  virtual HResult IsPlaying(bool& playing) = 0;
  virtual HResult SetPlayPosition(std::uint32_t byteOffset) = 0;
  // Hundredths of a decibel, 0 = unattenuated.
  virtual HResult SetVolume(std::int32_t volume) = 0;
  virtual HResult IsLost(bool& lost) = 0;
  // kSoundBufferLost while the system still holds the hardware.
  virtual HResult Restore() = 0;
  virtual HResult GetParameters(SoundParameters& parameters) = 0;
  virtual HResult SetParameters(const SoundParameters& parameters, bool deferred) = 0;
  virtual HResult SetConeAngles(std::uint32_t inside, std::uint32_t outside) = 0;
};

// The sound device with its primary buffer and 3D listener.
class AudioDevice {
 public:
  virtual ~AudioDevice() = default;
  // A buffer for bytes of sound in the format; its result code says why
  // there is none (kNoVirtualization is a success that asks for a warning).
  virtual std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                                    HResult& result) = 0;
  virtual HResult GetListener(ListenerParameters& parameters) = 0;
  virtual HResult SetListener(const ListenerParameters& parameters) = 0;
  virtual HResult SetDistanceFactor(float metresPerUnit) = 0;
  // Waits while the system holds the sound hardware (a lost buffer that
  // cannot be restored yet).
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace brisane
