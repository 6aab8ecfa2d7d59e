#include "show/lights.h"

#include <string>

#include "settings/settings_keys.h"
#include "show/ship_contract.h"

namespace brisane {

namespace {

constexpr float kSunGlowSize = 600.0f;
constexpr std::uint32_t kSunFadeMs = 1000;
constexpr float kSunRotation = 0.1f;
constexpr float kLanternGlowSize = 75.0f;
constexpr std::uint32_t kLanternFadeMs = 500;
constexpr float kLanternReach = 1200.0f;

}  // namespace

ShowLights::ShowLights(Scene& scene, const PictureSource& pictures, bool enabled, std::uint32_t screenWidth,
                       float screenScale)
    : scene_(scene), lanterns_(pictures, screenWidth, pictures.clock.now()) {
  if (!enabled) return;
  if (SceneNode* sun = scene.FindNode(std::string(contract::kSun))) {
    flare_ = std::make_unique<LensFlare>(pictures, screenWidth, pictures.clock.now(), sun->world(),
                                         Picture{"", contract::kSunGlowPicture}, kSunGlowSize, kSunFadeMs);
    for (const contract::FlareSpec& spec : contract::kFlares)
      flare_->Add({"", spec.picture}, static_cast<std::uint32_t>(screenScale * 6.0f * spec.sizeFactor), spec.t);
    flare_->sunGlow().SetRotationFactor(0, kSunRotation);
  }
  for (std::size_t i = 0; i < contract::kLanterns.size(); ++i) {
    SceneNode* node = scene.FindNode(std::string(contract::kLanterns[i]));
    if (!node) continue;
    const std::size_t glow =
        lanterns_.Add({"", contract::kLanternGlowPictures[i]}, kLanternGlowSize, node->world(), kLanternFadeMs);
    lanterns_.SetFlickerSizeFactor(glow, 0.0f);
    lanterns_.SetMaximumDistance(glow, kLanternReach);
  }
}

void ShowLights::AddPasses(FramePasses& passes) {
  passes.Add(FrameStep::Glows, lanternPass_);
  passes.Add(FrameStep::SunFlare, flarePass_);
}

void ShowLights::RemovePasses(FramePasses& passes) {
  passes.Remove(lanternPass_);
  passes.Remove(flarePass_);
}

void ShowLights::SetSunMaximum(std::int32_t value) {
  if (flare_) flare_->sunGlow().SetMaximumIntensity(0, value);
}

void ShowLights::DrawLanterns(FrameContext& frame) {
  if (frame.settings.Get(key::EnableLensFlares).AsInt() == 0) return;
  Camera* camera = scene_.currentCamera();
  if (!camera) return;
  if (!lanternsFound_) {
    lanternsFound_ = true;
    for (std::size_t i = 0; i < lanternNodes_.size(); ++i)
      lanternNodes_[i] = scene_.FindNode(std::string(contract::kLanterns[i]));
  }
  // The glows were added in lantern order, skipping lanterns the scene lacks.
  std::size_t glow = 0;
  for (SceneNode* node : lanternNodes_)
    if (node) lanterns_.SetPosition(glow++, node->world());
  lanterns_.Draw(frame.device, *camera, frame.now, frame.random);
}

void ShowLights::DrawFlare(FrameContext& frame) {
  Camera* camera = scene_.currentCamera();
  if (flare_ && camera) flare_->Draw(frame.device, *camera, frame.now, frame.random);
}

}  // namespace brisane
