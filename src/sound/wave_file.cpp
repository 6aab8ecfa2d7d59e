#include "sound/wave_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace brisane {

namespace {

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

bool IdAt(std::span<const std::uint8_t> b, std::size_t at, std::string_view id) {
  return std::memcmp(b.data() + at, id.data(), 4) == 0;
}

}  // namespace

HResult WaveFile::Open(const ResourceSource& resources, std::uint16_t resourceId, std::string_view fileName) {
  Close();
  if (const auto resource = resources.find(resourceId, kWaveResourceType)) return Open(*resource);
  if (fileName.empty()) return kEFail;
  std::ifstream file{std::string(fileName), std::ios::binary};
  if (!file) return kEFail;
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return kEFail;
  fileBytes_ = std::move(bytes);
  bytes_ = fileBytes_;
  const HResult result = Parse();
  if (Failed(result)) Close();
  return result;
}

HResult WaveFile::Open(std::span<const std::uint8_t> bytes) {
  Close();
  bytes_ = bytes;
  const HResult result = Parse();
  if (Failed(result)) Close();
  return result;
}

void WaveFile::Close() {
  format_.reset();
  fileBytes_.clear();
  bytes_ = {};
  riff_ = {};
  riffEnd_ = readAt_ = 0;
  dataSize_ = dataRemaining_ = 0;
}

std::optional<WaveFile::Chunk> WaveFile::Find(std::string_view id, std::size_t from, std::size_t end) const {
  // 64-bit sums: a size near 4 GiB must not wrap a 32-bit size_t.
  std::uint64_t at = from;
  while (at + 8 <= end) {
    const auto header = static_cast<std::size_t>(at);
    const std::uint32_t size = U32(bytes_, header + 4);
    const std::uint64_t body = at + 8;
    if (IdAt(bytes_, header, id)) {
      if (body + size > end) return std::nullopt;  // cut short or lying about its size
      return Chunk{static_cast<std::size_t>(body), size};
    }
    at = body + size + (size & 1u);  // chunks are word aligned
  }
  return std::nullopt;
}

HResult WaveFile::Parse() {
  if (bytes_.size() < 12 || !IdAt(bytes_, 0, "RIFF") || !IdAt(bytes_, 8, "WAVE")) return kEFail;
  // Writers that stream often leave the RIFF size wrong; the chunks inside
  // are checked against the bytes there are.
  riff_ = {8, U32(bytes_, 4)};
  if (riff_.size < 4) return kEFail;
  riffEnd_ = static_cast<std::size_t>(std::min<std::uint64_t>(8ull + riff_.size, bytes_.size()));

  const auto fmt = Find("fmt ", riff_.body + 4, riffEnd_);
  if (!fmt || fmt->size < 16) return kEFail;
  WaveFormat format;
  const std::size_t f = fmt->body;
  format.formatTag = U16(bytes_, f);
  format.channels = U16(bytes_, f + 2);
  format.samplesPerSecond = U32(bytes_, f + 4);
  format.bytesPerSecond = U32(bytes_, f + 8);
  format.blockAlign = U16(bytes_, f + 12);
  format.bitsPerSample = U16(bytes_, f + 14);
  // No device can play these, and a zero block would divide by zero on the way.
  if (format.channels == 0 || format.blockAlign == 0 || format.samplesPerSecond == 0) return kEFail;
  constexpr std::uint16_t kPcm = 1;
  if (format.formatTag != kPcm && fmt->size >= 18) {
    // Other formats keep their extra bytes; a chunk without the count has none.
    const std::uint16_t extra = U16(bytes_, f + 16);
    if (18u + extra > fmt->size) return kEFail;
    format.extra.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(f + 18),
                        bytes_.begin() + static_cast<std::ptrdiff_t>(f + 18 + extra));
  }
  format_ = std::move(format);
  return Reset();
}

HResult WaveFile::Reset() {
  if (!format_) return kEFail;
  const auto data = Find("data", riff_.body + 4, riffEnd_);
  if (!data) return kEFail;
  readAt_ = data->body;
  dataSize_ = dataRemaining_ = data->size;
  return kOk;
}

HResult WaveFile::Read(std::uint32_t count, std::uint8_t* destination, std::uint32_t& bytesRead) {
  bytesRead = 0;
  if (!format_) return kEFail;
  const std::uint32_t n = std::min(count, dataRemaining_);
  if (n > 0) std::memcpy(destination, bytes_.data() + readAt_, n);
  readAt_ += n;
  dataRemaining_ -= n;
  bytesRead = n;
  return kOk;
}

}  // namespace brisane
