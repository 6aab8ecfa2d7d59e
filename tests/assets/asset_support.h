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
  int width = 0, height = 0, components = 0;
  bool progressive = false;
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

}  // namespace brisane::assets::testing
