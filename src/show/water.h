// The sea. Both water meshes live in vertex buffers whose heights follow an
// analytic wave every frame; the first can carry a second texture set that
// maps the reflection (the scene drawn again through the mirrored camera
// into the environment map) onto the screen position of each vertex, and
// the sea's own picture can be replaced by an endlessly scrolling blend of
// two copies of itself (the mixed texture). Both meshes are drawn blended
// before the rest of the scene, so the ship's hull covers them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/textures.h"
#include "render/device_table.h"
#include "scene/scene.h"
#include "scene/texture_layer.h"
#include "show/frame.h"

namespace brisane {

// Height of the sea at (x, y) of the water's own space at a phase, in single
// precision. The ship samples the same surface.
float WaveHeight(float x, float y, float phase);

// Phase units a second.
inline constexpr float kWaveRate = 12.0f;
// The phase after which all three waves repeat: 20 periods of the long
// waves (2 pi / 0.08), 77 of the short one (2 pi / 0.308).
inline constexpr double kWavePeriod = 500.0 * 3.14159265358979323846;

// sin(scale * (base + drift)) for a fixed set of bases, rounded at each step
// as written, frame after frame. The sum and product are rounded exactly as
// WaveHeight rounds them; the sine of that float argument is then its
// angle's offset from the fixed scale * base, whose sine and cosine are kept
// once (from this program's own arithmetic, not the library's): the offset
// stays within a few thousand radians, where a short reduction and two small
// polynomials suffice. Four at a time where the processor can, in the same
// operations and order as one at a time, so every build gets the same sea. Within 2.5e-7 of the exact sine while
// |drift| <= kFastDrift; beyond it, or for a base too large (or NaN), the
// exact sine. For scales up to 0.5.
class WaveSines {
 public:
  static constexpr float kFastDrift = 2048.0f;

  WaveSines() = default;
  WaveSines(const std::vector<float>& bases, float scale);
  std::size_t size() const { return size_; }
  // Every base's sine at the drift; valid until the next call.
  const float* Update(float drift);

 private:
  float scale_ = 1.0f;
  std::size_t size_ = 0;
  // The reference is scale * base, or 0 where that is small (the offset
  // must be exact), with its sine and cosine; a base taken the exact way
  // stands at 0 here.
  std::vector<float> base_, reference_, sine_, cosine_, values_;
  std::vector<float> exactBase_;            // bases taken the exact way
  std::vector<std::uint32_t> exactPlace_;  // and their places
};

// The heights of a fixed set of points, frame after frame, each within 1e-6
// of WaveHeight's (and equal to it to the bit once |phase| > kFastDrift / 0.7,
// where every sine is the exact one): the sea's vertices share a few rows
// and columns, so the two long waves are evaluated once a distinct x or y,
// and every sine comes from WaveSines.
class WaveGrid {
 public:
  WaveGrid() = default;
  // Points as (x, y) pairs.
  explicit WaveGrid(std::vector<float> plane);

  std::size_t size() const { return column_.size(); }
  float x(std::size_t i) const { return plane_[2 * i]; }
  float y(std::size_t i) const { return plane_[2 * i + 1]; }
  const float* plane() const { return plane_.data(); }
  // Every point's height at the phase.
  const std::vector<float>& Heights(float phase);

 private:
  std::vector<float> plane_;
  std::vector<std::uint32_t> column_, row_;  // each point's distinct x and y
  WaveSines columns_, rows_, short_;        // the short wave's bases: 90 x y
  std::vector<float> heights_;
};
// The foam's picture drifts this many texture units a second along v.
inline constexpr float kFoamScroll = 0.115f;
// The water's alpha by day; night raises it to 251.
inline constexpr std::uint8_t kDayWaterAlpha = 200;
// Size asked for the mixed texture.
inline constexpr std::uint32_t kMixedWidth = 256, kMixedHeight = 128;

struct MapSize {
  std::uint32_t width = 0, height = 0;
  bool operator==(const MapSize&) const = default;
};
// The environment map asked for a viewport: the reflection needs less
// detail than the screen, in power-of-two steps.
MapSize EnvironmentMapSize(std::uint32_t viewportWidth, std::uint32_t viewportHeight);

// The mixed texture: two copies of the sea picture scrolling different ways,
// blended evenly into a render target of its own once a frame.
class MixedTextureQuad {
 public:
  struct Vertex {  // XYZRHW | DIFFUSE | SPECULAR | TEX2
    float x, y, z, rhw;
    std::uint32_t diffuse, specular;
    float u, v, s, t;
  };
  static constexpr std::uint32_t kFvf = d3d::kFvfXyzRhw | d3d::kFvfDiffuse | d3d::kFvfSpecular | d3d::kFvfTex2;

  MixedTextureQuad(TextureRef source, TextureRef target, std::uint32_t width, std::uint32_t height, std::uint32_t now);
  // Scrolls on by the time since the last update and renders the target.
  // A render target the device refuses is reported through fatal.
  void Update(Device& device, std::uint32_t now, const FatalSink& fatal);

