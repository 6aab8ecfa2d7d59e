// RIFF WAVE bytes built chunk by chunk, so tests can make any layout,
// including broken ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisane::testing {

using WaveBytes = std::vector<std::uint8_t>;

inline void Put16(WaveBytes& b, std::uint32_t v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
inline void Put32(WaveBytes& b, std::uint32_t v) { Put16(b, v & 0xFFFF), Put16(b, v >> 16); }

// A chunk: id, size (the body's length unless told), body, and the pad
// byte after an odd body.
inline WaveBytes Chunk(const std::string& id, const WaveBytes& body, bool pad = true) {
  WaveBytes b(id.begin(), id.end());
  Put32(b, static_cast<std::uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (pad && (body.size() & 1)) b.push_back(0);
  return b;
}

inline WaveBytes FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  WaveBytes b;
  const std::uint16_t block = static_cast<std::uint16_t>(channels * (bits / 8));
  Put16(b, tag), Put16(b, channels), Put32(b, rate), Put32(b, rate * block), Put16(b, block), Put16(b, bits);
  return b;
}

// "RIFF", its size over what follows, "WAVE", the chunks.
inline WaveBytes Riff(const std::vector<WaveBytes>& chunks) {
  WaveBytes inner{'W', 'A', 'V', 'E'};
  for (const WaveBytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
  return Chunk("RIFF", inner, false);
}

inline WaveBytes Ramp(std::size_t n, std::uint8_t start = 1) {
  WaveBytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(start + i);
  return b;
}

// 16-bit mono PCM at 22050 Hz around the data.
inline WaveBytes PcmWave(const WaveBytes& data) {
  return Riff({Chunk("fmt ", FmtBody(1, 1, 22050, 16)), Chunk("data", data)});
}

}  // namespace brisane::testing
