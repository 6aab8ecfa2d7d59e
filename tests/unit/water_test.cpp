// The sea: the wave against an independent evaluation, the environment map's
// sizes, heights and reflection coordinates written into the buffers, the
// clock driving (and stalling) waves and scrolling, the alpha the layers
// get, the states the draw leaves behind, and the mixed texture's pass.
#include "show/water.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "scene/view.h"
#include "settings/settings_keys.h"
#include "support/sea_fixtures.h"

namespace brisane {
namespace {

using testing::RecordingDevice;
using testing::RecordingVertexBuffer;

double ReferenceWave(double x, double y, double p) {
  return 1.5 * (std::sin(0.08 * (x + p)) + std::sin(0.08 * (y + p))) + 0.4 * std::sin(0.44 * (90.0 * x * y + 0.7 * p));
}

TEST(Wave, MatchesADoublePrecisionEvaluationWithinSinglePrecisionRounding) {
  // The third term's argument grows with x * y, and single precision loses
  // its sine as it does: the points keep it where rounding stays small,
  // and the tolerance follows each argument's size.
  const double eps = std::ldexp(1.0, -24);
  std::vector<std::pair<float, float>> points;
  for (float x : {-7.5f, -2.0f, -0.25f, 0.0f, 0.5f, 3.0f, 8.0f})
    for (float y : {-6.0f, -1.5f, 0.0f, 0.75f, 4.0f}) points.emplace_back(x, y);
  for (float x : {-400.0f, -120.0f, 350.0f}) points.emplace_back(x, 0.01f);
  for (float y : {-300.0f, 275.0f}) points.emplace_back(0.0f, y);
  for (float phase : {0.0f, 0.6f, 12.5f, 240.0f, 3000.0f})
    for (const auto& [x, y] : points) {
      const double a1 = std::fabs(0.08 * (x + phase)), a2 = std::fabs(0.08 * (y + phase));
      const double a3 = 0.44 * (90.0 * std::fabs(double{x} * y) + 0.7 * phase);
      const double tolerance = 8 * eps * (1.5 * (a1 + a2) + 0.4 * a3 + 4);
      EXPECT_NEAR(WaveHeight(x, y, phase), ReferenceWave(x, y, phase), tolerance)
          << "at (" << x << ", " << y << ") phase " << phase;
    }
}

TEST(Wave, GridHeightsEqualThePointwiseWaveToTheBitFrameAfterFrame) {
  // A sea-like grid out to 8000 units (where the short wave's argument
  // passes 10^9), points sharing rows and columns, a repeated point and a
  // damaged one; phases from the first frame to days into the show, in
  // steps that leave far points' short waves unchanged for several frames.
  std::vector<float> plane;
  for (float x = -7999.0f; x <= 8000.0f; x += 613.7f)
    for (float y : {-7984.4f, -120.5f, -0.0f, 0.0f, 3.25f, 5003.1f}) plane.insert(plane.end(), {x, y});
  plane.insert(plane.end(), {3.25f, 3.25f, 3.25f, 3.25f, std::nanf(""), 1.0f, 1.0f, std::nanf("")});
  WaveGrid grid(plane);
  ASSERT_EQ(grid.size(), plane.size() / 2);
  for (double start : {0.0, 43200.0, 3.1e6}) {
    for (int frame = 0; frame < 40; ++frame) {
      const float phase = static_cast<float>(start + frame * 0.2);
      const std::vector<float>& heights = grid.Heights(phase);
      for (std::size_t i = 0; i < grid.size(); ++i) {
        const float expected = WaveHeight(plane[2 * i], plane[2 * i + 1], phase);
        if (std::isnan(expected)) {
          ASSERT_TRUE(std::isnan(heights[i])) << i;
        } else {
          ASSERT_EQ(heights[i], expected) << "point " << i << " phase " << phase;
        }
      }
    }
  }
}

TEST(Wave, EnvironmentMapSizeStepsAtTheViewportsBoundaries) {
  // Each side on both sides of each of its two steps.
  const std::pair<std::uint32_t, std::uint32_t> widths[] = {{639, 256}, {640, 512}, {1024, 512}, {1025, 1024}};
  const std::pair<std::uint32_t, std::uint32_t> heights[] = {{399, 128}, {400, 256}, {599, 256}, {600, 512}};
  for (const auto& [w, mapW] : widths)
    for (const auto& [h, mapH] : heights) EXPECT_EQ(EnvironmentMapSize(w, h), (MapSize{mapW, mapH})) << w << " x " << h;
}

// One vertex of a water buffer: position, normal, two texture pairs.
struct WaterVertex {
  float x, y, z, nx, ny, nz, u, v, s, t;
};

std::vector<WaterVertex> Vertices(const VertexBuffer* buffer) {
  const auto& b = static_cast<const RecordingVertexBuffer&>(*buffer);
  const std::size_t stride = VertexSize(b.Fvf());
  std::vector<WaterVertex> out(b.Count());
  for (std::size_t i = 0; i < out.size(); ++i)
    std::memcpy(&out[i], b.Bytes().data() + i * stride, std::min(stride, sizeof(WaterVertex)));
  return out;
}

class WaterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resources.add(147, kSceneResourceType, testing::SeaWriter().finish());
    scene->setResourceSource(&resources);
    scene->setTextureLoader(&loader);
    ASSERT_TRUE(scene->load("", 147));
    scene->root().updateSubtree();
    camera = testing::Find<Camera>(*scene, "Camera01");
    ASSERT_NE(camera, nullptr);
    scene->setCurrentCamera(camera);
    device.viewport = {0, 0, 800, 600, 0.0f, 1.0f};
    settings.Get(key::EnableEnvWater) = Value(std::int32_t{0});
  }

