// The OpenGL device against Direct3D 7's rules: each test draws a small
// scene into a 16 x 16 back buffer and reads the pixels back. Expected
// values come from what Direct3D 7 gives, not from the device's code.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "../unit/support/jpeg_stream.h"
#include "gl_test_context.h"
#include "native/gl_device.h"
#include "native/gl_surface.h"

namespace brisane {
namespace {

using Tss = TextureStageState;
constexpr std::uint32_t kSide = 16;

struct ScreenVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
constexpr std::uint32_t kScreenFvf = d3d::kFvfXyzRhw | d3d::kFvfDiffuse | d3d::kFvfTex1;

struct LitVertex {
  float x, y, z, nx, ny, nz;
};
constexpr std::uint32_t kLitFvf = d3d::kFvfXyz | d3d::kFvfNormal;

class GlDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!context.ok()) GTEST_SKIP() << "no GL context: " << context.error();
    device = std::make_unique<GlDevice>();
    ASSERT_EQ(device->failure(), "");
    device->SetBackBuffer(context.framebuffer(), kSide, kSide);
    ASSERT_EQ(device->Clear(d3d::kClearTarget | d3d::kClearZBuffer, 0xFF000000u, 1.0f, 0), kOk);
    ASSERT_EQ(device->BeginScene(), kOk);
  }
  void TearDown() override {
    if (device) device->EndScene();
  }

  // A screen-space rectangle (pixels, Direct3D's integer centres) with
  // texture coordinates 0..1 from its top-left corner.
  HResult Rect(float x0, float y0, float x1, float y1, std::uint32_t argb, float z = 0.5f) {
    const ScreenVertex v[4] = {{x0, y0, z, 1, argb, 0, 0}, {x1, y0, z, 1, argb, 1, 0},
                               {x0, y1, z, 1, argb, 0, 1}, {x1, y1, z, 1, argb, 1, 1}};
    return device->DrawPrimitive(PrimitiveType::TriangleStrip, kScreenFvf, v, 4);
  }
  std::uint32_t Pixel(int x, int y) {
    std::vector<std::uint32_t> argb;
    EXPECT_EQ(device->ReadBackBuffer({x, y, x + 1, y + 1}, argb), kOk);
    return argb.size() == 1 ? argb[0] : 0xDEADBEEFu;
  }
  // Transformed vertices from (x0, y0) to (x1, y1) at depth z, normal n.
  HResult Quad(float x0, float y0, float x1, float y1, float z, DeviceVector n = {0, 0, -1}) {
    const LitVertex v[4] = {{x0, y1, z, n.x, n.y, n.z}, {x1, y1, z, n.x, n.y, n.z}, {x0, y0, z, n.x, n.y, n.z},
                            {x1, y0, z, n.x, n.y, n.z}};
    return device->DrawPrimitive(PrimitiveType::TriangleStrip, kLitFvf, v, 4);
  }
  // An opaque texture holding the given texels, rows in memory order.
  TextureRef Texture(std::uint32_t w, std::uint32_t h, const std::vector<std::uint32_t>& texels) {
    return GlSurface::Create(w, h, SurfaceKind::Opaque, texels.data());
  }
  void Blend(std::uint32_t source, std::uint32_t destination) {
    device->SetRenderState(RenderState::AlphaBlendEnable, 1);
    device->SetRenderState(RenderState::SrcBlend, source);
    device->SetRenderState(RenderState::DestBlend, destination);
  }
  void Stage(std::uint32_t s, std::uint32_t op, std::uint32_t arg1, std::uint32_t arg2 = d3d::kTaCurrent) {
    device->SetTextureStageState(s, Tss::ColorOp, op);
    device->SetTextureStageState(s, Tss::ColorArg1, arg1);
    device->SetTextureStageState(s, Tss::ColorArg2, arg2);
  }

  testing::GlTestContext context{kSide, kSide};
  std::unique_ptr<GlDevice> device;
  GlTextureLoader loader;
};

int Channel(std::uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }
// Within `tolerance` in every channel: GL may round where Direct3D truncates.
::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected, int tolerance = 1) {
  for (int shift : {0, 8, 16, 24})
    if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance)
      return ::testing::AssertionFailure() << std::hex << actual << " is not near " << expected;
  return ::testing::AssertionSuccess();
}

