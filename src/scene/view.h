// The camera's view on the device: scene matrices as device matrices.
#pragma once

#include <optional>

#include "platform/device.h"
#include "scene/matrix.h"

namespace brisane {

// The view of a camera with this world matrix: its third row negated (the
// scene looks down the other axis), inverted, then scaled by 0.01 (scene
// units are centimetres). None for a degenerate camera matrix.
std::optional<Matrix> CameraView(const Matrix& cameraWorld);

DeviceMatrix ToDevice(const Matrix& matrix);

}  // namespace brisane
