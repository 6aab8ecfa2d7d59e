// Keyed animation: transform keys blended linearly, geometry frames shown
// nearest, both played against the millisecond clock.
#include <cmath>
#include <cstdint>

#include "scene/scene_node.h"

namespace brisane {

namespace {

std::uint32_t TruncateToU32(double value) {
  if (!(value >= 0.0)) return 0;  // also NaN
  if (value >= 4294967295.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(value);
}

void Start(AnimationState& state, std::uint32_t now, std::uint32_t fromTime, std::uint32_t toTime,
           std::int32_t startOffset, float speed, std::int32_t loops) {
  state.animStart = now - static_cast<std::uint32_t>(startOffset);
  state.fromTime = fromTime;
  // A window shorter than a real millisecond (or a speed that is not
  // positive) leaves period 0: the steps then hold the pose at fromTime
  // rather than divide by it.
  state.period = 0;
  if (speed > 0.0f && std::isfinite(speed)) {
    const double pass = static_cast<double>(static_cast<float>(toTime - fromTime) / speed);
    state.period = std::isfinite(pass) ? TruncateToU32(pass) : 0;
  }
  state.speed = speed;
  state.loops = loops;
  state.animating = true;
  state.current = 0;
}

// Key time to show at elapsed real time e, or ends the animation when its
// passes are used up (showing the end of the window).
std::uint32_t KeyTime(AnimationState& state, std::uint32_t elapsed) {
  if (state.period == 0) {
    state.animating = false;
    return state.fromTime;
  }
  const std::uint32_t passes = elapsed / state.period;
  const std::uint32_t within = elapsed - passes * state.period;
  // An endless loop's start moves up by the passes played: its elapsed time
  // would otherwise turn negative after 24.8 days and stop the pose.
  if (state.loops < 0) state.animStart += passes * state.period;
  std::uint32_t t = TruncateToU32(static_cast<double>(within) * state.speed) + state.fromTime;
  if (state.loops >= 0 && passes >= static_cast<std::uint32_t>(state.loops)) {
    state.animating = false;
    t = TruncateToU32(static_cast<double>(state.period) * state.speed) + state.fromTime;
  }
  return t;
}

}  // namespace

void SceneNode::StartAnimation(std::uint32_t fromTime, std::uint32_t toTime, std::int32_t startOffset, float speed,
                               std::int32_t loops) {
  if (!keys_.empty()) Start(animation_, clock_->now(), fromTime, toTime, startOffset, speed, loops);
  for (SceneNode* child : children_) child->StartAnimation(fromTime, toTime, startOffset, speed, loops);
}

void SceneNode::SetAnimationSpeed(float speed) {
  if (!keys_.empty() && animation_.animating && speed > 0.0f && std::isfinite(speed)) {
    // Keep the animation time of this moment: the elapsed real time and the
    // pass length scale by old speed / new speed. Done in double precision
    // so that the pose holds to the millisecond whatever the clock reads.
    const std::uint32_t now = clock_->now();
    const double ratio = static_cast<double>(animation_.speed) / static_cast<double>(speed);
    const auto elapsed = static_cast<std::int32_t>(now - animation_.animStart);
    double scaled = static_cast<double>(elapsed) * ratio;
    if (!(scaled > -2147483648.0)) scaled = -2147483648.0;
    if (scaled > 2147483647.0) scaled = 2147483647.0;
    animation_.animStart = now - static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled));
    animation_.period = TruncateToU32(static_cast<double>(animation_.period) * ratio);
    animation_.speed = speed;
  }
  for (SceneNode* child : children_) child->SetAnimationSpeed(speed);
}

void SceneNode::StepTransform() {
  const auto elapsed = static_cast<std::int32_t>(clock_->now() - animation_.animStart);
  if (elapsed < 0) return;  // started with a delay that has not passed yet
  const std::uint32_t t = KeyTime(animation_, static_cast<std::uint32_t>(elapsed));
  if (keys_.empty()) return;
  if (animation_.current >= keys_.size() || t < keys_[animation_.current].time) animation_.current = 0;
  std::size_t j = animation_.current + 1;
  while (j < keys_.size() && keys_[j].time < t) ++j;
  if (j >= keys_.size()) return;  // past the last key: the pose stays
  const TransformKey& p = keys_[j - 1];
  const TransformKey& n = keys_[j];
  const float f = n.time == p.time ? 1.0f
                                   : static_cast<float>(static_cast<std::int64_t>(t) - p.time) /
                                         static_cast<float>(n.time - p.time);
  for (std::size_t i = 0; i < 16; ++i) local_.m[i] = p.matrix.m[i] + (n.matrix.m[i] - p.matrix.m[i]) * f;
  animation_.current = static_cast<std::uint32_t>(j - 1);
}

void GeometryObject::StartGeometryAnimation(std::uint32_t fromTime, std::uint32_t toTime, std::int32_t startOffset,
                                            float speed, std::int32_t loops) {
  if (frames_.size() > 1) Start(geometry_, clock().now(), fromTime, toTime, startOffset, speed, loops);
  for (SceneNode* child : children())
    if (auto* geometry = NodeAs<GeometryObject>(child))
      geometry->StartGeometryAnimation(fromTime, toTime, startOffset, speed, loops);
}

void GeometryObject::AnimateGeometry() {
  if (!geometry_.animating) return;
  const std::uint32_t t = KeyTime(geometry_, clock().now() - geometry_.animStart);
  if (frames_.empty()) return;
  if (geometry_.current >= frames_.size() || t < frames_[geometry_.current].time) geometry_.current = 0;
  std::size_t j = geometry_.current + 1;
  while (j < frames_.size() && frames_[j].time < t) ++j;
  if (j >= frames_.size()) return;
  // Not blended: the nearer frame is shown, the later one on a tie.
  const std::size_t chosen = frames_[j].time - t <= t - frames_[j - 1].time ? j : j - 1;
  activeMeshes_.clear();
  for (const auto& mesh : frames_[chosen].meshes) activeMeshes_.push_back(mesh.get());
  geometry_.current = static_cast<std::uint32_t>(chosen);
}

}  // namespace brisane