// White, shining down +z (the way the camera looks) when directional.
DeviceLight WhiteLight(std::uint32_t type) {
  DeviceLight light;
  light.type = type;
  light.diffuse = {1, 1, 1, 1};
  light.direction = {0, 0, 1};
  return light;
}

TEST_F(GlDeviceTest, ScreenAndTransformedVerticesCoverDirect3DsPixels) {
  // Direct3D samples pixel centres at integers: a rectangle from 0.25 to
  // 4.25 covers pixels 1 to 4 (OpenGL's half-pixel centres would give 0 to 3).
  ASSERT_EQ(Rect(0.25f, 0.25f, 4.25f, 4.25f, 0xFFFF0000u), kOk);
  // Edges through pixel centres: the top and left rows are in, the bottom
  // and right ones out, so a quad from 10 to 14 covers 10 to 13.
  ASSERT_EQ(Rect(10, 0, 14, 4, 0xFF0000FFu), kOk);
  // Through identity transforms (screen x = (x + 1) * 8, y = (1 - y) * 8;
  // no colour in the format: white).
  const auto ndc = [](float px) { return px / 8.0f - 1.0f; };
  device->SetRenderState(RenderState::Lighting, 0);
  ASSERT_EQ(Quad(ndc(8.25f), 1.0f - 12.25f / 8.0f, ndc(12.25f), 1.0f - 8.25f / 8.0f, 0.5f), kOk);
  for (int i = 0; i < 6; ++i) {
    const bool inside = i >= 1 && i <= 4;
    EXPECT_EQ(Pixel(i, 2), inside ? 0xFFFF0000u : 0xFF000000u) << "screen column " << i;
    EXPECT_EQ(Pixel(2, i), inside ? 0xFFFF0000u : 0xFF000000u) << "screen row " << i;
    EXPECT_EQ(Pixel(8 + i, 10), inside ? 0xFFFFFFFFu : 0xFF000000u) << "transformed column " << i;
    EXPECT_EQ(Pixel(10, 8 + i), inside ? 0xFFFFFFFFu : 0xFF000000u) << "transformed row " << i;
  }
  for (int i = -1; i < 5; ++i) {
    const bool inside = i >= 0 && i < 4;
    EXPECT_EQ(Pixel(10 + i, 1), inside ? 0xFF0000FFu : 0xFF000000u) << "edge column " << 10 + i;
    EXPECT_EQ(Pixel(11, i + 1), i + 1 < 4 ? 0xFF0000FFu : 0xFF000000u) << "edge row " << i + 1;
  }
}

TEST_F(GlDeviceTest, TexelsLandUnfilteredOnTheirPixelsTopRowFirst) {
  // Row 0 in memory is v = 0 and the top of the quad; drawn from -0.5 each
  // texel's centre meets a pixel centre, so even linear filtering gives it whole.
  std::vector<std::uint32_t> texels(16);
  for (std::uint32_t i = 0; i < 16; ++i) texels[i] = (i % 4 * 60 + 10) << 16 | (i / 4 * 60 + 10) << 8 | i;
  auto texture = Texture(4, 4, texels);
  device->SetTexture(0, texture.get());
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTexture);
  device->SetTextureStageState(0, Tss::MagFilter, d3d::kFilterLinear);
  device->SetTextureStageState(0, Tss::MinFilter, d3d::kFilterLinear);
  ASSERT_EQ(Rect(-0.5f, -0.5f, 3.5f, 3.5f, 0xFFFFFFFFu), kOk);
  // (A shade of the neighbour may come in: the vertices move a little under half a pixel.)
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_TRUE(Near(Pixel(x, y), 0xFF000000u | texels[static_cast<std::size_t>(y * 4 + x)]));
}

