#include "show/ship_motion.h"
#include "show/water.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "scene/view.h"
#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_audio.h"
#include "support/scripted_random.h"
#include "support/sea_fixtures.h"
#include "support/wave_bytes.h"

namespace brisane {
namespace {

using testing::RecordingDevice;
using testing::RecordingVertexBuffer;

double ReferenceWave(double x, double y, double p) {
  return 1.5 * (std::sin(0.08 * (x + p)) + std::sin(0.08 * (y + p))) + 0.4 * std::sin(0.44 * (90.0 * x * y + 0.7 * p));
}

// The third term's argument grows with x * y: the tolerance follows each
// argument's size, where single precision loses the sine.
TEST(Wave, MatchesADoublePrecisionEvaluationWithinSinglePrecisionRounding) {
  const double eps = std::ldexp(1.0, -24);
  const std::pair<float, float> points[] = {{-7.5f, -6.0f}, {-0.25f, 0.75f}, {0, 0},       {3.0f, -1.5f},
                                            {8.0f, 4.0f},   {-400, 0.01f},   {350, 0.01f}, {0, -300}};
  for (float phase : {0.0f, 0.6f, 240.0f, 3000.0f})
    for (const auto& [x, y] : points) {
      const double a1 = std::fabs(0.08 * (x + phase)), a2 = std::fabs(0.08 * (y + phase));
      const double a3 = 0.44 * (90.0 * std::fabs(double{x} * y) + 0.7 * phase);
      EXPECT_NEAR(WaveHeight(x, y, phase), ReferenceWave(x, y, phase), 8 * eps * (1.5 * (a1 + a2) + 0.4 * a3 + 4))
          << x << ", " << y << " phase " << phase;
    }
}

// Bases from zero through where scale * base takes its own reference
// (4096) and out to the largest taken the fast way (2^33), past it, negative
// ones, and damaged ones; drifts of both signs up to the fast path's end,
// frames apart and where the rounded sum moves a whole step. The bound is
// the float sine's own error and the roundings of the angle sum: a sine or
// cosine swapped, a sign or a quarter turn wrong gives errors near 1.
TEST(Wave, SinesStayWithinTheirBoundOfTheExactSineOfTheRoundedArgument) {
  std::vector<float> bases = {0.0f, -0.0f, 1e-20f, 0.3f, -2.7f, 9309.0f, 9309.1f, 9309.3f, -9309.1f, 12000.5f,
                              9.87e6f, -3.3e7f, 2.8739e9f, 5.76e9f, 8.5899340e9f, 8.5899346e9f, -8.5899346e9f, 9e13f,
                              std::numeric_limits<float>::infinity(), std::nanf("")};
  for (float b = 0.5f; std::fabs(b) < 8.6e9f; b = b * -1.37f + 11.0f) bases.push_back(b);
  for (float scale : {0.44f, 0.08f}) {
    WaveSines sines(bases, scale);
    ASSERT_EQ(sines.size(), bases.size());
    for (float drift : {0.0f, 0.14f, -0.14f, 0.7f * 1570.79f, -977.3f, 2047.99f, -2048.0f, 2048.01f, 1e6f})
      for (int frame = 0; frame < 12; ++frame) {
        const float d = drift + 0.14f * static_cast<float>(frame);
        const float* values = sines.Update(d);
        for (std::size_t i = 0; i < bases.size(); ++i) {
          const float exact = std::sin(scale * (bases[i] + d));
          if (std::isnan(exact))
            ASSERT_TRUE(std::isnan(values[i])) << bases[i];
          else if (std::fabs(d) > WaveSines::kFastDrift || !(std::fabs(bases[i]) < 8589934592.0f))
            ASSERT_EQ(values[i], exact) << bases[i] << " drift " << d;  // the exact way
          else
            ASSERT_NEAR(values[i], exact, 2.5e-7f) << bases[i] << " drift " << d << " scale " << scale;
        }
      }
  }
}

// The processor's four lanes and the one-at-a-time path (the last few of a
// set) round alike: each base alone equals itself among others to the bit.
TEST(Wave, EveryLaneGivesTheOneAtATimeSineToTheBit) {
  const std::vector<float> bases = {0.3f, -2.7f, 4655.0f, 6000.5f, 9.87e6f, -3.3e7f, 2.8739e9f, 71.25f};
  WaveSines together(bases, 0.44f);
  std::vector<WaveSines> alone;
  for (float base : bases) alone.emplace_back(std::vector<float>{base}, 0.44f);
  for (float drift = -1500.0f; drift < 1500.0f; drift += 7.31f) {
    const float* values = together.Update(drift);
    for (std::size_t i = 0; i < bases.size(); ++i) {
      const float one = *alone[i].Update(drift);
      ASSERT_EQ(std::memcmp(&values[i], &one, sizeof one), 0) << bases[i] << " drift " << drift;
    }
  }
}

// The sea's grid out to where the short wave's argument passes 10^9, shared
// rows and columns, a repeated point, damaged ones, over frames at the
// start, across the phases the show passes (under kWavePeriod), and far
// beyond, where every sine is the exact one and the heights equal the
// pointwise wave's to the bit. 1e-6 is a third of a millionth of the wave's
// range: the sines' 2.5e-7 weighed 1.5, 1.5 and 0.4, and the sum's rounding;
// a drift without its 0.7 or the waves' weights swapped is far outside it.
TEST(Wave, GridHeightsStayWithinAMillionthOfThePointwiseWaveFrameAfterFrame) {
  std::vector<float> plane;
  for (float x = -7999.0f; x <= 8000.0f; x += 613.7f)
    for (float y : {-7984.4f, -0.0f, 0.0f, 3.25f, 5003.1f}) plane.insert(plane.end(), {x, y});
  plane.insert(plane.end(), {3.25f, 3.25f, 3.25f, 3.25f, 0.75f, -0.5f, 2e6f, 1e6f});
  plane.insert(plane.end(), {std::nanf(""), 1.0f, 1.0f, std::nanf("")});
  WaveGrid grid(plane);
  ASSERT_EQ(grid.size(), plane.size() / 2);
  for (double start : {0.0, 731.3, kWavePeriod - 8.0, 3600.0 * kWaveRate, 3.1e6})
    for (int frame = 0; frame < 40; ++frame) {
      const float phase = static_cast<float>(start + frame * 0.2);
      const std::vector<float>& heights = grid.Heights(phase);
      for (std::size_t i = 0; i < grid.size(); ++i) {
        const float expected = WaveHeight(plane[2 * i], plane[2 * i + 1], phase);
        if (std::isnan(expected))
          ASSERT_TRUE(std::isnan(heights[i])) << i;
        else if (phase > WaveSines::kFastDrift / 0.7f)
          ASSERT_EQ(heights[i], expected) << i << " phase " << phase;
        else
          ASSERT_NEAR(heights[i], expected, 1e-6f) << i << " phase " << phase;
      }
    }
}

// Every case is exact, including a camera with no world x in its right axis (a
// zero pivot); the show's cameras do not roll.
TEST(ReflectedView, SeesTheSceneMirroredInTheSeaFromTheMirroredEye) {
  const Vector3 points[] = {{0, 0, 0}, {120, -40, 75}, {-200, 90, 160}, {35, 300, -20}};
  for (const Matrix& camera : {testing::LookingAt({0, -600, 300}, {0, 0, 0}), testing::LookingAt({-420, 250, 12}, {30, -40, 180}),
                               testing::LookingAt({-500, 0, 200}, {0, 0, 0})}) {
    SCOPED_TRACE(::testing::Message() << camera(3, 0) << ", " << camera(3, 1) << ", " << camera(3, 2));
    const Matrix view = *CameraView(camera);
    const Matrix mirrored = ReflectedView(view);
    EXPECT_NEAR(Length(TransformPoint({camera(3, 0), camera(3, 1), -camera(3, 2)}, mirrored)), 0.0f, 1e-4f);
    // Still the view's rotation and scale: triangles keep their winding.
    const auto det = [](const Matrix& m) {
      return Dot(Cross({m(0, 0), m(0, 1), m(0, 2)}, {m(1, 0), m(1, 1), m(1, 2)}), {m(2, 0), m(2, 1), m(2, 2)});
    };
    EXPECT_NEAR(det(mirrored), det(view), 1e-9f);
    // A point's mirror image lies where the point does in the normal view,
    // upside down: the sea turns it back with its coordinates.
    for (const Vector3& p : points) {
      const Vector3 seen = TransformPoint(p, view), image = TransformPoint({p.x, p.y, -p.z}, mirrored);
      EXPECT_LT(Length(image - Vector3{seen.x, -seen.y, seen.z}), 1e-3f) << p.x << ", " << p.y << ", " << p.z;
    }
  }
}

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
    resources.add(147, kSceneResourceType, testing::SeaWriter().Finish());
    scene->SetResourceSource(&resources);
    scene->SetTextureLoader(&loader);
    ASSERT_TRUE(scene->Load("", 147));
    scene->root().UpdateSubtree();
    camera = testing::Find<Camera>(*scene, "Camera01");
    scene->SetCurrentCamera(camera);
    device.viewport = {0, 0, 800, 600, 0.0f, 1.0f};
    device.BeginScene();
  }
  std::unique_ptr<EnvWater> Make(bool environment, bool lightmaps) {
    settings.Get(key::EnableEnvWater) = Value(std::int32_t{environment ? 1 : 0});
    return MakeEnvWater(*scene, device, &loader, settings, lightmaps, clock.now(),
                        [&](const std::string& message) { fatal.push_back(message); });
  }
  std::uint8_t& SeaAlpha() {
    auto* sea = scene->FindMaterial(std::string(contract::kWaterMaterials[0]));
    return static_cast<ConstantAlphaLayer&>(*sea->layer(LayerKind::Diffuse)).alpha;
  }
  bool Visible(const std::string& name) { return testing::Find<GeometryObject>(*scene, name)->visible(); }
  std::uint32_t SeaFactor() const {
    for (const auto& d : device.draws)
      if (d.vertexCount == 13 * 7) return d.renderStates.at(RenderState::TextureFactor);
    return 0;
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
  // Refused buffers: the nodes stay in the scene's drawing and the failure is reported.
  device.failing["CreateVertexBuffer"] = kEFail;
  EXPECT_EQ(Make(false, false), nullptr);
  EXPECT_TRUE(Visible("Water01") && Visible("Water02"));
  EXPECT_EQ(fatal, (std::vector<std::string>{"FATAL ERROR in MakeEnvWater(): no vertex buffer for Water01",
                                             "FATAL ERROR in MakeEnvWater(): no vertex buffer for Water02"}));
  device.failing.clear();
  fatal.clear();
  for (bool environment : {false, true}) {
    device.log.clear();
    loader.asked.clear();
    auto water = Make(environment, false);
    for (std::string_view name : contract::kWater)
      EXPECT_FALSE(testing::Find<GeometryObject>(*scene, std::string(name))->visible()) << name;
    const std::string caps = std::to_string(d3d::kVbCapsSystemMemory | d3d::kVbCapsWriteOnly);
    EXPECT_EQ(device.Calls("CreateVertexBuffer"),
              (std::vector<std::string>{
                  "CreateVertexBuffer(" + std::to_string(environment ? kFvfTwoTextures : kFvfOneTexture) + ", 91, " + caps + ")",
                  "CreateVertexBuffer(" + std::to_string(kFvfTwoTextures) + ", 18, " + caps + ")"}));
    // The map only with environment water, at the viewport's size; no mixed texture without lightmaps.
    ASSERT_EQ(loader.asked.size(), environment ? 1u : 0u);
    if (environment) { EXPECT_EQ((MapSize{loader.asked[0].width, loader.asked[0].height}), (MapSize{512, 512})); }
  }
  settings.Get(key::EnableEnvWater) = Value(std::int32_t{2});  // only 1 turns the mirror on
  EXPECT_FALSE(MakeEnvWater(*scene, device, &loader, settings, false, clock.now(), nullptr)->environmentWater());
  EXPECT_TRUE(fatal.empty());
}

TEST_F(WaterTest, RenderTargetsTakeTheSizeTheDeviceGaveAndMissingOnesAreFatal) {
  loader.maxSide = 256;
  auto water = Make(true, true);
  EXPECT_EQ(water->environmentMapSize(), (MapSize{256, 256}));
  EXPECT_EQ(std::tuple(water->mixedTexture()->vertices()[2].x, water->mixedTexture()->vertices()[2].y), std::tuple(256.0f, 128.0f));
  EXPECT_TRUE(fatal.empty());
  // Refused switches to the targets: nothing is drawn into them, nothing left changed.
  device.failing["SetRenderTarget"] = kEFail;
  water->RenderReflection(device);
  EXPECT_TRUE(device.draws.empty());
  water->Draw(device, clock.now());
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetRenderTarget(m_pEnvironmentMapTexture, 0) FAILED!",
                                             "SetRenderTarget(m_pMixedTexture, 0) FAILED!"}));
  EXPECT_TRUE(device.Calls("Clear").empty());
  EXPECT_TRUE(device.viewport.width == 800u && !camera->reflect && Visible("Box01"));
  // A refused viewport on the map: reported, nothing drawn, the screen's target back.
  fatal.clear();
  device.failing = {{"SetViewport", kEFail}};
  device.draws.clear();
  water->RenderReflection(device);
  EXPECT_TRUE(device.draws.empty());
  EXPECT_EQ(fatal, (std::vector<std::string>{"SetViewport(m_pEnvironmentMapTexture) FAILED!"}));
  EXPECT_EQ(device.renderTarget, nullptr);
  device.failing.clear();
  // Where the report returns, the sea goes on plain.
  fatal.clear();
  loader.refuse = {SurfaceKind::TargetWithDepth, SurfaceKind::Target};
  water = Make(true, true);
  EXPECT_EQ(fatal, (std::vector<std::string>{"Can't create surface for envmap", "Can't create surface for water"}));
  EXPECT_TRUE(!water->environmentWater() && water->mixedTexture() == nullptr);
  EXPECT_EQ(water->seaBuffer()->Fvf(), kFvfOneTexture);
}

