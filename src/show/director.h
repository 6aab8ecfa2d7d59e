// The show director: tours the show's cameras on a timer, with a fade
// through black between two viewpoints. Flying cameras keep their place on
// their path while another is shown (parked at a crawl) and start it again
// when less than ten seconds of it are left.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "render/gamma.h"
#include "scene/scene.h"
#include "show/frame.h"

namespace brisane {

// One camera of the tour.
struct CameraEntry {
  Camera* camera = nullptr;
  std::int32_t remainingTime = 0;  // flight time left on its path; 0 = not tracked
  std::int32_t pathTime = 0;       // full flight time; 0 = not tracked
  std::uint32_t fromTime = 0;      // key window of its path
  std::uint32_t toTime = 0;        // 0: a still camera
  float speed = 1.0f;
};

// A parked path advances this slowly, so it stays near where it stopped.
inline constexpr float kParkedSpeed = 0.0001f;

class ShowDirector final : public FramePass {
 public:
  // ceiling: the gamma the fades rise to. gamma may be null (no fades shown).
  ShowDirector(Scene& scene, std::vector<CameraEntry> cameras, GammaTarget* gamma, float ceiling);

  std::string_view Name() const override { return "director"; }
  void Run(FrameContext& frame) override;

  const std::vector<CameraEntry>& cameras() const { return cameras_; }
  std::optional<std::size_t> current() const { return current_; }
  float level() const { return level_; }
  bool fading() const { return fadingOut_ || fadingIn_; }
  std::uint32_t period() const { return period_; }

 private:
  void Switch(std::uint32_t now, RandomSource& random);
  void Fade(std::uint32_t now);
  void ApplyLevel();

  Scene& scene_;
  std::vector<CameraEntry> cameras_;
  GammaTarget* gamma_;
  float ceiling_;

  bool started_ = false;
  std::optional<std::size_t> current_, previous_;
  std::uint32_t lastSwitch_ = 0;
  std::uint32_t basePeriod_ = 0;
  std::uint32_t period_ = 0;
  bool random_ = false;
  bool firstSwitch_ = true;
  bool fadingOut_ = false, fadingIn_ = false;
  std::uint32_t fadeStart_ = 0;
  float level_ = 1.0f;
};

}  // namespace brisane
