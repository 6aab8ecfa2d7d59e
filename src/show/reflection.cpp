// The reflection: the scene drawn a second time, through the current camera
// mirrored in the sea's plane, into the environment map the sea samples.
// Parts on the deck are left out: seen from below the water they would
// show through the hull.
#include <algorithm>

#include "render/sprite.h"
#include "show/ship_contract.h"
#include "show/water.h"

namespace brisane {

namespace {

// The mirror's own colour, where nothing is mirrored and what a veiled
// mirror tends to: the low sky's, by day and by night.
constexpr std::uint32_t kDayClear = 0xFF50646Eu, kNightClear = 0xFF0A1A1Cu;
// The sea doubles the map's colour, which by day makes a lively mirror; at
// night the mirrored image keeps only this share against the mirror's own
// colour, so that the sunlit sails do not shine brighter below than above.
constexpr float kNightShare = 0.3f;

void SetVisible(const std::vector<SceneNode*>& nodes, bool visible) {
  for (SceneNode* node : nodes) node->SetVisible(visible);
}

std::uint32_t MixArgb(std::uint32_t a, std::uint32_t b, float t) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const auto channel = [shift](std::uint32_t c) { return static_cast<float>((c >> shift) & 0xFFu); };
    out |= static_cast<std::uint32_t>(Mix(channel(a), channel(b), t) + 0.5f) << shift;
  }
  return out;
}

// Veils what the map holds with a colour at an opacity: one quad over it.
void Veil(Device& device, MapSize size, std::uint32_t colour, float opacity) {
  const auto alpha = static_cast<std::uint32_t>(std::clamp(opacity, 0.0f, 1.0f) * 255.0f + 0.5f);
  const std::uint32_t c = (colour & 0x00FFFFFFu) | alpha << 24;
  const float w = static_cast<float>(size.width), h = static_cast<float>(size.height);
  const ScreenVertex quad[4] = {
      {0, 0, 0, 1, c, 0, 0, 0}, {w, 0, 0, 1, c, 0, 0, 0}, {0, h, 0, 1, c, 0, 0, 0}, {w, h, 0, 1, c, 0, 0, 0}};
  const SavedRenderStates saved(device, RenderState::AlphaBlendEnable, RenderState::SrcBlend, RenderState::DestBlend,
                                RenderState::ZEnable, RenderState::ZWriteEnable, RenderState::CullMode);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendInvSrcAlpha);
  device.SetRenderState(RenderState::ZEnable, 0);
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
  // The stages as the quad needs them, and back as they were: a material
  // drawn next may set only part of them.
  struct Stage {
    std::uint32_t stage;
    TextureStageState state;
    std::uint32_t value, saved = 0;
  };
  Stage stages[] = {{0, TextureStageState::ColorArg1, d3d::kTaDiffuse},
                    {0, TextureStageState::ColorOp, d3d::kTopSelectArg1},
                    {0, TextureStageState::AlphaArg1, d3d::kTaDiffuse},
                    {0, TextureStageState::AlphaOp, d3d::kTopSelectArg1},
                    {1, TextureStageState::ColorOp, d3d::kTopDisable},
                    {1, TextureStageState::AlphaOp, d3d::kTopDisable}};
  for (Stage& s : stages) {
    if (Failed(device.GetTextureStageState(s.stage, s.state, s.saved))) s.saved = s.value;
    device.SetTextureStageState(s.stage, s.state, s.value);
  }
  device.SetTexture(0, nullptr);
  device.DrawPrimitive(PrimitiveType::TriangleStrip, kScreenFvf, quad, 4);
  for (const Stage& s : stages) device.SetTextureStageState(s.stage, s.state, s.saved);
}

}  // namespace

void EnvWater::RenderReflection(Device& device) {
  if (!environmentWater_) return;
  if (!listsFound_) {
    listsFound_ = true;
    const auto find = [&](std::string_view name) {
      if (SceneNode* node = scene_.FindNode(std::string(name))) hidden_.push_back(node);
    };
    for (std::string_view name : contract::kReflectionHidden) find(name);
    for (std::string_view name : contract::kReflectionHiddenFittings) find(name);
  }

  DeviceViewport normal;
  device.GetViewport(normal);
  DeviceViewport mapViewport = normal;
  mapViewport.width = mapSize_.width;
  mapViewport.height = mapSize_.height;
  if (Failed(device.SetRenderTarget(environmentMap_.get()))) {
    if (fatal_) fatal_("SetRenderTarget(m_pEnvironmentMapTexture, 0) FAILED!");
    return;
  }
  // Only now: a device checks the viewport against the target in use, and
  // the map may be larger than the screen one way.
  if (Failed(device.SetViewport(mapViewport))) {
    if (fatal_) fatal_("SetViewport(m_pEnvironmentMapTexture) FAILED!");
    if (Failed(device.SetRenderTarget(nullptr)) && fatal_) fatal_("SetRenderTarget(g_pddsBackBuffer, 0) FAILED!");
    device.SetViewport(normal);
    return;
  }
  const std::uint32_t own = MixArgb(kNightClear, kDayClear, daylight_);
  device.Clear(d3d::kClearTarget | d3d::kClearZBuffer, own, 1.0f, 0);

  Camera* camera = scene_.currentCamera();
  if (camera) camera->reflect = true;
  SetVisible(hidden_, false);
  scene_.Render(device);
  SetVisible(hidden_, true);
  if (daylight_ < 1.0f) Veil(device, mapSize_, own, (1.0f - daylight_) * (1.0f - kNightShare));
  if (camera) {
    camera->reflect = false;
    camera->Apply(device);
  }

  if (Failed(device.SetRenderTarget(nullptr)) && fatal_) fatal_("SetRenderTarget(g_pddsBackBuffer, 0) FAILED!");
  device.SetViewport(normal);
}

}  // namespace brisane