TEST_F(WaterTest, HeightsFollowTheClockAndAStalledClockStandsWavesAndScrollingStill) {
  auto water = Make(false, true);
  clock.advance(500);
  water->Update(device, clock.now());
  EXPECT_FLOAT_EQ(water->phase(), 6.0f);  // 12 a second
  for (const VertexBuffer* buffer : {water->seaBuffer(), water->foamBuffer()})
    for (const WaterVertex& v : Vertices(buffer)) ASSERT_NEAR(v.z, WaveHeight(v.x, v.y, 6.0f), 1e-6f) << v.x << ", " << v.y;
  water->Draw(device, clock.now());
  const auto sea = Vertices(water->seaBuffer());
  const DeviceMatrix scroll = water->foamTextureMatrix();
  MixedTextureQuad::Vertex quad[4];
  std::memcpy(quad, water->mixedTexture()->vertices(), sizeof quad);
  for (int frame = 0; frame < 3; ++frame) {
    water->Update(device, clock.now());
    water->Draw(device, clock.now());
  }
  EXPECT_EQ(std::memcmp(Vertices(water->seaBuffer()).data(), sea.data(), sea.size() * sizeof sea[0]), 0);
  EXPECT_EQ(water->foamTextureMatrix(), scroll);
  EXPECT_EQ(std::memcmp(quad, water->mixedTexture()->vertices(), sizeof quad), 0);
  // A second on: the foam slides 0.115 along v, the two copies by their speeds.
  clock.advance(1000);
  water->Update(device, clock.now());
  water->Draw(device, clock.now());
  EXPECT_FLOAT_EQ(water->phase(), 18.0f);
  EXPECT_NEAR(water->foamTextureMatrix().m[2][1] - scroll.m[2][1], 0.115f, 1e-6f);
  const MixedTextureQuad::Vertex& moved = water->mixedTexture()->vertices()[2];
  EXPECT_LT(Length(Vector3{moved.u - quad[2].u - 0.03f, moved.v - quad[2].v - 0.09f, moved.s - quad[2].s + 0.04f}), 1e-6f);
  EXPECT_NEAR(moved.t - quad[2].t, -0.19f, 1e-6f);
  // Past the waves' common period the phase starts over on a sea that looks the same.
  clock.advance(130900);  // 1570.8 phase units
  water->Update(device, clock.now());
  EXPECT_NEAR(water->phase(), 18.0 + 1570.8 - kWavePeriod, 1e-3);
  std::array<Vector3, 2> points{{{0, 0, 0}, {10, -5, 0}}};
  water->WaveHeight(points);
  for (const Vector3& p : points) EXPECT_NEAR(p.z, WaveHeight(p.x, p.y, 1588.8f), 1e-3f) << p.x;
  // Hundreds of seconds on the copies wrap near zero and keep their repeat.
  for (int second = 0; second < 400; ++second) water->Draw(device, clock.now() + 1000u * static_cast<std::uint32_t>(second));
  const MixedTextureQuad::Vertex* q = water->mixedTexture()->vertices();
  for (int i = 0; i < 4; ++i)
    for (float c : {q[i].u, q[i].v, q[i].s, q[i].t}) EXPECT_LT(std::fabs(c), 8.0f);
  EXPECT_LT(Length(Vector3{q[1].u - q[0].u - 1, q[3].v - q[0].v - 1, q[1].s - q[0].s + 2}), 1e-4f);
  EXPECT_NEAR(q[3].t - q[0].t, -2.0f, 1e-4f);
}

