// An AudioDevice that plays nothing: it keeps what a DirectSound device would
// keep (each buffer's bytes, play state, volume, 3D record; the listener)
// and logs every call in order across the device and its buffers, so tests
// check both the state left behind and the order of start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    ++fills;
    return Log("Fill(" + std::to_string(data.size()) + ")");
  }
  HResult Play(bool loop) override {
    if (lost) return Log("Play", kSoundBufferLost);
    playing = true;
    looping = loop;
    ++plays;
    return Log(std::string("Play(") + (loop ? "loop" : "once") + ")");
  }
  HResult Stop() override {
    playing = false;
    return Log("Stop");
  }
  HResult IsPlaying(bool& answer) override {
    answer = playing;
    return kOk;
  }
  HResult SetPlayPosition(std::uint32_t offset) override {
    position = offset;
    return Log("SetPlayPosition(" + std::to_string(offset) + ")");
  }
  HResult SetVolume(std::int32_t level) override {
    volume = level;
    return Log("SetVolume(" + std::to_string(level) + ")");
  }
  HResult IsLost(bool& answer) override {
    answer = lost;
    return kOk;
  }
  // Answers kSoundBufferLost restoreRefusals times before it gives the
  // buffer back, emptied, as the system does.
  HResult Restore() override {
    ++restores;
    if (restoreRefusals > 0) {
      --restoreRefusals;
      return Log("Restore", kSoundBufferLost);
    }
    if (lost) bytes.assign(bytes.size(), 0);
    lost = false;
    return Log("Restore");
  }
  HResult GetParameters(SoundParameters& parameters) override {
    parameters = params;
    return kOk;
  }
  HResult SetParameters(const SoundParameters& parameters, bool deferred) override {
    params = parameters;
    wasDeferred = deferred;
    return Log("SetParameters");
  }
  HResult SetConeAngles(std::uint32_t inside, std::uint32_t outside) override {
    params.insideConeAngle = inside;
    params.outsideConeAngle = outside;
    return Log("SetConeAngles(" + std::to_string(inside) + ", " + std::to_string(outside) + ")");
  }

  WaveFormat format;
  std::uint32_t size;
  std::vector<std::uint8_t> bytes;
  SoundParameters params;
  bool wasDeferred = false;
  bool playing = false, looping = false, lost = false;
  std::uint32_t position = 0;
  std::int32_t volume = 0;
  int plays = 0, fills = 0, restores = 0, restoreRefusals = 0;

 private:
  HResult Log(const std::string& call, HResult result = kOk);
  RecordingAudio& audio_;
  int number_;
};

class RecordingAudio : public AudioDevice {
 public:
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, std::uint32_t bytes,
                                            HResult& result) override {
    if (failCreate) {
      result = kEFail;
      log.push_back("CreateBuffer failed");
      return nullptr;
    }
    result = kOk;
    auto buffer = std::make_unique<RecordingBuffer>(*this, static_cast<int>(created.size()), format, bytes);
    // DirectSound's defaults for a new 3D buffer.
    buffer->params.minDistance = 1.0f;
    buffer->params.maxDistance = 1.0e9f;
    buffer->params.mode = 0;
    created.push_back(buffer.get());
    log.push_back("CreateBuffer#" + std::to_string(created.size() - 1) + "(" + std::to_string(bytes) + ")");
    return buffer;
  }
  HResult GetListener(ListenerParameters& parameters) override {
    parameters = listener;
    log.push_back("GetListener");
    return kOk;
  }
  HResult SetListener(const ListenerParameters& parameters) override {
    listener = parameters;
    ++listenerSets;
    log.push_back("SetListener");
    return kOk;
  }
  HResult SetDistanceFactor(float metresPerUnit) override {
    listener.distanceFactor = metresPerUnit;
    log.push_back("SetDistanceFactor");
    return kOk;
  }
  void Sleep(std::uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

  // The buffers made, by creation order; null once released.
  std::vector<RecordingBuffer*> created;
  std::vector<std::string> log;  // "#1 Play(loop)", "SetListener", ...
  ListenerParameters listener;
  int listenerSets = 0;
  std::vector<std::uint32_t> sleeps;
  bool failCreate = false;
};

inline RecordingBuffer::~RecordingBuffer() {
  audio_.created[static_cast<std::size_t>(number_)] = nullptr;
  Log("Release");
}

// Appended piece by piece: g++ 12 at -O3 warns falsely on "#" + string.
inline HResult RecordingBuffer::Log(const std::string& call, HResult result) {
  std::string line = "#";
  line += std::to_string(number_);
  line += ' ';
  line += call;
  if (Failed(result)) line += " failed";
  audio_.log.push_back(std::move(line));
  return result;
}

}  // namespace brisane::testing
