#include "show/ship_motion.h"

#include <cmath>

#include "show/ship_contract.h"

namespace brisane {

namespace {

// Elevation of the direction d above the horizontal plane, in radians;
// 0 for a zero direction.
float Elevation(const Vector3& d) {
  const float flat = d.x * d.x + d.y * d.y;
  const float whole = flat + d.z * d.z;
  if (!(whole > 0.0f)) return 0.0f;
  const float a = std::acos(std::sqrt(flat) / std::sqrt(whole));
  return d.z < 0.0f ? -a : a;
}

}  // namespace

ShipMotion::ShipMotion(Scene& scene, const SeaSurface& sea, Sound3D& creakHigh, Sound3D& creakLow)
    : scene_(scene), sea_(sea), creakHigh_(creakHigh), creakLow_(creakLow) {}

void ShipMotion::InitWaterPoints() {
  pointsPlaced_ = false;
  SceneNode* sea = scene_.FindNode(std::string(contract::kWater[0]));
  if (!sea) return;
  const auto toWater = Inverse(sea->world());
  if (!toWater) return;
  for (std::size_t i = 0; i < 3; ++i) {
    SceneNode* dummy = scene_.FindNode(std::string(contract::kWaterPoints[i]));
    if (!dummy) return;
    const Vector3 p = dummy->position();
    const Matrix& v = *toWater;
    const float w = p.x * v(0, 3) + p.y * v(1, 3) + p.z * v(2, 3) + v(3, 3);
    if (w == 0.0f) return;
    points_[i] = TransformPoint(p, v) / w;
  }
  pointsPlaced_ = true;
}

void ShipMotion::TakePose() {
  poseTaken_ = true;
  Vector3 at[3];
  for (std::size_t i = 0; i < 3; ++i) {
    SceneNode* dummy = scene_.FindNode(std::string(contract::kWaterPoints[i]));
    if (!dummy) return;
    at[i] = dummy->position();
  }
  ship_ = scene_.FindNode(std::string(contract::kShipRoot));
  if (!ship_) return;
  loaded_ = ship_->local();
  // Pitch about the line across the stern points, roll about the line from
  // the bow point to the middle of the other two, as the ship was placed.
  pitchAxis_ = at[2] - at[1];
  rollAxis_ = (at[2] + at[1]) * 0.5f - at[0];
}

void ShipMotion::RockShip() {
  if (!pointsPlaced_) return;
  sea_.WaveHeight(points_);
  const Vector3& p1 = points_[0];
  const Vector3& p2 = points_[1];
  const Vector3& p3 = points_[2];
  pitch_ = Elevation(p2 - p1);
  roll_ = -Elevation(p3 - p2);

  // Each latch plays once on the way out and re-arms back inside the band.
  if (p1.z > kCreakHeight) {
    if (highArmed_) {
      highArmed_ = false;
      creakHigh_.Play(false);
    }
  } else {
    highArmed_ = true;
  }
  if (p1.z < -kCreakHeight) {
    if (lowArmed_) {
      lowArmed_ = false;
      creakLow_.Play(false);
    }
  } else {
    lowArmed_ = true;
  }

  if (!poseTaken_) TakePose();
  heave_ = ((p3.z + p2.z) * 0.5f + p1.z) * 0.5f - kDraught;
  if (!ship_) return;
  const Matrix heave = Matrix::Translation(0.0f, 0.0f, heave_);
  ship_->SetLocal(loaded_ * heave * AxisRotation(pitchAxis_, pitch_) * AxisRotation(rollAxis_, roll_ + kHeel));
}

}  // namespace brisane
