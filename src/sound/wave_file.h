// A reader of RIFF WAVE data held in memory: a "WAVFILE" resource of the
// program, or the whole of a file read at open. Only chunks that lie wholly
// inside the bytes are ever used, so damaged or hostile data fails at open
// and a read can never go past the end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/audio.h"
#include "platform/device.h"
#include "platform/resource_source.h"

namespace brisane {

inline constexpr std::string_view kWaveResourceType = "WAVFILE";

class WaveFile {
 public:
  // The resource resourceId of type "WAVFILE", or else the file fileName
  // (none when it is empty). kEFail when neither opens or parses.
  HResult Open(const ResourceSource& resources, std::uint16_t resourceId, std::string_view fileName);
  // Over bytes that outlive the reader.
  HResult Open(std::span<const std::uint8_t> bytes);
  // Back to the start of the "data" chunk, all of it available again.
  HResult Reset();
  // Up to count bytes of the data chunk (what remains of it) into
  // destination, which holds at least count bytes.
  HResult Read(std::uint32_t count, std::uint8_t* destination, std::uint32_t& bytesRead);

  // Null until an open succeeded.
  const WaveFormat* format() const { return format_ ? &*format_ : nullptr; }
  // The whole data chunk, and what a read has not taken yet.
  std::uint32_t dataSize() const { return dataSize_; }
  std::uint32_t dataRemaining() const { return dataRemaining_; }

 private:
  struct Chunk {
    std::size_t body = 0;  // offset of the chunk's contents
    std::uint32_t size = 0;
  };
  // The first chunk id inside [from, end) whose contents lie wholly inside.
  std::optional<Chunk> Find(std::string_view id, std::size_t from, std::size_t end) const;
  HResult Parse();
  void Close();

  std::vector<std::uint8_t> fileBytes_;  // a file's contents; a resource is borrowed
  std::span<const std::uint8_t> bytes_;
  std::optional<WaveFormat> format_;
  Chunk riff_;
  std::size_t riffEnd_ = 0;
  std::size_t readAt_ = 0;
  std::uint32_t dataSize_ = 0;
  std::uint32_t dataRemaining_ = 0;
};

}  // namespace brisane
