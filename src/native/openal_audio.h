// The sound device over OpenAL: one playback device and context, a listener,
// and one source with one buffer for each static 3D buffer of the core. It
// keeps the meaning of the DirectSound calls the core makes: volumes in
// hundredths of a decibel, DirectSound's distance law (inverse, clamped at the
// minimum and maximum distance, muted beyond the maximum), cones in degrees
// and its left-handed axes (see ToAl in the source for the axis rule). When
// the device goes away (a headset unplugged), the sounds move on by
// themselves to the device the system plays on then, or wait for one.
#pragma once

#include <memory>

#include "platform/audio.h"

namespace brisane {

// Result codes of the sound device the core may see besides its own.
inline constexpr HResult kBadSoundFormat = static_cast<HResult>(0x88780064u);  // DSERR_BADFORMAT

class OpenAlAudio final : public AudioDevice {
 public:
  // The default playback device with a context on it; null when there is
  // none (no sound hardware or server): the show then runs silent.
  static std::unique_ptr<OpenAlAudio> Open();

  ~OpenAlAudio() override;
  OpenAlAudio(const OpenAlAudio&) = delete;
  OpenAlAudio& operator=(const OpenAlAudio&) = delete;

  // PCM only, 8 or 16 bits, one or two channels (two play without position).
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                            HResult& result) override;
  HResult GetListener(ListenerParameters& parameters) override;
  HResult SetListener(const ListenerParameters& parameters) override;
  HResult SetDistanceFactor(float metresPerUnit) override;
  // Nothing ever holds the device away from us, so nothing waits on this.
  void Sleep(std::uint32_t milliseconds) override;
  // Silences every sound where it is, and lets the device stop mixing, while
  // nobody can see the show; false resumes them.
  void Pause(bool paused);

  // Shared by the device and its buffers, so the context outlives every
  // source and buffer made on it whatever order their owners go in.
  struct Context;

 private:
  explicit OpenAlAudio(std::shared_ptr<Context> context);
  std::shared_ptr<Context> context_;
};

}  // namespace brisane
