#include "show/glow.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace brisane {

namespace {

constexpr std::uint32_t kTestInterval = 100;  // ms between read-backs
constexpr std::uint32_t kJitterInterval = 100;
// The test point's colour differs from the pixel under it in the top bit
// of every channel, so the change survives a 16-bit back buffer.
constexpr std::uint32_t kTestColourFlip = 0x00808080u;
constexpr float kDegreesToRadians = 0.017444445f;

float PixelScale(std::uint32_t screenWidth) { return static_cast<float>(screenWidth) * 0.0009765625f; }

// One pixel of the back buffer; nothing when it cannot be read.
bool ReadPixel(Device& device, float x, float y, std::uint32_t& pixel) {
  const auto px = static_cast<std::int32_t>(std::floor(x)), py = static_cast<std::int32_t>(std::floor(y));
  std::vector<std::uint32_t> argb;
  if (Failed(device.ReadBackBuffer({px, py, px + 1, py + 1}, argb)) || argb.size() != 1) return false;
  pixel = argb[0];
  return true;
}

// 1 from a tenth of `extent` inside either edge inwards, falling to 0 at the
// edge and staying 0 beyond it; `at` is measured from the near edge.
float FlareEdgeFade(float at, float extent) {
  const float band = extent * 0.1f;
  if (band <= 0.0f) return 0.0f;
  return std::clamp(std::min(at, extent - at) / band, 0.0f, 1.0f);
}

}  // namespace

Glow::Glow(std::unique_ptr<AlphaKeyedLayer> layer, float size, const Matrix& world, std::uint32_t fadeTime,
           std::uint32_t now, std::uint32_t screenWidth)
    : maximumDistance(size * 30.0f),
      world(world),
      layer_(std::move(layer)),
      fadeTime_(fadeTime),
      lastDraw_(now),
      lastJitter_(now),
      jitterAmplitude_(PixelScale(screenWidth)),
      size_(static_cast<std::uint32_t>(std::max(0.0f, size * PixelScale(screenWidth)))) {}

void Glow::Project(Device& device) {
  DeviceViewport viewport;
  DeviceMatrix view, projection;
  device.GetViewport(viewport);
  device.GetTransform(TransformState::View, view);
  device.GetTransform(TransformState::Projection, projection);
  const DeviceMatrix vp = Multiply(view, projection);
  const Vector3 p = TranslationOf(world);
  float clip[4];
  for (int j = 0; j < 4; ++j) clip[j] = p.x * vp.m[0][j] + p.y * vp.m[1][j] + p.z * vp.m[2][j] + vp.m[3][j];
  const float w = clip[3];
  inFront_ = w > 0.0f;
  const float halfWidth = static_cast<float>(viewport.width) * 0.5f;
  const float halfHeight = static_cast<float>(viewport.height) * 0.5f;
  float z = 0.0f;
  if (w != 0.0f) {
    x_ = static_cast<float>(viewport.x) + (clip[0] / w + 1.0f) * halfWidth;
    y_ = static_cast<float>(viewport.y) + (1.0f - clip[1] / w) * halfHeight;
    z = clip[2] / w;
  }
  const float fx = std::floor(x_), fy = std::floor(y_);
  onScreen_ = inFront_ && fx >= static_cast<float>(viewport.x) &&
              fx < static_cast<float>(viewport.x) + static_cast<float>(viewport.width) &&
              fy >= static_cast<float>(viewport.y) &&
              fy < static_cast<float>(viewport.y) + static_cast<float>(viewport.height) && z >= viewport.minZ &&
              z <= viewport.maxZ;
  projectedZ_ = z;
  if (!onScreen_) colourBefore = colourAfter = 0;
}