// Close over the water: the grid's ends lie off the screen, its near row
// behind the eye, which must stay below the screen rather than turn over.
TEST_F(WaterTest, ReflectionCoordinatesAreTheVertexOnScreenClampedAtTheEdges) {
  camera->SetLocal(testing::LookingAt({0, -120, 60}, {0, 0, 0}));
  scene->root().UpdateSubtree();
  auto water = Make(true, false);
  camera->Apply(device);
  clock.advance(250);
  water->Update(device, clock.now());
  const Matrix m = *CameraView(camera->world()) * camera->projection;
  int clamped = 0, inside = 0, behind = 0;  // each kind of vertex must be there
  for (const WaterVertex& v : Vertices(water->seaBuffer())) {
    double c[4] = {};
    const double p[4] = {v.x, v.y, v.z, 1.0};
    for (std::size_t j = 0; j < 4; ++j)
      for (std::size_t k = 0; k < 4; ++k) c[j] += p[k] * m(k, j);
    const double w = std::fabs(c[3]);
    const double s = (c[0] / w + 1.0) / 2, t = 1.0 - (1.0 - c[1] / w) / 2 - 0.02 * std::fabs(v.z);
    EXPECT_NEAR(v.s, std::clamp(s, 0.0, 1.0), 1e-4) << v.x << ", " << v.y;
    EXPECT_NEAR(v.t, std::clamp(t, 0.0, 1.0), 1e-4) << v.x << ", " << v.y;
    behind += c[3] < 0;
    ++(s < 0 || s > 1 ? clamped : inside);
  }
  EXPECT_TRUE(clamped && behind && inside);
}