TEST_F(GlDeviceTest, WindingDepthRangeAndFlatShadeFollowDirect3D) {
  // Clockwise on the screen (y down) is the front: drawn under the default
  // CullMode CCW, culled under CW.
  const ScreenVertex cw[3] = {{0, 0, 0.5f, 1, 0xFF00FF00u, 0, 0}, {8, 0, 0.5f, 1, 0xFF0000FFu, 0, 0},
                              {0, 8, 0.5f, 1, 0xFFFF0000u, 0, 0}};
  device->SetRenderState(RenderState::ShadeMode, d3d::kShadeFlat);
  ASSERT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, cw, 3), kOk);
  // Flat shading takes the first vertex's colour across the face.
  EXPECT_EQ(Pixel(1, 5), 0xFF00FF00u);
  const ScreenVertex ccw[3] = {cw[0], cw[2], cw[1]};
  device->Clear(d3d::kClearTarget, 0xFF000000u, 1.0f, 0);
  device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, ccw, 3);
  EXPECT_EQ(Pixel(2, 2), 0xFF000000u) << "counter-clockwise is culled by default";
  device->SetRenderState(RenderState::CullMode, d3d::kCullCW);
  device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, cw, 3);
  EXPECT_EQ(Pixel(2, 2), 0xFF000000u) << "CW culls the clockwise face";
  device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, ccw, 3);
  EXPECT_EQ(Pixel(2, 2), 0xFF00FF00u);

  // Clip z runs from 0 to w: z = -0.25 lies in front of the near plane and
  // is clipped; the depth test keeps the nearer of two faces.
  device->SetRenderState(RenderState::Lighting, 0);
  device->SetRenderState(RenderState::CullMode, d3d::kCullNone);
  Quad(0, 0, 1, 1, -0.25f);
  EXPECT_EQ(Pixel(12, 4), 0xFF000000u) << "z below 0 is clipped";
  Rect(8, 0, 16, 8, 0xFF00FF00u, 0.25f);
  Quad(0, 0, 1, 1, 0.5f);  // white, behind the green at 0.25
  EXPECT_EQ(Pixel(12, 4), 0xFF00FF00u);
}

TEST_F(GlDeviceTest, ArgbOrderInClearsVerticesTexturesAndReadBack) {
  device->Clear(d3d::kClearTarget, 0x80123456u, 1.0f, 0);
  EXPECT_EQ(Pixel(0, 0), 0xFF123456u) << "read back with alpha 0xFF";
  Rect(0, 0, 4, 4, 0x00FF8040u);
  EXPECT_EQ(Pixel(1, 1), 0xFFFF8040u);
  // An opaque texture's alpha byte is no alpha: X8R8G8B8 reads alpha 1.
  auto texture = Texture(1, 1, {0x00112233u});
  device->SetTexture(0, texture.get());
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTexture);
  Blend(d3d::kBlendSrcAlpha, d3d::kBlendInvSrcAlpha);
  Rect(4, 0, 8, 4, 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(5, 1), 0xFF112233u);
  // The rectangle is clipped to the buffer, rows come top first.
  std::vector<std::uint32_t> argb;
  ASSERT_EQ(device->ReadBackBuffer({-2, -2, 6, 1}, argb), kOk);
  ASSERT_EQ(argb.size(), 6u);
  EXPECT_EQ(argb[0], 0xFFFF8040u);
  EXPECT_EQ(argb[5], 0xFF112233u);
  EXPECT_EQ(device->ReadBackBuffer({20, 20, 30, 30}, argb), kOk);
  EXPECT_TRUE(argb.empty());
}

TEST_F(GlDeviceTest, RenderTargetsReadBackTheRightWayUpAsTextures) {
  TextureRef target = loader.CreateSurfaceOfType(8, 8, SurfaceKind::Target);
  ASSERT_TRUE(target);
  ASSERT_EQ(device->SetRenderTarget(target.get()), kOk);
  device->SetViewport({0, 0, 8, 8, 0, 1});
  device->Clear(d3d::kClearTarget, 0xFF0000FFu, 1.0f, 0);
  EXPECT_EQ(device->Clear(d3d::kClearZBuffer, 0, 1.0f, 0), static_cast<HResult>(0x88760816u))
      << "kind 5 has no depth buffer";
  Rect(0, 0, 8, 4, 0xFFFF0000u);  // the target's top half
  EXPECT_EQ(Pixel(0, 0), 0xFF000000u) << "read-back stays on the back buffer";
  ASSERT_EQ(device->SetRenderTarget(nullptr), kOk);
  device->SetViewport({0, 0, kSide, kSide, 0, 1});
  device->SetTexture(0, target.get());
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTexture);
  Rect(-0.5f, -0.5f, 7.5f, 7.5f, 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(3, 1), 0xFFFF0000u);
  EXPECT_EQ(Pixel(3, 6), 0xFF0000FFu);
}

