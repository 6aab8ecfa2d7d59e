// The reflection: the scene drawn a second time, through the current camera
// mirrored in the sea's plane, into the environment map the sea samples.
// Parts on the deck are left out: seen from below the water they would
// show through the hull.
#include "show/ship_contract.h"
#include "show/water.h"

namespace brisane {

namespace {

void SetVisible(const std::vector<SceneNode*>& nodes, bool visible) {
  for (SceneNode* node : nodes) node->SetVisible(visible);
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
  device.Clear(d3d::kClearTarget | d3d::kClearZBuffer, 0xFF000000u, 1.0f, 0);

  Camera* camera = scene_.currentCamera();
  if (camera) camera->reflect = true;
  SetVisible(hidden_, false);
  scene_.Render(device);
  SetVisible(hidden_, true);
  if (camera) {
    camera->reflect = false;
    camera->Apply(device);
  }

  if (Failed(device.SetRenderTarget(nullptr)) && fatal_) fatal_("SetRenderTarget(g_pddsBackBuffer, 0) FAILED!");
  device.SetViewport(normal);
}

}  // namespace brisane