  std::unique_ptr<EnvWater> Make(bool environment, bool lightmaps) {
    settings.Get(key::EnableEnvWater) = Value(std::int32_t{environment ? 1 : 0});
    return MakeEnvWater(*scene, device, &loader, settings, lightmaps, clock.now(),
                        [&](const std::string& message) { fatal.push_back(message); });
  }
  Material& SeaMaterial() { return *scene->findMaterial(std::string(contract::kWaterMaterials[0])); }
  ConstantAlphaLayer& SeaLayer() { return static_cast<ConstantAlphaLayer&>(*SeaMaterial().layer(LayerDiffuse)); }
  // The draws of the sea (the first buffer's vertex count).
  std::vector<RecordingDevice::Draw> SeaDraws() const {
    std::vector<RecordingDevice::Draw> out;
    for (const auto& d : device.draws)
      if (d.vertexCount == 13 * 7) out.push_back(d);
    return out;
  }

  ManualClock clock{5000};
  MemoryResourceSource resources;
  testing::TargetLoader loader;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(clock);
  Camera* camera = nullptr;
  RecordingDevice device;
  Node settings;
  std::vector<std::string> fatal;
};

TEST_F(WaterTest, SetUpHidesTheWaterNodesAndBuildsSystemMemoryBuffersOfTheFormats) {
  for (bool environment : {false, true}) {
    SCOPED_TRACE(environment ? "with environment water" : "without");
    device.log.clear();
    loader.asked.clear();
    auto water = Make(environment, false);
    ASSERT_NE(water, nullptr);
    for (std::string_view name : contract::kWater)
      EXPECT_FALSE(testing::Find<GeometryObject>(*scene, std::string(name))->visible()) << name;
    const std::uint32_t caps = d3d::kVbCapsSystemMemory | d3d::kVbCapsWriteOnly;
    const std::uint32_t seaFvf = environment ? kFvfTwoTextures : kFvfOneTexture;
    EXPECT_EQ(device.Calls("CreateVertexBuffer"),
              (std::vector<std::string>{
                  "CreateVertexBuffer(" + std::to_string(seaFvf) + ", 91, " + std::to_string(caps) + ")",
                  "CreateVertexBuffer(" + std::to_string(kFvfTwoTextures) + ", 18, " + std::to_string(caps) + ")"}));
    // The map only with environment water, at the viewport's size; no mixed texture without lightmaps.
    ASSERT_EQ(loader.asked.size(), environment ? 1u : 0u);
    if (environment) {
      EXPECT_EQ(loader.asked[0].kind, kSurfaceTargetWithDepth);
      EXPECT_EQ((MapSize{loader.asked[0].width, loader.asked[0].height}), (MapSize{512, 512}));
      EXPECT_EQ(water->environmentMapSize(), (MapSize{512, 512}));
    }
    EXPECT_EQ(water->alpha(), kDayWaterAlpha);
  }
  // Any value but 1 leaves the mirror off.
  settings.Get(key::EnableEnvWater) = Value(std::int32_t{2});
  loader.asked.clear();
  auto water = MakeEnvWater(*scene, device, &loader, settings, false, clock.now(), nullptr);
  EXPECT_FALSE(water->environmentWater());
  EXPECT_TRUE(loader.asked.empty());
  EXPECT_TRUE(fatal.empty());
}