TEST_F(GlDeviceTest, LightsNormalsAndVertexColoursFollowDirect3D) {
  // Without NormalizeNormals a scaled normal stays long, but N.L counts at
  // most 1: half-grey material under a white light facing it stays half.
  DeviceMaterial grey;
  grey.diffuse = {0.5f, 0.5f, 0.5f, 1};
  device->SetMaterial(grey);
  device->SetLight(0, WhiteLight(d3d::kLightDirectional));
  device->LightEnable(0, true);
  device->SetRenderState(RenderState::NormalizeNormals, 0);
  Quad(-1, -1, 1, 1, 0.5f, {0, 0, -2});
  EXPECT_TRUE(Near(Pixel(8, 8), 0xFF808080u, 1));
  Quad(-1, -1, 1, 1, 0.5f, {0, 0, -0.5f});  // shorter than unit it still dims
  EXPECT_TRUE(Near(Pixel(8, 8), 0xFF404040u, 1));

  // The vertex colour is the diffuse source by default, over a black material.
  struct Coloured {
    float x, y, z, nx, ny, nz;
    std::uint32_t diffuse;
  };
  const std::uint32_t fvf = kLitFvf | d3d::kFvfDiffuse;
  const Coloured quad[4] = {{-1, 1, 0.5f, 0, 0, -1, 0xFF20C080u}, {1, 1, 0.5f, 0, 0, -1, 0xFF20C080u},
                            {-1, -1, 0.5f, 0, 0, -1, 0xFF20C080u}, {1, -1, 0.5f, 0, 0, -1, 0xFF20C080u}};
  device->SetMaterial({});
  device->DrawPrimitive(PrimitiveType::TriangleStrip, fvf, quad, 4);
  EXPECT_TRUE(Near(Pixel(8, 8), 0xFF20C080u, 1));
  device->SetRenderState(RenderState::ColorVertex, 0);
  device->DrawPrimitive(PrimitiveType::TriangleStrip, fvf, quad, 4);
  EXPECT_EQ(Pixel(8, 8), 0xFF000000u) << "ColorVertex off: the black material";
  device->SetRenderState(RenderState::Lighting, 0);
  device->DrawPrimitive(PrimitiveType::TriangleStrip, fvf, quad, 4);
  EXPECT_EQ(Pixel(8, 8), 0xFF20C080u) << "unlit: the vertex colour";
  device->SetRenderState(RenderState::Lighting, 1);

  // A quad at z = 0.5 facing the viewer, its corners at (+-1, +-1); the light
  // 2 in front of it. Each corner: d = sqrt(6), N.L = 2 / d.
  DeviceMaterial white;
  white.diffuse = {1, 1, 1, 1};
  device->SetMaterial(white);
  DeviceLight light = WhiteLight(d3d::kLightPoint);
  light.position = {0, 0, -1.5f};
  light.attenuation0 = 0.5f;
  light.attenuation1 = 0.25f;
  light.attenuation2 = 0.125f;
  device->LightEnable(0, true);
  const float d = std::sqrt(6.0f);
  const int expected = static_cast<int>(255.0f * (2.0f / d) / (0.5f + 0.25f * d + 0.125f * d * d));
  const auto draw = [&](float range) {
    light.range = range;
    device->SetLight(0, light);
    device->Clear(d3d::kClearTarget, 0xFF000000u, 1.0f, 0);
    Quad(-1, -1, 1, 1, 0.5f);
    return Pixel(8, 8);
  };
  EXPECT_TRUE(Near(draw(2.5f), 0xFF000000u | 0x010101u * static_cast<std::uint32_t>(expected), 2));
  EXPECT_EQ(draw(2.4f), 0xFF000000u) << "every corner lies beyond the range";
  // Directional: no attenuation whatever its factors say.
  light.type = d3d::kLightDirectional;
  EXPECT_TRUE(Near(draw(0.0f), 0xFFFFFFFFu, 1));
  // Ambient: the material's ambient times the render state's.
  device->LightEnable(0, false);
  white.ambient = {0.5f, 1, 1, 1};
  device->SetMaterial(white);
  device->SetRenderState(RenderState::Ambient, 0xFF80FF40u);
  EXPECT_TRUE(Near(draw(0.0f), 0xFF40FF40u, 1));
}