TEST_F(WaterTest, AlphaStartsAtDaylightAndIsPushedOnlyWhenItChanges) {
  SeaAlpha() = 90;  // whatever the scene brought
  auto water = Make(false, false);
  EXPECT_EQ(water->alpha(), kDayWaterAlpha);
  water->Draw(device, clock.now());
  EXPECT_EQ(std::tuple(SeaAlpha(), SeaFactor()), std::tuple(std::uint8_t{200}, 200u << 24));
  // 255 is never pushed; one already pushed is left alone.
  for (const auto& [set, scene, seen] : {std::tuple{251, 200, 251}, {255, 251, 251}, {251, 10, 10}}) {
    SeaAlpha() = static_cast<std::uint8_t>(scene);
    water->SetAlpha(static_cast<std::uint8_t>(set));
    water->Draw(device, clock.now());
    EXPECT_EQ(SeaAlpha(), seen) << set;
  }
  // With the mirror the alpha goes to the map's layer, applied last.
  SeaAlpha() = 90;
  device.draws.clear();
  Make(true, false)->Draw(device, clock.now());
  EXPECT_EQ(std::tuple(SeaAlpha(), SeaFactor()), std::tuple(std::uint8_t{90}, 200u << 24));
}

TEST_F(WaterTest, DrawBlendsBothMeshesAndRestoresWhatItChanged) {
  auto water = Make(true, true);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendOne);
  device.SetRenderState(RenderState::CullMode, d3d::kCullNone);
  device.SetRenderState(RenderState::AlphaBlendEnable, 0);
  device.SetTextureStageState(1, TextureStageState::AddressU, d3d::kAddressMirror);
  water->Update(device, clock.now());
  device.draws.clear();
  device.log.clear();
  water->Draw(device, clock.now());
  ASSERT_EQ(device.draws.size(), 3u);  // the mixed texture's quad, the sea, the foam
  EXPECT_EQ(device.draws[0].renderStates.at(RenderState::ZEnable), 0u);
  const auto& sea = device.draws[1];
  const auto state = [&](RenderState s) { return sea.renderStates.at(s); };
  EXPECT_EQ(std::tuple(state(RenderState::AlphaBlendEnable), state(RenderState::SrcBlend), state(RenderState::DestBlend)),
            std::tuple(1u, d3d::kBlendSrcAlpha, d3d::kBlendInvSrcAlpha));
  EXPECT_EQ(sea.textures[0] + " " + sea.textures[1], "mixed envmap");
  const auto& foam = device.draws[2];  // the second mesh addresses its own vertices
  EXPECT_EQ(*std::max_element(foam.indices.begin(), foam.indices.end()), 17);
  EXPECT_EQ(*std::min_element(foam.indices.begin() + 24, foam.indices.end()), 9);
  EXPECT_EQ(device.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget(mixed)", "SetRenderTarget(backbuffer)"}));
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(1, FF000000, 1, 0)"}));
  EXPECT_EQ(std::tuple(device.State(RenderState::SrcBlend), device.State(RenderState::CullMode),
                       device.State(RenderState::AlphaBlendEnable)),
            std::tuple(d3d::kBlendOne, d3d::kCullNone, 0u));
  EXPECT_EQ(device.StageState(0, TextureStageState::TextureTransformFlags), d3d::kTtffDisable);
  // The map clamps while the sea samples it (wrapping brings the far edge's
  // empty sky into the near sea), and is not left bound for the next frame
  // to render into.
  const auto seaDraw = std::find(device.log.begin(), device.log.end(), "DrawIndexedPrimitiveVB(4, 91, 432)");
  const auto quadDraw = std::find(device.log.begin(), device.log.end(), "DrawIndexedPrimitive(4, 4, 6)");
  ASSERT_TRUE(seaDraw != device.log.end() && quadDraw != device.log.end());
  const auto last = [&](const std::string& prefix, std::vector<std::string>::iterator draw) {
    const auto it = std::find_if(std::make_reverse_iterator(draw), device.log.rend(),
                                 [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return it == device.log.rend() ? std::string() : *it;
  };
  EXPECT_EQ(last("SetTextureStageState(1, 13,", seaDraw), "SetTextureStageState(1, 13, 3)");
  EXPECT_EQ(last("SetTextureStageState(1, 14,", seaDraw), "SetTextureStageState(1, 14, 3)");
  // A stage whose colour operation is active never has its alpha operation disabled.
  for (const auto draw : {quadDraw, seaDraw})
    if (last("SetTextureStageState(1, 1,", draw) != "SetTextureStageState(1, 1, 1)") {
      EXPECT_NE(last("SetTextureStageState(1, 4,", draw), "SetTextureStageState(1, 4, 1)") << *draw;
    }
  EXPECT_EQ(std::tuple(device.StageState(1, TextureStageState::AddressU), device.StageState(1, TextureStageState::AddressV)),
            std::tuple(d3d::kAddressMirror, d3d::kAddressWrap));
  EXPECT_EQ(*std::find_if(seaDraw, device.log.end(), [](const std::string& c) { return c.rfind("SetTexture(1", 0) == 0; }),
            "SetTexture(1, )");
}

TEST_F(WaterTest, ReflectionDrawsTheMirroredSceneWithoutTheDeckPartsAndRestoresTheNormalFrame) {
  auto off = Make(false, false);
  device.log.clear();
  off->RenderReflection(device);
  EXPECT_TRUE(device.log.empty() && !off->hiddenListsFound());
  auto water = Make(true, false);
  camera->Apply(device);
  const DeviceMatrix view = device.transforms[TransformState::View];
  const DeviceMatrix projection = device.transforms[TransformState::Projection];
  // Hidden before the first pass: visible after it all the same.
  scene->FindNode("lantern01")->SetVisible(false);
  device.log.clear();
  water->RenderReflection(device);
  // The listed parts the scene has; the names it lacks are skipped.
  ASSERT_EQ(water->hiddenInReflection().size(), 2u);
  EXPECT_EQ(water->hiddenInReflection()[0]->name() + water->hiddenInReflection()[1]->name(), "Box01lantern01");
  // Only the hull: not the box, the lid below it, the lantern or the sea.
  ASSERT_EQ(device.draws.size(), 1u);
  EXPECT_EQ(std::tuple(device.draws[0].target, device.draws[0].view),
            std::tuple(std::string("envmap"), ToDevice(ReflectedView(*CameraView(camera->world())))));
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(3, FF50646E, 1, 0)"}));
  EXPECT_EQ(device.Calls("SetRenderTarget"),
            (std::vector<std::string>{"SetRenderTarget(envmap)", "SetRenderTarget(backbuffer)"}));
  // The map's viewport is set once its target is in use (a device checks it against the target).
  const auto at = [&](const std::string& call) { return std::ranges::find(device.log, call) - device.log.begin(); };
  EXPECT_GT(at("SetViewport"), at("SetRenderTarget(envmap)"));
  for (const char* name : {"Box01", "Box01_lid", "lantern01", "hull"}) EXPECT_TRUE(Visible(name)) << name;
  EXPECT_EQ(std::tuple(camera->reflect, device.viewport.width, fatal.size()), std::tuple(false, 800u, 0u));
  EXPECT_EQ(std::tuple(device.transforms[TransformState::View], device.transforms[TransformState::Projection]),
            std::tuple(view, projection));
  water->RenderReflection(device);
  EXPECT_EQ(std::tuple(water->hiddenInReflection().size(), device.draws.size()), std::tuple(std::size_t{2}, std::size_t{2}))
      << "by day the mirrored image is left as drawn";

  // At night the map is cleared to a dark sky and the mirrored ship veiled
  // with it (alpha 0.7), so that the sea's doubling cannot outshine the ship.
  water->SetDaylight(0.0f);
  device.SetRenderState(RenderState::ZEnable, d3d::kZbTrue);
  device.SetTextureStageState(0, TextureStageState::ColorOp, d3d::kTopModulate);
  device.log.clear();
  device.draws.clear();
  water->RenderReflection(device);
  EXPECT_EQ(device.Calls("Clear"), (std::vector<std::string>{"Clear(3, FF0A1A1C, 1, 0)"}));
  ASSERT_EQ(device.draws.size(), 2u);
  const testing::RecordingDevice::Draw& veil = device.draws[1];
  ASSERT_EQ((std::pair{veil.type, veil.vertexCount}), (std::pair{PrimitiveType::TriangleStrip, 4u}));
  std::uint32_t colour = 0;
  std::memcpy(&colour, veil.vertices.data() + 4 * sizeof(float), sizeof colour);
  EXPECT_EQ(colour, 0xB30A1A1Cu);
  EXPECT_EQ(std::tuple(veil.renderStates.at(RenderState::DestBlend), veil.renderStates.at(RenderState::ZEnable)),
            std::tuple(d3d::kBlendInvSrcAlpha, 0u));
  EXPECT_EQ(std::tuple(device.State(RenderState::ZEnable), device.StageState(0, TextureStageState::ColorOp)),
            std::tuple(d3d::kZbTrue, d3d::kTopModulate)) << "restored";
  EXPECT_EQ(device.Calls("SetRenderTarget").back(), "SetRenderTarget(backbuffer)");
}

// The sea in the show: the ship moved before the clear, the sea with its
// reflection drawn before the scene, darkened by the light cycle.
// And the light cycle darkens it, the mirror following the light.
TEST(ShowWaterTest, TheSeaIsAPassBeforeTheSceneTheShipMovesBeforeTheClearAndNightDarkensIt) {
  ManualClock clock{5000};
  testing::ScriptedRandom random{{7}};
  MemoryResourceSource resources;
  resources.add(147, kSceneResourceType, testing::SeaWriter().Finish());
  testing::TargetLoader loader;
  Node settings;
  for (std::string_view k : {key::EnableEnvWater, key::EnableLightmaps, key::Camera1, key::EnableLighting, key::LightDelay})
    settings.Get(k) = Value(std::int32_t{1});
  settings.Get(key::ChangeDelay) = Value(std::int32_t{0});
  RecordingDevice device;
  device.viewport = {0, 0, 640, 480, 0.0f, 1.0f};
  std::vector<std::string> fatal;
  Show show{{clock, random, resources, &loader, settings, nullptr, nullptr, nullptr,
             [&](const std::string& message) { fatal.push_back(message); }}};
  const auto Frame = [&] {
    device.log.clear();
    EXPECT_EQ(show.Frame(device, [] { return kOk; }), FrameStatus::Presented);
    return device.log;
  };
  ASSERT_TRUE(show.Setup(device, {}));
  ASSERT_TRUE(show.shipMotion() && show.water()->mixedTexture());
  EXPECT_EQ(show.water()->environmentMapSize(), (MapSize{512, 256}));
  EXPECT_EQ(show.water()->alpha(), 200);
  std::vector<std::string> order;
  for (const FramePasses::Entry& e : show.passes().entries()) order.emplace_back(e.pass->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"light cycle", "director", "ship motion", "water", "scene",
                                             "lantern glows", "sun flare", "frame-rate text"}));
  const Matrix loaded = show.scene().FindNode(std::string(contract::kShipRoot))->local();
  clock.advance(40);
  const std::vector<std::string> log = Frame();
  const auto at = [&](const std::string& call) { return std::ranges::find(log, call) - log.begin(); };
  // After the clear: the reflection, the mixed texture, the sea, then the scene's own draws.
  EXPECT_LT(at("Clear(3, 00000000, 1, 0)"), at("SetRenderTarget(envmap)"));
  EXPECT_LT(at("SetRenderTarget(envmap)"), at("SetRenderTarget(mixed)"));
  const auto sea = at("DrawIndexedPrimitiveVB(4, 91, 432)");
  EXPECT_LT(at("SetRenderTarget(mixed)"), sea);
  // The deck parts are left out of the mirror only.
  EXPECT_EQ(std::count_if(log.begin() + sea, log.end(),
                          [](const std::string& c) { return c.rfind("DrawIndexedPrimitive(", 0) == 0; }), 4);
  EXPECT_NE(show.scene().FindNode(std::string(contract::kShipRoot))->local(), loaded);
  clock.advance(1);
  Frame();  // the hold ends
  clock.advance(30000);
  Frame();  // half way to night
  EXPECT_EQ(show.water()->alpha(), 225);
  EXPECT_EQ(show.water()->daylight(), 0.5f);
  EXPECT_TRUE(fatal.empty());
}

