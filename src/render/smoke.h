// Smoke: a pool of short-lived particles drawn as camera-facing quads. The
// additive emitter's particles grow and shrink and go in one draw; the
// alpha-blended emitter's particles fade out and go one draw each. Emitters
// either emit a burst whenever the last one is out or, switched off, only
// the bursts asked of them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device.h"
#include "platform/random.h"
#include "render/sprite.h"
#include "scene/matrix.h"

namespace brisane {

// What an emitter is made from. Only the fourth rows of the start matrices
// count: the mean start position, velocity (units a second) and
// acceleration (units a second squared).
struct SmokeSpec {
  Picture picture;
  std::int32_t sizeMean = 0;
  std::int32_t burstMean = 0;
  Matrix position = Matrix::Identity();
  Matrix velocity = Matrix::Identity();
  Matrix acceleration = Matrix::Identity();
  float lifeMean = 0.0f;    // seconds
  float growthMean = 0.0f;  // seconds
  float fadeSpread = 0.0f;  // seconds
  bool fade = false;
};

struct SmokeParticle {
  std::uint32_t birth = 0, lastUpdate = 0;  // clock milliseconds
  float life = 0, growth = 0, fade = 0;     // seconds
  std::int32_t size = 0;
  float rotation = 0;  // degrees
  std::int32_t random = 0;
  Vector3 position, velocity, acceleration;
};

class SmokeEmitter {
 public:
  // Quads are indexed with 16 bits: four vertices a particle.
  static constexpr std::uint32_t kMostParticles = 16383;

  SmokeEmitter(const PictureSource& source, const SmokeSpec& spec);
  virtual ~SmokeEmitter() = default;
  SmokeEmitter(const SmokeEmitter&) = delete;
  SmokeEmitter& operator=(const SmokeEmitter&) = delete;

  // Emits what is pending (a new burst first when emitting and nothing is
  // pending, never past the maximum count), drops particles past their
  // life and moves the rest.
  virtual void Update(std::uint32_t now, RandomSource& random);
  // Every live particle at its age now.
  virtual void Draw(Device& device, std::uint32_t now);

  void SetVelocitySpreads(const Vector3& spreads) { velocitySpread_ = spreads; }
  void SetSizeSpread(std::int32_t spread) { sizeSpread_ = spread; }
  void SetPositionStart(const Matrix& matrix) { positionStart_ = TranslationOf(matrix); }
  // Resizes the pool (at most kMostParticles); the oldest particles go when
  // more are alive than the new maximum allows.
  void SetMaximumCount(std::uint32_t count);
  void SetPendingCount(std::uint32_t count) { pending_ = count; }
  void SetStartTime(std::uint32_t now) { startTime_ = now; }
  void SetEmitting(bool emitting) { emitting_ = emitting; }

  const std::vector<SmokeParticle>& particles() const { return particles_; }
  std::uint32_t maximumCount() const { return maximumCount_; }
  std::uint32_t pendingCount() const { return pending_; }
  std::uint32_t startTime() const { return startTime_; }
  bool emitting() const { return emitting_; }

 protected:
  // The quad of one particle at its age, written at vertices_[4 * slot].
  void WriteQuad(const SmokeParticle& particle, std::uint32_t now, const CameraAxes& axes, bool shrink,
                 std::size_t slot);
  AlphaKeyedLayer& layer() { return *layer_; }
  bool fading() const { return fade_; }
  std::vector<SceneQuadVertex> vertices_;
  std::vector<std::uint16_t> indices_;

 private:
  std::unique_ptr<AlphaKeyedLayer> layer_;
  std::vector<SmokeParticle> particles_;
  std::uint32_t maximumCount_ = 0;
  std::uint32_t pending_ = 0;
  std::int32_t burstMean_;
  Vector3 positionStart_, velocityStart_, accelerationStart_;
  Vector3 velocitySpread_;
  float lifeMean_, growthMean_, fadeSpread_;
  std::int32_t sizeMean_, sizeSpread_ = 0;
  bool fade_;
  bool emitting_ = true;
  std::uint32_t startTime_ = 0;
};

// Particles fade out instead of shrinking, blended over what lies behind.
class AlphaSmokeEmitter final : public SmokeEmitter {
 public:
  using SmokeEmitter::SmokeEmitter;
  void Draw(Device& device, std::uint32_t now) override;
};

}  // namespace brisane
