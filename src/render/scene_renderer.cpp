#include "render/scene_renderer.h"

#include <algorithm>

namespace brisane {

namespace {

std::uint32_t Channel(float level) {
  // Clamped so that a level outside 0..1 cannot spill into the next channel;
  // NaN reads as 0 rather than reaching the integer conversion.
  if (!(level > 0.0f)) return 0;
  const float scaled = std::clamp(level, 0.0f, 1.0f) * 255.0f;
  return static_cast<std::uint32_t>(scaled);
}

}  // namespace

void SetFixedRenderStates(Device& device, bool anisotropic, const AmbientLevels& ambient) {
  const std::uint32_t minFilter = anisotropic ? d3d::kMinFilterAnisotropic : d3d::kFilterLinear;
  const std::uint32_t magFilter = anisotropic ? d3d::kMagFilterAnisotropic : d3d::kFilterLinear;
  for (std::uint32_t stage = 0; stage < 2; ++stage) {
    device.SetTextureStageState(stage, TextureStageState::MinFilter, minFilter);
    device.SetTextureStageState(stage, TextureStageState::MagFilter, magFilter);
  }
  device.SetRenderState(RenderState::Ambient, 0xFF000000u | Channel(ambient.red) << 16 |
                                                  Channel(ambient.green) << 8 | Channel(ambient.blue));
  device.SetRenderState(RenderState::DitherEnable, 1);
  device.SetRenderState(RenderState::SpecularEnable, 0);
  device.SetRenderState(RenderState::LocalViewer, 0);
  device.SetRenderState(RenderState::ZEnable, 1);
  device.SetRenderState(RenderState::Lighting, 1);
  device.SetRenderState(RenderState::AlphaTestEnable, 1);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::ShadeMode, d3d::kShadeGouraud);
  device.SetRenderState(RenderState::StippledAlpha, 1);
}

}  // namespace brisane
