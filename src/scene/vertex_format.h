// Vertex formats as the scene files store them.
#pragma once

#include <cstdint>

#include "platform/device.h"

namespace brisane {

// The two formats of the scene data: position, normal and one or two
// texture coordinate pairs.
inline constexpr std::uint32_t kFvfOneTexture = d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex1;   // 0x112, 32 bytes
inline constexpr std::uint32_t kFvfTwoTextures = d3d::kFvfXyz | d3d::kFvfNormal | d3d::kFvfTex2;  // 0x212, 40 bytes

// Bytes per vertex of the format, or 0 for a code that describes no usable
// vertex (no position, reserved bits, size bits of coordinate sets that are
// not there). Unlike VertexSize it also honours coordinate set sizes, since
// it checks data that comes from a file.
std::uint32_t FvfStride(std::uint32_t fvf);

}  // namespace brisane