// The ship on the swell: the three points placed in the water's space, the
// pose from the heights under them (always from the pose as loaded), and the
// creak latches.
class ScriptedSea : public SeaSurface {
 public:
  void WaveHeight(std::span<Vector3> points) const override {
    for (std::size_t i = 0; i < points.size() && i < 3; ++i) points[i].z = heights[i];
  }
  float heights[3] = {0, 0, 0};
};

// Row-vector turns about x and y, written out.
Matrix About(int axis, double a) {
  const std::size_t i = axis == 0 ? 1 : 2, j = axis == 0 ? 2 : 0;
  Matrix r = Matrix::Identity();
  r(i, i) = r(j, j) = static_cast<float>(std::cos(a));
  r(i, j) = static_cast<float>(std::sin(a));
  r(j, i) = static_cast<float>(-std::sin(a));
  return r;
}

constexpr double kHeel = 5.0 * std::numbers::pi / 180.0;

class ShipMotionTest : public ::testing::Test {
 protected:
  void Load(Matrix waterLocal, Matrix shipLocal, std::vector<std::uint8_t> archive = {}) {
    resources.add(147, kSceneResourceType, archive.empty() ? testing::SeaWriter(waterLocal, shipLocal).Finish() : archive);
    scene->SetResourceSource(&resources);
    ASSERT_TRUE(scene->Load("", 147));
    scene->root().UpdateSubtree();
    ship = scene->FindNode(std::string(contract::kShipRoot));
    motion = std::make_unique<ShipMotion>(*scene, sea, creakHigh, creakLow);
    motion->InitWaterPoints();
  }
  Matrix Ride(float h1, float h2, float h3) {
    sea.heights[0] = h1, sea.heights[1] = h2, sea.heights[2] = h3;
    motion->RockShip();
    scene->root().UpdateSubtree();
    return ship->local();
  }
  ManualClock clock{1000};
  MemoryResourceSource resources;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(clock);
  ScriptedSea sea;
  testing::RecordingAudio audio;  // outlives the sounds' buffers
  Sound3D creakHigh, creakLow;
  std::unique_ptr<ShipMotion> motion;
  SceneNode* ship = nullptr;
};