TEST_F(GlDeviceTest, StageOperationsArgumentsTheEndOfTheChainAndTheAlphaTest) {
  auto a = Texture(1, 1, {0x00804020u});
  auto b = Texture(1, 1, {0x0000FF00u});
  device->SetTexture(0, a.get());
  device->SetTexture(1, b.get());
  const auto draw = [&] {
    Rect(0, 0, 4, 4, 0xFF808080u);
    return Pixel(1, 1);
  };
  Stage(0, d3d::kTopModulate, d3d::kTaTexture, d3d::kTaDiffuse);
  EXPECT_TRUE(Near(draw(), 0xFF402010u, 1));
  Stage(0, d3d::kTopModulate2X, d3d::kTaTexture, d3d::kTaCurrent);  // current = diffuse at stage 0
  EXPECT_TRUE(Near(draw(), 0xFF804020u, 1));
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTexture | d3d::kTaComplement);
  EXPECT_TRUE(Near(draw(), 0xFF7FBFDFu, 1));
  device->SetRenderState(RenderState::TextureFactor, 0x40FF0000u);
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTFactor | d3d::kTaAlphaReplicate);
  EXPECT_TRUE(Near(draw(), 0xFF404040u, 1));
  // Stage 1 blends its texture over stage 0's by the factor's alpha (1/4).
  Stage(0, d3d::kTopSelectArg1, d3d::kTaTexture);
  Stage(1, d3d::kTopBlendFactorAlpha, d3d::kTaTexture, d3d::kTaCurrent);
  device->SetTextureStageState(1, Tss::AlphaOp, d3d::kTopSelectArg1);
  EXPECT_TRUE(Near(draw(), 0xFF607018u, 2));
  // A disabled stage ends the chain: stage 2 after it changes nothing.
  Stage(1, d3d::kTopDisable, d3d::kTaTexture);
  Stage(2, d3d::kTopSelectArg1, d3d::kTaTFactor);
  EXPECT_TRUE(Near(draw(), 0xFF804020u, 1));
  // A stage without a texture that reads one passes current through.
  device->SetTexture(0, nullptr);
  Stage(0, d3d::kTopModulate, d3d::kTaTexture, d3d::kTaDiffuse);
  EXPECT_TRUE(Near(draw(), 0xFF808080u, 1));

  // The alpha test compares the byte with the reference.
  device->SetRenderState(RenderState::AlphaTestEnable, 1);
  device->SetRenderState(RenderState::AlphaFunc, d3d::kCmpGreater);
  device->SetRenderState(RenderState::AlphaRef, 0x80);
  Stage(0, d3d::kTopSelectArg1, d3d::kTaDiffuse);
  device->SetTextureStageState(0, Tss::AlphaArg1, d3d::kTaDiffuse);
  Rect(4, 0, 8, 4, 0x80FF0000u);
  Rect(8, 0, 12, 4, 0x81FF0000u);
  EXPECT_EQ(Pixel(5, 1), 0xFF000000u) << "alpha 0x80 is not greater than 0x80";
  EXPECT_EQ(Pixel(9, 1), 0xFFFF0000u);
}

TEST_F(GlDeviceTest, VertexBuffersFollowTheirWritesAndIndexFromTheirStart) {
  auto buffer = device->CreateVertexBuffer(kScreenFvf, 8, d3d::kVbCapsSystemMemory);
  ASSERT_TRUE(buffer);
  const auto fill = [&](std::uint32_t argb) {  // two quads, the second 8 pixels to the right
    auto* v = static_cast<ScreenVertex*>(buffer->Lock(d3d::kLockWriteOnly));
    ASSERT_NE(v, nullptr);
    for (int i = 0; i < 8; ++i) v[i] = {float(i % 2 * 4 + i / 4 * 8), float(i / 2 % 2 * 4), 0.5f, 1, argb, 0, 0};
    EXPECT_EQ(device->DrawPrimitiveVB(PrimitiveType::TriangleStrip, *buffer, 0, 4),
              static_cast<HResult>(0x8876080Eu)) << "locked";
    buffer->Unlock();
  };
  Stage(0, d3d::kTopSelectArg1, d3d::kTaDiffuse);
  fill(0xFFFF0000u);
  const std::uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
  ASSERT_EQ(device->DrawIndexedPrimitiveVB(PrimitiveType::TriangleList, *buffer, 4, 4, indices, 6), kOk);
  EXPECT_EQ(Pixel(10, 1), 0xFFFF0000u);
  EXPECT_EQ(Pixel(1, 1), 0xFF000000u) << "indices count from the start vertex";
  fill(0xFF00FF00u);
  ASSERT_EQ(device->DrawPrimitiveVB(PrimitiveType::TriangleStrip, *buffer, 0, 4), kOk);
  EXPECT_EQ(Pixel(1, 1), 0xFF00FF00u) << "the rewritten vertices are drawn";
  const std::uint16_t beyond[3] = {0, 1, 4};
  EXPECT_EQ(device->DrawIndexedPrimitiveVB(PrimitiveType::TriangleList, *buffer, 4, 4, beyond, 3), kInvalidArgument);
  EXPECT_EQ(device->DrawIndexedPrimitiveVB(PrimitiveType::TriangleList, *buffer, 6, 4, indices, 3), kInvalidArgument);
}

