#include "render/smoke.h"

#include <algorithm>
#include <cmath>

namespace brisane {

namespace {

// A draw in -1..1.
float Spread(RandomSource& random) {
  return static_cast<float>(random.Next() * 2) / static_cast<float>(kRandomMax) - 1.0f;
}

Vector3 Jittered(const Vector3& mean, const Vector3& spread, RandomSource& random) {
  const float x = mean.x + spread.x * Spread(random);
  const float y = mean.y + spread.y * Spread(random);
  const float z = mean.z + spread.z * Spread(random);
  return {x, y, z};
}

void Skip(RandomSource& random, int draws) {
  for (int i = 0; i < draws; ++i) random.Next();
}

float Seconds(std::uint32_t from, std::uint32_t to) { return static_cast<float>(to - from) / 1000.0f; }

constexpr float kDegrees = 3.14159265f / 180.0f;

}  // namespace

SmokeEmitter::SmokeEmitter(const PictureSource& source, const SmokeSpec& spec)
    : layer_(LoadPictureLayer(source, spec.picture)),
      burstMean_(spec.burstMean),
      positionStart_(TranslationOf(spec.position)),
      velocityStart_(TranslationOf(spec.velocity)),
      accelerationStart_(TranslationOf(spec.acceleration)),
      lifeMean_(spec.lifeMean),
      growthMean_(spec.growthMean),
      fadeSpread_(spec.fadeSpread),
      sizeMean_(spec.sizeMean),
      fade_(spec.fade) {
  const float pool = static_cast<float>(spec.burstMean) * spec.lifeMean;
  SetMaximumCount(pool > 0.0f ? static_cast<std::uint32_t>(std::min(pool, static_cast<float>(kMostParticles))) : 0);
}

void SmokeEmitter::SetMaximumCount(std::uint32_t count) {
  maximumCount_ = std::min(count, kMostParticles);
  if (particles_.size() > maximumCount_)
    particles_.erase(particles_.begin(), particles_.end() - static_cast<std::ptrdiff_t>(maximumCount_));
  vertices_.assign(static_cast<std::size_t>(maximumCount_) * 4, SceneQuadVertex{});
  indices_.resize(static_cast<std::size_t>(maximumCount_) * 6);
  for (std::uint32_t k = 0; k < maximumCount_; ++k) {
    const auto base = static_cast<std::uint16_t>(4 * k);
    for (std::size_t i = 0; i < kQuadIndices.size(); ++i)
      indices_[6 * k + i] = static_cast<std::uint16_t>(base + kQuadIndices[i]);
  }
}

void SmokeEmitter::Update(std::uint32_t now, RandomSource& random) {
  // The burst, a particle's life and growth, its position and acceleration
  // have no spread, yet each still takes its draw: every particle draws the
  // same numbers in the same order whichever values spread.
  if (pending_ == 0 && emitting_) {
    Skip(random, 1);
    pending_ = burstMean_ > 0 ? static_cast<std::uint32_t>(burstMean_) : 0;
  }
  const auto live = static_cast<std::uint32_t>(particles_.size());
  pending_ = std::min(pending_, maximumCount_ > live ? maximumCount_ - live : 0);
  for (; pending_ > 0; --pending_) {
    SmokeParticle p;
    Skip(random, 2);
    p.life = lifeMean_;
    p.growth = growthMean_;
    p.fade = growthMean_ + fadeSpread_ * Spread(random);
    p.size = static_cast<std::int32_t>(static_cast<float>(sizeMean_) + static_cast<float>(sizeSpread_) * Spread(random));
    p.rotation = Spread(random) * 360.0f;
    p.random = random.Next();
    Skip(random, 3);
    p.position = positionStart_;
    p.velocity = Jittered(velocityStart_, velocitySpread_, random);
    Skip(random, 3);
    p.acceleration = accelerationStart_;
    p.birth = p.lastUpdate = now;
    particles_.push_back(p);
  }
  std::erase_if(particles_, [&](const SmokeParticle& p) { return Seconds(p.birth, now) > p.life; });
  for (SmokeParticle& p : particles_) {
    const float dt = Seconds(p.lastUpdate, now);
    p.lastUpdate = now;
    p.velocity = {p.velocity.x + p.acceleration.x * dt, p.velocity.y + p.acceleration.y * dt,
                  p.velocity.z + p.acceleration.z * dt};
    p.position = {p.position.x + p.velocity.x * dt, p.position.y + p.velocity.y * dt,
                  p.position.z + p.velocity.z * dt};
  }
}

void SmokeEmitter::WriteQuad(const SmokeParticle& p, std::uint32_t now, const CameraAxes& axes, bool shrink,
                             std::size_t slot) {
  const float age = Seconds(p.birth, now);
  float half = static_cast<float>(p.size) * 0.5f;
  if (age < growthMean_ && p.growth > 0.0f) half *= age / p.growth;
  if (shrink && fade_ && age > p.growth && p.life > p.growth)
    half *= std::max(0.0f, 1.0f - (age - p.growth) / (p.life - p.growth));
  // Each puff turned by its own angle, so a burst does not look stamped.
  const float c = std::cos(p.rotation * kDegrees) * half, s = std::sin(p.rotation * kDegrees) * half;
  const Vector3 r{axes.right.x * c + axes.up.x * s, axes.right.y * c + axes.up.y * s, axes.right.z * c + axes.up.z * s};
  const Vector3 u{axes.up.x * c - axes.right.x * s, axes.up.y * c - axes.right.y * s, axes.up.z * c - axes.right.z * s};
  const Vector3& o = p.position;
  const Vector3 n{axes.up.y * axes.right.z - axes.up.z * axes.right.y, axes.up.z * axes.right.x - axes.up.x * axes.right.z,
                  axes.up.x * axes.right.y - axes.up.y * axes.right.x};
  SceneQuadVertex* v = &vertices_[slot * 4];
  v[0] = {o.x - r.x + u.x, o.y - r.y + u.y, o.z - r.z + u.z, n.x, n.y, n.z, 0.0f, 0.0f};
  v[1] = {o.x + r.x + u.x, o.y + r.y + u.y, o.z + r.z + u.z, n.x, n.y, n.z, 1.0f, 0.0f};
  v[2] = {o.x - r.x - u.x, o.y - r.y - u.y, o.z - r.z - u.z, n.x, n.y, n.z, 0.0f, 1.0f};
  v[3] = {o.x + r.x - u.x, o.y + r.y - u.y, o.z + r.z - u.z, n.x, n.y, n.z, 1.0f, 1.0f};
}

void SmokeEmitter::Draw(Device& device, std::uint32_t now) {
  if (particles_.empty() || !layer_->currentTexture()) return;
  device.SetTransform(TransformState::World, DeviceMatrix::Identity());
  const CameraAxes axes = ReadCameraAxes(device);
  const std::size_t count = particles_.size();
  for (std::size_t i = 0; i < count; ++i) WriteQuad(particles_[i], now, axes, true, i);
  device.SetMaterial(WhiteMaterial());
  layer_->alpha = 255;
  layer_->Apply(device, 0);
  {
    SavedRenderStates saved(device, RenderState::SrcBlend, RenderState::DestBlend, RenderState::CullMode,
                            RenderState::AlphaBlendEnable, RenderState::ZWriteEnable);
    device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
    device.SetRenderState(RenderState::DestBlend, d3d::kBlendOne);
    device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::ZWriteEnable, 0);
    device.SetRenderState(RenderState::TexturePerspective, 0);
    device.DrawIndexedPrimitive(PrimitiveType::TriangleList, kSceneQuadFvf, vertices_.data(),
                                static_cast<std::uint32_t>(count * 4), indices_.data(),
                                static_cast<std::uint32_t>(count * 6));
  }
  device.SetRenderState(RenderState::TexturePerspective, 1);
}

