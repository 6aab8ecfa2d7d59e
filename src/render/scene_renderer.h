// The scene renderer's own pieces: the render states fixed for the whole
// run, and the camera's view matrix. The drawing hooks of the scene classes
// (Scene::render, GeometryObject::draw, Camera::apply, Material::Apply,
// TextureLayer::apply) are defined with them in scene_renderer.cpp.
#pragma once

#include <optional>

#include "platform/device.h"
#include "scene/matrix.h"

namespace brisane {

// Ambient light levels of the day and night cycle, 0 to 1 a channel.
struct AmbientLevels {
  float red = 0.0f, green = 0.0f, blue = 0.0f;
};

// Filtering of stages 0 and 1 (anisotropic when the device can), the
// ambient colour and the states every draw relies on; once after the scene
// is bound.
void SetFixedRenderStates(Device& device, bool anisotropic, const AmbientLevels& ambient);

// The view of a camera with this world matrix: its third row negated (the
// scene looks down the other axis), inverted, then scaled by 0.01 (scene
// units are centimetres). None for a degenerate camera matrix.
std::optional<Matrix> CameraView(const Matrix& cameraWorld);

DeviceMatrix ToDevice(const Matrix& matrix);

}  // namespace brisane