TEST_F(WaterTest, RenderTargetsTakeTheSizeTheDeviceGaveAndMissingOnesAreFatal) {
  loader.maxSide = 256;  // a device that cannot make the asked size
  auto water = Make(true, true);
  EXPECT_EQ(water->environmentMapSize(), (MapSize{256, 256}));
  ASSERT_NE(water->mixedTexture(), nullptr);
  EXPECT_EQ(water->mixedTexture()->vertices()[2].x, 256.0f);
  EXPECT_EQ(water->mixedTexture()->vertices()[2].y, 128.0f);
  EXPECT_TRUE(fatal.empty());

  loader.refuse = {kSurfaceTargetWithDepth, kSurfaceTarget};
  water = Make(true, true);
  EXPECT_EQ(fatal, (std::vector<std::string>{"Can't create surface for envmap", "Can't create surface for water"}));
  // Where the report returns, the sea goes on plain.
  EXPECT_FALSE(water->environmentWater());
  EXPECT_EQ(water->mixedTexture(), nullptr);
  EXPECT_EQ(water->seaBuffer()->Fvf(), kFvfOneTexture);
}

TEST_F(WaterTest, HeightsFollowTheClockAndAStalledClockStandsWavesAndScrollingStill) {
  auto water = Make(false, true);
  ASSERT_NE(water->mixedTexture(), nullptr);
  device.BeginScene();
  clock.advance(500);
  water->Update(device, clock.now());
  EXPECT_FLOAT_EQ(water->phase(), 6.0f);  // 12 a second
  for (const VertexBuffer* buffer : {water->seaBuffer(), water->foamBuffer()})
    for (const WaterVertex& v : Vertices(buffer)) {
      ASSERT_EQ(v.z, WaveHeight(v.x, v.y, 6.0f)) << v.x << ", " << v.y;
      ASSERT_EQ(v.nz, 1.0f) << "normals are kept";
    }
  water->Draw(device, clock.now());

  const auto sea = static_cast<RecordingVertexBuffer*>(water->seaBuffer())->Bytes();
  const DeviceMatrix scroll = water->foamTextureMatrix();
  MixedTextureQuad::Vertex quad[4];
  std::memcpy(quad, water->mixedTexture()->vertices(), sizeof quad);
  for (int frame = 0; frame < 3; ++frame) {
    water->Update(device, clock.now());
    water->Draw(device, clock.now());
  }
  EXPECT_EQ(water->phase(), 6.0f);
  EXPECT_EQ(static_cast<RecordingVertexBuffer*>(water->seaBuffer())->Bytes(), sea);
  EXPECT_EQ(water->foamTextureMatrix(), scroll);
  EXPECT_EQ(std::memcmp(quad, water->mixedTexture()->vertices(), sizeof quad), 0);

  // A second on: the foam slides 0.115 along v, the two copies by their speeds.
  clock.advance(1000);
  water->Update(device, clock.now());
  water->Draw(device, clock.now());
  EXPECT_FLOAT_EQ(water->phase(), 18.0f);
  EXPECT_NEAR(water->foamTextureMatrix().m[2][1] - scroll.m[2][1], 0.115f, 1e-6f);
  const MixedTextureQuad::Vertex& moved = water->mixedTexture()->vertices()[2];
  EXPECT_NEAR(moved.u - quad[2].u, 0.03f, 1e-6f);
  EXPECT_NEAR(moved.v - quad[2].v, 0.09f, 1e-6f);
  EXPECT_NEAR(moved.s - quad[2].s, -0.04f, 1e-6f);
  EXPECT_NEAR(moved.t - quad[2].t, -0.19f, 1e-6f);
}