TEST_F(ShipMotionTest, PointsAreTheDummiesInTheWatersOwnSpace) {
  // The sea turned a quarter about z and moved; the ship moved too.
  Matrix water = Matrix::Translation(10, 20, 0);
  water(0, 0) = 0, water(0, 1) = 1, water(1, 0) = -1, water(1, 1) = 0;
  Load(water, Matrix::Translation(5, 0, 0));
  for (std::size_t i = 0; i < 3; ++i) {  // world (x, y) = local (-y, x) + (10, 20)
    const float wx = testing::kSeaPoints[i].x + 5, wy = testing::kSeaPoints[i].y;
    EXPECT_LT(Length(motion->points()[i] - Vector3{wy - 20, 10 - wx, motion->points()[i].z}), 1e-4f) << i;
  }
}

// Pitch about the line across the stern (+y), then roll and heel about the
// line from the bow to the middle of the quarters (+x); 400 along, 104 across.
TEST_F(ShipMotionTest, HeightsPitchRollAndHeaveTheShipFromItsLoadedPose) {
  const Matrix loaded = Matrix::Translation(5, -3, 1);
  Load(Matrix::Identity(), loaded);
  const double along = std::hypot(400.0, 52.0);
  struct Case { float h1, h2, h3; double pitch, roll, heave; };
  for (const Case& c : {Case{0, 0, 0, 0, 0, -2}, Case{1, 0, 0, -std::atan2(1.0, along), 0, 0.5 - 2},
                        Case{0, 2, 0, std::atan2(2.0, along), std::atan2(2.0, 104.0), 0.5 - 2},
                        Case{-3, 1, 2.5f, std::atan2(4.0, along), -std::atan2(1.5, 104.0), -1.5 + 0.875 - 2},
                        Case{0, 0, 0, 0, 0, -2}}) {  // back on a flat sea: nothing builds up
    SCOPED_TRACE(::testing::Message() << c.h1 << ", " << c.h2 << ", " << c.h3);
    const Matrix pose = Ride(c.h1, c.h2, c.h3);
    // An arc cosine near 1 in single precision: about 1e-4 radians.
    EXPECT_NEAR(motion->pitch(), c.pitch, 1e-4);
    EXPECT_NEAR(motion->roll(), c.roll, 1e-4);
    EXPECT_NEAR(motion->heave(), c.heave, 1e-6);
    const Matrix expected =
        loaded * Matrix::Translation(0, 0, static_cast<float>(c.heave)) * About(1, c.pitch) * About(0, c.roll + kHeel);
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(pose.m[i], expected.m[i], 2e-4f) << i;
  }
}