  const Vertex* vertices() const { return vertices_; }
  Surface* target() const { return target_.get(); }

 private:
  TextureRef source_, target_;
  DeviceViewport viewport_;
  Vertex vertices_[4];
  std::uint32_t lastUpdate_;
};

// The two water nodes and their materials as the scene holds them; any may
// be missing but the first node.
struct WaterParts {
  GeometryObject* sea = nullptr;
  Material* seaMaterial = nullptr;
  GeometryObject* foam = nullptr;
  Material* foamMaterial = nullptr;
};

// What the water is made with.
struct WaterOptions {
  bool environmentWater = false;  // the sea mirrors the scene
  bool lightmaps = false;         // the sea shows the mixed texture
  // Size the environment map is chosen from (the display's viewport).
  std::uint32_t viewportWidth = 0, viewportHeight = 0;
};

// The sea's surface as the ship feels it.
class SeaSurface {
 public:
  virtual ~SeaSurface() = default;
  // Replaces each point's z with the height under its (x, y) at the
  // current phase; points are in the water's own space.
  virtual void WaveHeight(std::span<Vector3> points) const = 0;
};

class EnvWater final : public FramePass, public SeaSurface {
 public:
  // Builds the buffers from the nodes and the render targets from textures
  // (none without a loader). A render target that cannot be made is
  // reported through fatal; if that returns, the water goes on without it.
  EnvWater(Scene& scene, Device& device, TextureLoader* textures, const WaterParts& parts, const WaterOptions& options,
           std::uint32_t now, FatalSink fatal);
  ~EnvWater() override;

  // False when the sea node has nothing the water could draw.
  bool usable() const { return seaBuffer_ != nullptr; }

  std::string_view Name() const override { return "water"; }
  // Camera apply, update, the reflection, draw.
  void Run(FrameContext& frame) override;

  // Advances the phase and rewrites the heights (and reflection coordinates).
  void Update(Device& device, std::uint32_t now);
  // Renders the scene mirrored into the environment map; nothing without
  // environment water.
  void RenderReflection(Device& device);
  void Draw(Device& device, std::uint32_t now);

  void WaveHeight(std::span<Vector3> points) const override;
  // The light cycle's alpha (200 by day to 251 at night).
  void SetAlpha(std::uint8_t alpha) { alpha_ = alpha; }
  // How light it is, 0 (night) to 1 (day): the mirror darkens with it.
  void SetDaylight(float daylight) { daylight_ = daylight > 0.0f ? std::min(daylight, 1.0f) : 0.0f; }

  float phase() const { return static_cast<float>(phase_); }
  std::uint8_t alpha() const { return alpha_; }
  float daylight() const { return daylight_; }
  bool environmentWater() const { return environmentWater_; }
  MapSize environmentMapSize() const { return mapSize_; }
  const MixedTextureQuad* mixedTexture() const { return mixed_.get(); }
  const DeviceMatrix& foamTextureMatrix() const { return foamTexture_; }
  VertexBuffer* seaBuffer() const { return seaBuffer_.get(); }
  VertexBuffer* foamBuffer() const { return foamBuffer_.get(); }
  const WaveGrid& seaGrid() const { return seaGrid_; }
  // The subtrees hidden during the reflection, once looked up.
  const std::vector<SceneNode*>& hiddenInReflection() const { return hidden_; }
  bool hiddenListsFound() const { return listsFound_; }

 private:
  void PushAlpha();

  Scene& scene_;
  FatalSink fatal_;
  WaterParts parts_;
  bool environmentWater_;
  bool lightmaps_;
  std::uint32_t viewportWidth_, viewportHeight_;

  TextureRef environmentMap_;
  MapSize mapSize_;
  std::unique_ptr<DiffuseLayer> environmentLayer_;
  std::unique_ptr<MixedTextureQuad> mixed_;

  std::unique_ptr<VertexBuffer> seaBuffer_, foamBuffer_;
  std::vector<std::uint16_t> seaIndices_, foamIndices_;
  // (x, y) of every vertex, kept here so the write-only buffers are never read.
  WaveGrid seaGrid_, foamGrid_;

  double phase_ = 0.0;
  std::uint32_t lastUpdate_;
  std::uint8_t alpha_ = kDayWaterAlpha;
  float daylight_ = 1.0f;
  std::optional<std::uint8_t> pushedAlpha_;
  DeviceMatrix foamTexture_ = DeviceMatrix::Identity();
  std::optional<std::uint32_t> lastFoamDraw_;

  bool listsFound_ = false;
  std::vector<SceneNode*> hidden_;
};

// Makes the water from the two water nodes and the settings (EnableEnvWater
// exactly 1 mirrors) and takes each node whose buffer it built away from the
// scene's own drawing. A node with vertices but no buffer stays drawn and is
// reported through fatal. Null when the scene has no sea to draw.
std::unique_ptr<EnvWater> MakeEnvWater(Scene& scene, Device& device, TextureLoader* textures, Node& settings,
                                       bool lightmaps, std::uint32_t now, const FatalSink& fatal);

}  // namespace brisane