TEST_F(WaterTest, ReflectionCoordinatesAreTheVertexOnScreenClampedAtTheEdges) {
  // Close over the water, so the grid's ends lie off the screen and its
  // near row behind the eye.
  camera->setLocal(testing::LookingAt({0, -120, 60}, {0, 0, 0}));
  scene->root().updateSubtree();
  auto water = Make(true, false);
  camera->apply(device);
  clock.advance(250);
  water->Update(device, clock.now());

  const Matrix view = *CameraView(camera->world());
  const Matrix& projection = camera->projection;
  int clamped = 0, inside = 0, behind = 0;
  for (const WaterVertex& v : Vertices(water->seaBuffer())) {
    double c[4] = {};
    const double p[4] = {v.x, v.y, v.z, 1.0};
    const Matrix m = view * projection;
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) c[j] += p[k] * m(static_cast<std::size_t>(k), static_cast<std::size_t>(j));
    // Behind the eye a vertex stays on its own side: below the camera is
    // below the screen, not turned over to its top.
    const double w = std::fabs(c[3]);
    const double sx = (c[0] / w + 1.0) * 400.0, sy = (1.0 - c[1] / w) * 300.0;
    const double s = sx / 800.0, t = 1.0 - sy / 600.0 - 0.02 * std::fabs(v.z);
    const auto clamp = [](double x) { return x < 0 ? 0.0 : (x > 1 ? 1.0 : x); };
    EXPECT_NEAR(v.s, clamp(s), 1e-4) << v.x << ", " << v.y;
    EXPECT_NEAR(v.t, clamp(t), 1e-4) << v.x << ", " << v.y;
    EXPECT_TRUE(v.s >= 0.0f && v.s <= 1.0f && v.t >= 0.0f && v.t <= 1.0f);
    if (c[3] < 0) {
      ++behind;
      EXPECT_EQ(v.t, 0.0f) << "the near edge, at " << v.x << ", " << v.y;
    }
    if (s < 0 || s > 1) {
      ++clamped;
      EXPECT_TRUE(v.s == 0.0f || v.s == 1.0f);
    } else {
      ++inside;
    }
  }
  EXPECT_GT(clamped, 0) << "some of the grid lies off the screen";
  EXPECT_GT(behind, 0) << "some of it behind the eye";
  EXPECT_GT(inside, 0);
}

TEST_F(WaterTest, AlphaStartsAtDaylightAndIsPushedOnlyWhenItChanges) {
  SeaLayer().alpha = 90;  // whatever the scene brought
  auto water = Make(false, false);
  device.BeginScene();
  water->Update(device, clock.now());
  water->Draw(device, clock.now());
  EXPECT_EQ(SeaLayer().alpha, 200);
  ASSERT_EQ(SeaDraws().size(), 1u);
  EXPECT_EQ(SeaDraws()[0].renderStates.at(RenderState::TextureFactor), 200u << 24);

  water->SetAlpha(251);
  water->Draw(device, clock.now());
  EXPECT_EQ(SeaLayer().alpha, 251);
  // 255 is never pushed: the layer keeps the last value.
  water->SetAlpha(255);
  water->Draw(device, clock.now());
  EXPECT_EQ(SeaLayer().alpha, 251);
  SeaLayer().alpha = 10;
  water->SetAlpha(251);  // the value already pushed: left alone
  water->Draw(device, clock.now());
  EXPECT_EQ(SeaLayer().alpha, 10);

  // With the mirror the alpha goes to the map's layer, applied last.
  SeaLayer().alpha = 90;
  device.draws.clear();
  auto mirrored = Make(true, false);
  mirrored->Update(device, clock.now());
  mirrored->Draw(device, clock.now());
  EXPECT_EQ(SeaLayer().alpha, 90);
  ASSERT_EQ(SeaDraws().size(), 1u);
  EXPECT_EQ(SeaDraws()[0].renderStates.at(RenderState::TextureFactor), 200u << 24);
}

