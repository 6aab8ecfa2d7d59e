// Shared by the asset tests: the generated set (made once per test program),
// lookups by number, and a reference JPEG decode through libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generator.h"

namespace brisane::assets::testing {

// Every generated resource, in resource-script order.
std::vector<const Asset*> Generated();
const Asset& ById(int id);

struct Decoded {
  bool ok = false;
  std::string error;
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first

  const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
  // Pixel at a fraction of the width and height.
  const std::uint8_t* frac(double fx, double fy) const {
    return at(static_cast<int>(fx * (width - 1) + 0.5), static_cast<int>(fy * (height - 1) + 0.5));
  }
};

Decoded DecodeJpeg(const Bytes& bytes);

// Colour distance (largest channel difference).
int Distance(const std::uint8_t* p, int r, int g, int b);

// Little-endian fields of the generated files.
inline std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
inline std::uint32_t U32(const Bytes& b, std::size_t at) {
  return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

}  // namespace brisane::assets::testing