TEST_F(GlDeviceTest, PicturesDecodedAheadMakeTheTexturesDecodedOnTheSpotDo) {
  const std::vector<std::uint8_t> wide = testing::DcPicture(32, 16), square = testing::DcPicture(16, 16);
  GlTextureLoader ahead;
  ahead.ExpectPictures({wide, square});
  // The wider picture first in every kind: the next one's texels go where its were.
  std::vector<std::pair<TextureRef, TextureRef>> pairs;
  for (std::uint32_t kind = 0; kind <= 4; ++kind)
    for (const auto* picture : {&wide, &square})
      pairs.emplace_back(ahead.createTextureFromJpeg(*picture, kind, 1), loader.createTextureFromJpeg(*picture, kind, 1));
  ahead.ExpectPictures({});
  const auto drawn = [&](const TextureRef& texture, std::uint32_t argument) {
    device->SetTexture(0, texture.get());
    Stage(0, d3d::kTopSelectArg1, argument);
    Rect(-0.5f, -0.5f, 15.5f, 15.5f, 0xFFFFFFFFu);
    std::vector<std::uint32_t> argb;
    EXPECT_EQ(device->ReadBackBuffer({0, 0, 16, 16}, argb), kOk);
    return argb;
  };
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(pairs[i].first && pairs[i].second);
    const std::uint32_t kind = static_cast<std::uint32_t>(i / 2);
    // Kind 1 holds its picture in alpha alone.
    const std::uint32_t argument = d3d::kTaTexture | (kind == 1 ? d3d::kTaAlphaReplicate : 0u);
    const std::vector<std::uint32_t> got = drawn(pairs[i].first, argument);
    EXPECT_EQ(got, drawn(pairs[i].second, argument));
    EXPECT_GE(std::set<std::uint32_t>(got.begin(), got.end()).size(), 3u) << "the picture, not one colour";
  }
}

TEST_F(GlDeviceTest, BadCallsFailWithoutDrawing) {
  const ScreenVertex v[3] = {};
  EXPECT_EQ(device->BeginScene(), static_cast<HResult>(0x887602F8u)) << "already in a scene";
  EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, 0x1002, v, 3), static_cast<HResult>(0x887602E1u))
      << "unknown vertex format bits";
  EXPECT_EQ(device->DrawPrimitive(static_cast<PrimitiveType>(9), kScreenFvf, v, 3), static_cast<HResult>(0x887602E0u));
  const std::uint16_t indices[3] = {0, 1, 3};
  EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, kScreenFvf, v, 3, indices, 3), kInvalidArgument);
  EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, nullptr, 3), kInvalidArgument);
  EXPECT_EQ(device->SetTextureStageState(8, Tss::ColorOp, d3d::kTopDisable), kInvalidArgument);
  class Foreign : public Surface {} foreign;
  EXPECT_EQ(device->SetTexture(0, &foreign), kInvalidArgument);
  EXPECT_EQ(device->SetRenderTarget(&foreign), kInvalidArgument);
  TextureRef plain = loader.CreateSurfaceOfType(4, 4, SurfaceKind::Opaque);
  EXPECT_EQ(device->SetRenderTarget(plain.get()), kInvalidArgument) << "a plain texture is no target";
  EXPECT_EQ(device->SetViewport({0, 0, 0, 8, 0, 1}), kInvalidArgument);
  const std::uint8_t garbage[] = {0xFF, 0xD8, 0x00, 0x01};
  EXPECT_FALSE(loader.createTextureFromJpeg(garbage, 0, 0) || loader.createTextureFromJpeg(testing::DcPicture(8, 8), 5, 0));
  ASSERT_EQ(device->EndScene(), kOk);
  EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, kScreenFvf, v, 3), static_cast<HResult>(0x887602F9u))
      << "outside a scene";
  EXPECT_EQ(device->EndScene(), static_cast<HResult>(0x887602F9u));
  device->BeginScene();
}

}  // namespace
}  // namespace brisane
