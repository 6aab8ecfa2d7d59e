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

// The view of the same camera mirrored in the world's plane z = 0, for the
// reflection in the sea: the eye goes to (x, y, -z) and the view tilts by
// twice the camera's pitch and roll against the horizon. It stays a proper
// rotation (the mirror would turn the triangles' winding), so its picture is
// the mirror image upside down; the water's reflection coordinates turn it
// back. The view itself for a block that cannot be inverted.
Matrix ReflectedView(const Matrix& view);

DeviceMatrix ToDevice(const Matrix& matrix);

}  // namespace brisane
