// The fixed-layout records the scene files carry for materials and lights,
// in the field order of the 3D device's own material and light structures.
#pragma once

#include <cstdint>

#include "scene/matrix.h"

namespace brisane {

struct Color4 {
  float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
  friend bool operator==(const Color4&, const Color4&) = default;
};

// 68 bytes in the file.
struct MaterialDescription {
  Color4 diffuse, ambient, specular, emissive;
  float power = 0.0f;
  friend bool operator==(const MaterialDescription&, const MaterialDescription&) = default;
};

inline constexpr std::uint32_t kLightPoint = 1;

// 104 bytes in the file.
struct LightDescription {
  std::uint32_t type = kLightPoint;
  Color4 diffuse, specular, ambient;
  Vector3 position, direction;
  float range = 0.0f, falloff = 0.0f;
  float attenuation0 = 0.0f, attenuation1 = 0.0f, attenuation2 = 0.0f;
  float theta = 0.0f, phi = 0.0f;
  friend bool operator==(const LightDescription&, const LightDescription&) = default;
};

inline constexpr std::uint32_t kMaterialDescriptionBytes = 68;
inline constexpr std::uint32_t kLightDescriptionBytes = 104;

}  // namespace brisane

namespace brisane {

// One timed local transform of a node; times are milliseconds of the
// scene's own time line.
struct TransformKey {
  std::uint32_t time = 0;
  Matrix matrix = Matrix::identity();
};

}  // namespace brisane