TEST_F(WaterTest, DrawBlendsBothMeshesAndRestoresWhatItChanged) {
  auto water = Make(true, true);
  device.BeginScene();
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendZero);
  device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  device.SetTextureStageState(1, TextureStageState::AddressU, d3d::kAddressMirror);
  const DeviceViewport viewport = device.viewport;
  water->Update(device, clock.now());
  device.draws.clear();
  device.log.clear();
  water->Draw(device, clock.now());

  ASSERT_EQ(device.draws.size(), 3u) << "the mixed texture's quad, the sea, the foam";
  const auto& quad = device.draws[0];
  EXPECT_EQ(quad.fvf, MixedTextureQuad::kFvf);
  EXPECT_EQ(quad.renderStates.at(RenderState::ZEnable), 0u);
  EXPECT_EQ(quad.textures[0], "Sea.jpg");
  EXPECT_EQ(quad.textures[1], "Sea.jpg");
  const auto& sea = device.draws[1];
  EXPECT_EQ(sea.renderStates.at(RenderState::AlphaBlendEnable), 1u);
  EXPECT_EQ(sea.renderStates.at(RenderState::SrcBlend), d3d::kBlendSrcAlpha);
  EXPECT_EQ(sea.renderStates.at(RenderState::DestBlend), d3d::kBlendInvSrcAlpha);
  EXPECT_EQ(sea.textures[0], "mixed");
  EXPECT_EQ(sea.textures[1], "envmap");
  EXPECT_EQ(sea.indices.size(), 12u * 6u * 6u);
  const auto& foam = device.draws[2];
  EXPECT_EQ(foam.textures[0], "Foam.jpg");
  EXPECT_EQ(foam.vertexCount, 18u);
  // The second foam mesh addresses its own vertices.
  EXPECT_EQ(*std::max_element(foam.indices.begin(), foam.indices.end()), 17);
  EXPECT_EQ(*std::min_element(foam.indices.begin() + 24, foam.indices.end()), 9);

  // The render target went to the mixed texture and came back.
  EXPECT_EQ(device.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget(mixed)", "SetRenderTarget(backbuffer)"}));
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(1, FF000000, 1, 0)"}));
  EXPECT_EQ(device.renderTarget, nullptr);
  EXPECT_EQ(device.viewport, viewport);
  EXPECT_EQ(device.State(RenderState::SrcBlend), d3d::kBlendOne);
  EXPECT_EQ(device.State(RenderState::DestBlend), d3d::kBlendZero);
  EXPECT_EQ(device.State(RenderState::CullMode), d3d::kCullNone);
  EXPECT_EQ(device.State(RenderState::AlphaBlendEnable), 0u);
  EXPECT_EQ(device.StageState(0, TextureStageState::TextureTransformFlags), d3d::kTtffDisable);
  // The map is not left bound while the next frame renders into it.
  const auto seaDraw = std::find(device.log.begin(), device.log.end(), "DrawIndexedPrimitiveVB(4, 91, 432)");
  ASSERT_NE(seaDraw, device.log.end());
  // The map clamps at its edges while the sea samples it: wrapping would
  // bring the far edge's empty sky into the near sea.
  const auto lastBefore = [&](const std::string& prefix) {
    std::string found;
    for (auto it = device.log.begin(); it != seaDraw; ++it)
      if (it->rfind(prefix, 0) == 0) found = *it;
    return found;
  };
  EXPECT_EQ(lastBefore("SetTextureStageState(1, 13,"), "SetTextureStageState(1, 13, 3)");
  EXPECT_EQ(lastBefore("SetTextureStageState(1, 14,"), "SetTextureStageState(1, 14, 3)");
  EXPECT_EQ(device.StageState(1, TextureStageState::AddressU), d3d::kAddressMirror);
  EXPECT_EQ(device.StageState(1, TextureStageState::AddressV), d3d::kAddressWrap);
  EXPECT_EQ(
      *std::find_if(seaDraw, device.log.end(), [](const std::string& c) { return c.rfind("SetTexture(1", 0) == 0; }),
      "SetTexture(1, )");
}

TEST_F(WaterTest, MixedTextureCoordinatesWrapSoTheyStayNearZero) {
  auto water = Make(false, true);
  device.BeginScene();
  for (int second = 0; second < 400; ++second) {
    clock.advance(1000);
    water->Draw(device, clock.now());
  }
  const MixedTextureQuad::Vertex* v = water->mixedTexture()->vertices();
  for (int i = 0; i < 4; ++i)
    for (float c : {v[i].u, v[i].v, v[i].s, v[i].t}) EXPECT_LT(std::fabs(c), 8.0f);
  // The copies keep their repeat across the target.
  EXPECT_NEAR(v[1].u - v[0].u, 1.0f, 1e-4f);
  EXPECT_NEAR(v[3].v - v[0].v, 1.0f, 1e-4f);
  EXPECT_NEAR(v[1].s - v[0].s, -2.0f, 1e-4f);
  EXPECT_NEAR(v[3].t - v[0].t, -2.0f, 1e-4f);
}

TEST_F(WaterTest, ARefusedMixedTargetIsFatalAndNothingIsDrawnIntoIt) {
  auto water = Make(false, true);
  device.BeginScene();
  device.failing["SetRenderTarget"] = kEFail;
  const DeviceViewport viewport = device.viewport;
  water->Draw(device, clock.now());
  ASSERT_FALSE(fatal.empty());
  EXPECT_EQ(fatal[0], "SetRenderTarget(m_pMixedTexture, 0) FAILED!");
  EXPECT_EQ(device.viewport, viewport);
  EXPECT_TRUE(device.Calls("Clear").empty()) << "nothing drawn into a target that is not there";
}

}  // namespace
}  // namespace brisane