void Glow::Draw(Device& device, const Vector3& camera, std::uint32_t now, RandomSource& random) {
  // A read pixel always has its alpha bits set, so 0 means "not tested".
  const bool hidden = colourBefore != 0 && colourAfter == colourBefore;
  const int direction = hidden ? -1 : (intensity < maximumIntensity ? 1 : 0);
  if (direction != fadeDirection_) fadeCarry_ = 0.0f;
  fadeDirection_ = direction;
  if (direction != 0) {
    const float elapsed = static_cast<float>(now - lastDraw_);
    const float amount = fadeTime_ == 0 ? 255.0f : elapsed / static_cast<float>(fadeTime_) * 255.0f + fadeCarry_;
    const float whole = std::floor(std::min(amount, 1024.0f));
    fadeCarry_ = amount - whole;
    const auto step = static_cast<std::int32_t>(whole);
    intensity = direction < 0 ? std::max(0, intensity - step) : std::min(maximumIntensity, intensity + step);
  } else if (intensity > maximumIntensity) {
    intensity = maximumIntensity;
  }
  if (!enabled) return;

  float s = static_cast<float>(size_);
  if (distanceScaling) {
    const float d = Distance(TranslationOf(world), camera);
    if (d > maximumDistance) return;
    const float half = maximumDistance * 0.5f;
    if (d > half) {
      s = static_cast<float>(size_) * (1.0f - (d - half) / half);
      if (flicker)
        s += (static_cast<float>(random.Next()) / static_cast<float>(kRandomMax) - 1.0f) * flickerSizeFactor *
             jitterAmplitude_;
    }
  }

  float x = x_, y = y_;
  if (flicker) {
    if (lastDraw_ - lastJitter_ > kJitterInterval) {
      for (int i = 0; i < 2; ++i) {
        jitterPrevious_[i] = jitterNext_[i];
        jitterNext_[i] =
            (static_cast<float>(random.Next() * 2) / static_cast<float>(kRandomMax) - 1.0f) * jitterAmplitude_;
      }
      lastJitter_ = lastDraw_;
    }
    const float f = static_cast<float>(lastDraw_ - lastJitter_) * 0.01f;
    x += Mix(jitterPrevious_[0], jitterNext_[0], f);
    y += Mix(jitterPrevious_[1], jitterNext_[1], f);
  }
  lastDraw_ = now;
  // Behind the camera the projection mirrors the light onto the screen.
  if (!inFront_ || intensity <= 0 || s <= 0.0f) return;
  DrawScreenQuad(device, *layer_, x, y, s, rotationFactor * kDegreesToRadians * x_,
                 static_cast<std::uint8_t>(std::clamp(intensity, 0, 255)));
}

GlowSet::GlowSet(const PictureSource& source, std::uint32_t screenWidth, std::uint32_t now)
    : source_(source), screenWidth_(screenWidth), lastTest_(now) {}

std::size_t GlowSet::Add(const Picture& picture, float size, const Matrix& world, std::uint32_t fadeTime) {
  glows_.emplace_back(LoadPictureLayer(source_, picture), size, world, fadeTime, source_.clock.now(), screenWidth_);
  return glows_.size() - 1;
}

void GlowSet::SetFlicker(std::size_t index, bool on) {
  if (Glow* g = glow(index)) g->flicker = on;
}
void GlowSet::SetDistanceScaling(std::size_t index, bool on) {
  if (Glow* g = glow(index)) g->distanceScaling = on;
}
void GlowSet::SetFlickerSizeFactor(std::size_t index, float factor) {
  if (Glow* g = glow(index)) g->flickerSizeFactor = factor;
}
void GlowSet::SetMaximumDistance(std::size_t index, float distance) {
  if (Glow* g = glow(index)) g->maximumDistance = distance;
}
void GlowSet::SetRotationFactor(std::size_t index, float degreesPerPixel) {
  if (Glow* g = glow(index)) g->rotationFactor = degreesPerPixel;
}
void GlowSet::SetPosition(std::size_t index, const Matrix& world) {
  if (Glow* g = glow(index)) g->world = world;
}

void GlowSet::SetMaximumIntensity(std::size_t index, std::int32_t value) {
  Glow* g = glow(index);
  if (!g) return;
  value = std::clamp(value, 0, 255);
  if (g->intensity == g->maximumIntensity || g->maximumIntensity <= 0) {
    g->intensity = value;
  } else {
    g->intensity = static_cast<std::int32_t>(static_cast<std::int64_t>(value) * g->intensity / g->maximumIntensity);
  }
  g->maximumIntensity = value;
}

