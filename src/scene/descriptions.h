// Fixed-layout records of the scene files. Materials and lights are stored
// in the layout of the device's own material and light structures, so they
// are read straight into those.
#pragma once

#include <cstdint>

#include "platform/device.h"
#include "scene/matrix.h"

namespace brisane {

inline constexpr std::uint32_t kMaterialDescriptionBytes = 68;  // DeviceMaterial
inline constexpr std::uint32_t kLightDescriptionBytes = 104;    // DeviceLight

// One timed local transform of a node; times are milliseconds of the
// scene's own time line.
struct TransformKey {
  std::uint32_t time = 0;
  Matrix matrix = Matrix::Identity();
};

}  // namespace brisane
