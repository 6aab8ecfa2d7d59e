// The show's glows: the two stern lanterns, which follow their nodes, and
// the sun with its lens flare. Made at setup; with EnableLensFlares off the
// lanterns' set stays empty and there is no flare.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "scene/scene.h"
#include "show/frame.h"
#include "show/glow.h"
#include "show/member_pass.h"

namespace brisane {

class ShowLights {
 public:
  // screenWidth sizes the glows, screenScale the flare sprites.
  ShowLights(Scene& scene, const PictureSource& pictures, bool enabled, std::uint32_t screenWidth,
             float screenScale);

  void AddPasses(FramePasses& passes);
  void RemovePasses(FramePasses& passes);

  // The light cycle's share of the sun: its glow's maximum intensity.
  void SetSunMaximum(std::int32_t value);

  GlowSet& lanterns() { return lanterns_; }
  LensFlare* flare() { return flare_.get(); }

 private:
  void DrawLanterns(FrameContext& frame);
  void DrawFlare(FrameContext& frame);

  Scene& scene_;
  GlowSet lanterns_;
  std::unique_ptr<LensFlare> flare_;
  std::array<SceneNode*, 2> lanternNodes_{};
  bool lanternsFound_ = false;
  MemberPass<ShowLights> lanternPass_{*this, &ShowLights::DrawLanterns, "lantern glows"};
  MemberPass<ShowLights> flarePass_{*this, &ShowLights::DrawFlare, "sun flare"};
};

}  // namespace brisane