void GlowSet::TestVisibility(Device& device) {
  std::vector<Glow*> tested;
  for (Glow& g : glows_) {
    if (!g.onScreen()) continue;
    if (ReadPixel(device, g.screenX(), g.screenY(), g.colourBefore)) {
      tested.push_back(&g);
    } else {
      g.colourBefore = g.colourAfter = 0;  // unreadable: taken as visible
    }
  }
  if (tested.empty()) return;
  // No dithering, so the colour put back below lands exactly; no depth
  // written, so the probe leaves nothing behind there either.
  SavedRenderStates saved(device, RenderState::AlphaBlendEnable, RenderState::DitherEnable, RenderState::ZWriteEnable,
                          RenderState::ZEnable);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  device.SetRenderState(RenderState::DitherEnable, 0);
  device.SetRenderState(RenderState::ZWriteEnable, 0);
  device.SetTexture(0, nullptr);
  const auto point = [&](const Glow& g, std::uint32_t colour) {
    const ScreenVertex v{std::floor(g.screenX()), std::floor(g.screenY()), g.projectedZ(), 1.0f, colour, colour,
                         0.0f, 0.0f};
    device.DrawPrimitive(PrimitiveType::PointList, kScreenFvf, &v, 1);
  };
  for (Glow* g : tested) point(*g, (g->colourBefore ^ kTestColourFlip) & 0x00FFFFFFu);
  std::vector<std::pair<Glow*, std::uint32_t>> landed;
  for (Glow* g : tested) {
    const std::uint32_t before = g->colourBefore;
    if (!ReadPixel(device, g->screenX(), g->screenY(), g->colourAfter)) g->colourBefore = g->colourAfter = 0;
    if (g->colourAfter != before) landed.emplace_back(g, before);
  }
  // Where the probe may have landed the pixel gets its colour back: the
  // presented frame must show no dot wherever no glow covers it.
  device.SetRenderState(RenderState::ZEnable, 0);
  for (const auto& [g, before] : landed) point(*g, before);
}

void GlowSet::Draw(Device& device, const SceneNode& camera, std::uint32_t now, RandomSource& random) {
  for (Glow& g : glows_) g.Project(device);
  if (now - lastTest_ > kTestInterval) {
    lastTest_ = now;
    TestVisibility(device);
  }
  const Vector3 eye = TranslationOf(camera.world());
  for (Glow& g : glows_) g.Draw(device, eye, now, random);
}

LensFlare::LensFlare(const PictureSource& source, std::uint32_t screenWidth, std::uint32_t now, const Matrix& sun,
                     const Picture& glowPicture, float glowSize, std::uint32_t fadeTime)
    : source_(source), glows_(source, screenWidth, now) {
  glows_.Add(glowPicture, glowSize, sun, fadeTime);
  glows_.SetFlicker(0, false);
  glows_.SetDistanceScaling(0, false);
}

std::size_t LensFlare::Add(const Picture& picture, std::uint32_t size, float t) {
  sprites_.push_back({std::make_unique<Sprite>(source_, picture, size, Matrix::Identity()), t});
  return sprites_.size() - 1;
}

void LensFlare::Draw(Device& device, const SceneNode& camera, std::uint32_t now, RandomSource& random) {
  glows_.Draw(device, camera, now, random);
  Glow& sun = *glows_.glow(0);
  if (sun.intensity <= 0 || !sun.inFront()) return;
  DeviceViewport viewport;
  device.GetViewport(viewport);
  const float left = static_cast<float>(viewport.x), top = static_cast<float>(viewport.y);
  const float width = static_cast<float>(viewport.width), height = static_cast<float>(viewport.height);
  // A flare is thrown by a sun in view: none while its centre lies off the
  // screen, and it fades out across the screen's outer tenth on the way there.
  const float edge = std::min(FlareEdgeFade(sun.screenX() - left, width), FlareEdgeFade(sun.screenY() - top, height));
  const auto alpha = static_cast<std::int32_t>(static_cast<float>(std::clamp(sun.intensity, 0, 255)) * edge);
  if (alpha <= 0) return;
  const float centreX = left + width * 0.5f, centreY = top + height * 0.5f;
  const float mirrorX = 2.0f * centreX - sun.screenX(), mirrorY = 2.0f * centreY - sun.screenY();
  for (FlareSprite& flare : sprites_) {
    flare.sprite->matrix.m[12] = Mix(sun.screenX(), mirrorX, flare.t);
    flare.sprite->matrix.m[13] = Mix(sun.screenY(), mirrorY, flare.t);
    flare.sprite->alpha = static_cast<std::uint8_t>(alpha);
    flare.sprite->DrawOnScreen(device);
  }
}

}  // namespace brisane
