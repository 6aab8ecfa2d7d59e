// An AudioDevice that plays nothing: it keeps what the system would keep and
// logs every call in order across the device and its buffers.
#pragma once

#include <memory>
#include <string>

#include "platform/audio.h"

namespace brisane::testing {

class RecordingAudio;

class RecordingBuffer : public SoundBuffer {
 public:
  RecordingBuffer(RecordingAudio& audio, int number, WaveFormat format, std::uint32_t size)
      : format(std::move(format)), size(size), audio_(audio), number_(number) {}
  ~RecordingBuffer() override;

  HResult Fill(std::span<const std::uint8_t> data) override {
    if (data.size() > size) return Log("Fill", kInvalidArgument);
    bytes.assign(data.begin(), data.end());
    return Log("Fill");
  }
  HResult Play(bool loop) override {
    if (lost) return Log("Play", kSoundBufferLost);
    playing = true, looping = loop, ++plays;
    return Log(loop ? "Play(loop)" : "Play(once)");
  }
  HResult Stop() override { return playing = false, Log("Stop"); }
  HResult IsPlaying(bool& answer) override { return answer = playing, kOk; }
  HResult SetPlayPosition(std::uint32_t offset) override { return position = offset, Log("SetPlayPosition"); }
  HResult SetVolume(std::int32_t level) override { return volume = level, Log("SetVolume"); }
  HResult IsLost(bool& answer) override { return answer = lost, kOk; }
  // Refuses restoreRefusals times, then gives the buffer back emptied, as the system does.
  HResult Restore() override {
    if (restoreRefusals > 0) return --restoreRefusals, Log("Restore", kSoundBufferLost);
    if (lost) bytes.assign(bytes.size(), 0);
    lost = false;
    return Log("Restore");
  }
  HResult GetParameters(SoundParameters& parameters) override { return parameters = params, kOk; }
  HResult SetParameters(const SoundParameters& parameters, bool deferred) override {
    return params = parameters, wasDeferred = deferred, Log("SetParameters");
  }
  HResult SetConeAngles(std::uint32_t inside, std::uint32_t outside) override {
    return params.insideConeAngle = inside, params.outsideConeAngle = outside, Log("SetConeAngles");
  }
  WaveFormat format;
  std::uint32_t size;
  std::vector<std::uint8_t> bytes;
  SoundParameters params;  // DirectSound's defaults for a new 3D buffer
  bool wasDeferred = false, playing = false, looping = false, lost = false;
  std::uint32_t position = 0;
  std::int32_t volume = 0;
  int plays = 0, restoreRefusals = 0;
 private:
  HResult Log(const char* call, HResult result = kOk);
  RecordingAudio& audio_;
  int number_;
};

class RecordingAudio : public AudioDevice {
 public:
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                            HResult& result) override {
    result = failCreate ? kEFail : kOk;
    if (failCreate) return nullptr;
    auto buffer = std::make_unique<RecordingBuffer>(*this, static_cast<int>(created.size()), format, bytes);
    created.push_back(buffer.get());
    log.push_back("CreateBuffer#" + std::to_string(created.size() - 1));
    return buffer;
  }
  HResult GetListener(ListenerParameters& parameters) override { return parameters = listener, kOk; }
  HResult SetListener(const ListenerParameters& parameters) override {
    return listener = parameters, log.push_back("SetListener"), kOk;
  }
  HResult SetDistanceFactor(float metresPerUnit) override {
    return listener.distanceFactor = metresPerUnit, log.push_back("SetDistanceFactor"), kOk;
  }
  void Sleep(std::uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
  std::vector<RecordingBuffer*> created;  // by creation order; null once released
  std::vector<std::string> log;           // "#1 Play(loop)", "SetListener", ...
  ListenerParameters listener;
  std::vector<std::uint32_t> sleeps;
  bool failCreate = false;
};

inline RecordingBuffer::~RecordingBuffer() {
  audio_.created[static_cast<std::size_t>(number_)] = nullptr;
  Log("Release");
}

inline HResult RecordingBuffer::Log(const char* call, HResult result) {
  std::string line = "#";  // appended piece by piece: g++ 12 at -O3 warns falsely on "#" + string
  line += std::to_string(number_);
  line += ' ';
  line += call;
  if (Failed(result)) line += " failed";
  audio_.log.push_back(std::move(line));
  return result;
}

}  // namespace brisane::testing
