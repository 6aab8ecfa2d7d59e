// Glows of bright lights (the stern lanterns, the sun) and the sun's lens
// flare, drawn over the finished scene. A glow fades out while scene
// geometry hides its light and back in when it shows again; whether it is
// hidden is found by drawing one depth-tested point at the light's screen
// position and reading the pixel back, at most every 100 ms.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device.h"
#include "platform/random.h"
#include "render/sprite.h"
#include "scene/matrix.h"
#include "scene/scene_node.h"

namespace brisane {

class Glow {
 public:
  Glow(std::unique_ptr<AlphaKeyedLayer> layer, float size, const Matrix& world, std::uint32_t fadeTime,
       std::uint32_t now, std::uint32_t screenWidth);

  // Screen position of the light with the device's viewport, view and
  // projection; on screen when inside the viewport's rectangle and depth
  // range (and in front of the camera). Off screen, both test colours are
  // 0: the glow counts as visible.
  void Project(Device& device);
  // Fades, sizes and draws the glow as seen from the camera position.
  void Draw(Device& device, const Vector3& camera, std::uint32_t now, RandomSource& random);

  bool enabled = true;
  bool distanceScaling = true;
  bool flicker = true;
  std::int32_t maximumIntensity = 255;
  std::int32_t intensity = 255;
  float maximumDistance;
  float rotationFactor = 0.0f;  // degrees per pixel of screen x
  float flickerSizeFactor = 20.0f;
  Matrix world;

  float screenX() const { return x_; }
  float screenY() const { return y_; }
  bool onScreen() const { return onScreen_; }
  bool inFront() const { return inFront_; }
  // Pixels read before and after the test point.
  std::uint32_t colourBefore = 0, colourAfter = 0;
  std::uint32_t size() const { return size_; }
  float projectedZ() const { return projectedZ_; }

 private:
  std::unique_ptr<AlphaKeyedLayer> layer_;
  std::uint32_t fadeTime_;
  std::uint32_t lastDraw_, lastJitter_;
  float jitterAmplitude_;
  float jitterPrevious_[2] = {0, 0}, jitterNext_[2] = {0, 0};
  float fadeCarry_ = 0.0f;  // the part of a fade step too small to show yet
  int fadeDirection_ = 0;
  float projectedZ_ = 0.0f;
  std::uint32_t size_;
  float x_ = 0, y_ = 0;
  bool onScreen_ = false;
  bool inFront_ = false;
};

class GlowSet {
 public:
  GlowSet(const PictureSource& source, std::uint32_t screenWidth, std::uint32_t now);

  // Appends a glow of `size` (times screen width / 1024 pixels) at the
  // world matrix's position; returns its index.
  std::size_t Add(const Picture& picture, float size, const Matrix& world, std::uint32_t fadeTime);
  // Out-of-range indices are ignored.
  void SetFlicker(std::size_t index, bool on);
  void SetDistanceScaling(std::size_t index, bool on);
  void SetFlickerSizeFactor(std::size_t index, float factor);
  void SetMaximumDistance(std::size_t index, float distance);
  void SetRotationFactor(std::size_t index, float degreesPerPixel);
  void SetPosition(std::size_t index, const Matrix& world);
  // At the maximum, intensity follows the new maximum; below it, it keeps
  // its proportion of the maximum. value is clamped to 0..255.
  void SetMaximumIntensity(std::size_t index, std::int32_t value);

  // Projects, tests (when 100 ms have passed) and draws every glow.
  void Draw(Device& device, const SceneNode& camera, std::uint32_t now, RandomSource& random);

  std::size_t size() const { return glows_.size(); }
  Glow* glow(std::size_t index) { return index < glows_.size() ? &glows_[index] : nullptr; }

 private:
  void TestVisibility(Device& device);

  PictureSource source_;
  std::uint32_t screenWidth_;
  std::vector<Glow> glows_;
  std::uint32_t lastTest_;
};

class LensFlare {
 public:
  // The sun at the world matrix with its glow (index 0 of sunGlow()).
  LensFlare(const PictureSource& source, std::uint32_t screenWidth, std::uint32_t now, const Matrix& sun,
            const Picture& glowPicture, float glowSize, std::uint32_t fadeTime);

  // A flare sprite of `size` pixels at t on the line from the sun (0)
  // through the screen centre to its mirror point (1); returns its index.
  std::size_t Add(const Picture& picture, std::uint32_t size, float t);
  // The sun's glow, then the flare sprites as bright as it while the sun is on
  // the screen, fading out near its edges.
  void Draw(Device& device, const SceneNode& camera, std::uint32_t now, RandomSource& random);

  GlowSet& sunGlow() { return glows_; }
  std::size_t flareCount() const { return sprites_.size(); }

 private:
  struct FlareSprite {
    std::unique_ptr<Sprite> sprite;
    float t;
  };
  PictureSource source_;
  GlowSet glows_;
  std::vector<FlareSprite> sprites_;
};

}  // namespace brisane
