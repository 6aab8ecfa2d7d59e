// Generated resources by number, each made once, and little-endian fields.
#pragma once

#include <cstdint>

#include "generator.h"

namespace brisane::assets::testing {

const Asset& ById(int id);
inline std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
inline std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

}  // namespace brisane::assets::testing