void AlphaSmokeEmitter::Draw(Device& device, std::uint32_t now) {
  if (particles().empty() || !layer().currentTexture()) return;
  device.SetTransform(TransformState::World, DeviceMatrix::Identity());
  const CameraAxes axes = ReadCameraAxes(device);
  device.SetMaterial(WhiteMaterial());
  {
    SavedRenderStates saved(device, RenderState::SrcBlend, RenderState::DestBlend, RenderState::CullMode,
                            RenderState::AlphaBlendEnable, RenderState::ZWriteEnable);
    device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
    device.SetRenderState(RenderState::DestBlend, d3d::kBlendInvSrcAlpha);
    device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::ZWriteEnable, 0);
    device.SetRenderState(RenderState::TexturePerspective, 0);
    for (std::size_t i = 0; i < particles().size(); ++i) {
      const SmokeParticle& p = particles()[i];
      const float left = p.life - Seconds(p.birth, now);
      std::uint8_t alpha = 255;
      if (fading() && p.fade > 0.0f && left < p.fade)
        alpha = static_cast<std::uint8_t>(std::clamp(left / p.fade * 255.0f, 0.0f, 255.0f));
      WriteQuad(p, now, axes, false, i);
      layer().alpha = alpha;
      layer().Apply(device, 0);
      device.DrawIndexedPrimitive(PrimitiveType::TriangleList, kSceneQuadFvf, &vertices_[i * 4], 4,
                                  kQuadIndices.data(), static_cast<std::uint32_t>(kQuadIndices.size()));
    }
  }
  device.SetRenderState(RenderState::TexturePerspective, 1);
}

}  // namespace brisane
