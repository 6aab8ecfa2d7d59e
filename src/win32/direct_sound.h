// The sound device over DirectSound: the device at priority level, a 3D
// primary buffer in 44.1 kHz 16-bit stereo, its listener, and static 3D
// secondary buffers. The application brings it up after the show and takes
// it down after everything that holds a buffer of it.
#pragma once

#include <windows.h>
#include <dsound.h>

#include "platform/audio.h"
#include "win32/com_ptr.h"

namespace brisane {

class DirectSoundDevice final : public AudioDevice {
 public:
  DirectSoundDevice() = default;
  ~DirectSoundDevice() override { Shutdown(); }
  DirectSoundDevice(const DirectSoundDevice&) = delete;
  DirectSoundDevice& operator=(const DirectSoundDevice&) = delete;

  // COM for the thread, the device, its primary buffer and the listener.
  // A failure leaves nothing up and returns the failing call's result.
  HRESULT Init(HWND window);
  // Listener, then device, then COM; nothing when it was not up.
  HRESULT Shutdown();
  bool up() const { return static_cast<bool>(listener_); }

  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                            HResult& result) override;
  HResult GetListener(ListenerParameters& parameters) override;
  HResult SetListener(const ListenerParameters& parameters) override;
  HResult SetDistanceFactor(float metresPerUnit) override;
  void Sleep(std::uint32_t milliseconds) override;

 private:
  HWND window_ = nullptr;
  bool comInitialised_ = false;
  ComPtr<IDirectSound> device_;
  ComPtr<IDirectSound3DListener> listener_;
};

}  // namespace brisane
