// The ship rides the sea: every frame the waves are sampled under three
// points of the hull, and the ship is heaved, pitched and rolled to follow
// them, always from its pose as loaded so no error builds up. It heels 5
// degrees to the wind throughout, and its timbers creak when the bow rises
// or falls far.
#pragma once

#include <array>
#include <cstdint>

#include "scene/scene.h"
#include "show/frame.h"
#include "show/water.h"
#include "sound/sound3d.h"

namespace brisane {

// The constant heel, 5 degrees.
inline constexpr float kHeel = 0.08726647f;
// The ship sits this much lower in the water than in the scene file.
inline constexpr float kDraught = 2.0f;
// Bow heights beyond which the timbers creak.
inline constexpr float kCreakHeight = 2.8f;

class ShipMotion final : public FramePass {
 public:
  // The sounds are played, never owned; silent ones are fine.
  ShipMotion(Scene& scene, const SeaSurface& sea, Sound3D& creakHigh, Sound3D& creakLow);

  // Places the three points in the water's own space from the scene's
  // current world matrices. Without the points or the water's node the
  // ship stays as it is.
  void InitWaterPoints();

  std::string_view Name() const override { return "ship motion"; }
  void Run(FrameContext&) override { RockShip(); }
  // Samples the sea under the points and poses the ship.
  void RockShip();

  // The points with the heights of the last sample.
  const std::array<Vector3, 3>& points() const { return points_; }
  float pitch() const { return pitch_; }
  float roll() const { return roll_; }
  float heave() const { return heave_; }
  bool highArmed() const { return highArmed_; }
  bool lowArmed() const { return lowArmed_; }

 private:
  void TakePose();

  Scene& scene_;
  const SeaSurface& sea_;
  Sound3D& creakHigh_;
  Sound3D& creakLow_;

  bool pointsPlaced_ = false;
  std::array<Vector3, 3> points_{};
  bool poseTaken_ = false;
  SceneNode* ship_ = nullptr;
  Matrix loaded_ = Matrix::Identity();
  Vector3 pitchAxis_, rollAxis_;

  float pitch_ = 0.0f, roll_ = 0.0f, heave_ = 0.0f;
  bool highArmed_ = true, lowArmed_ = true;
};

}  // namespace brisane