TEST_F(ShipMotionTest, EachCreakPlaysOnceOnTheWayOutAndReArmsOnlyBackInside) {
  Load(Matrix::Identity(), Matrix::Identity());
  resources.add(152, "WAVFILE", testing::PcmWave(testing::Ramp(64)));
  resources.add(157, "WAVFILE", testing::PcmWave(testing::Ramp(32)));
  ASSERT_EQ(creakHigh.Load(audio, resources, 152, ""), kOk);
  ASSERT_EQ(creakLow.Load(audio, resources, 157, ""), kOk);
  testing::RecordingBuffer& high = *audio.created[0];
  testing::RecordingBuffer& low = *audio.created[1];
  // Exactly 2.8 and -2.8 count as inside: they re-arm and play nothing.
  const std::tuple<float, int, int> steps[] = {{3.0f, 1, 0},   {2.81f, 1, 0}, {2.8f, 1, 0},  {2.9f, 2, 0},
                                               {-2.8f, 2, 0},  {-2.81f, 2, 1}, {-2.8f, 2, 1}, {-3.0f, 2, 2}};
  for (const auto& [bow, highPlays, lowPlays] : steps) {
    Ride(bow, 0, 0);
    EXPECT_EQ(std::tuple(high.plays, low.plays, high.looping || low.looping), std::tuple(highPlays, lowPlays, false)) << bow;
    high.playing = low.playing = false;  // a creak is over long before the ship swings back
  }
}

TEST_F(ShipMotionTest, AShipWithoutItsPointsStaysAsLoaded) {
  Load(Matrix::Identity(), Matrix::Identity(), testing::SampleArchive());
  sea.heights[0] = 3;
  motion->RockShip();
  EXPECT_TRUE(motion->highArmed() && scene->FindNode("hull")->local() == Matrix::Translation(0, 1, 0));
}

}  // namespace
}  // namespace brisane
