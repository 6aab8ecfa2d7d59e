// The fixed-function 3D device as the renderer and the effects see it. The
// numbers of every enumeration are Direct3D 7's own, so the Windows backend
// passes them through unchanged and tests can compare against the same values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace brisane {

// Results follow the platform's convention: negative is failure.
using HResult = std::int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kSurfaceLost = static_cast<HResult>(0x887601C2u);       // DDERR_SURFACELOST
inline constexpr HResult kWrongMode = static_cast<HResult>(0x8876024Bu);         // DDERR_WRONGMODE
inline constexpr HResult kNoExclusiveMode = static_cast<HResult>(0x887600E1u);   // DDERR_NOEXCLUSIVEMODE
inline constexpr HResult kInvalidArgument = static_cast<HResult>(0x80070057u);   // E_INVALIDARG
inline constexpr bool Failed(HResult r) { return r < 0; }

enum class TransformState : std::uint32_t {
  World = 1,
  View = 2,
  Projection = 3,
  Texture0 = 16,
  Texture1 = 17,
  Texture2 = 18,
  Texture3 = 19,
};

enum class RenderState : std::uint32_t {
  TexturePerspective = 4,
  ZEnable = 7,
  FillMode = 8,
  ShadeMode = 9,
  ZWriteEnable = 14,
  AlphaTestEnable = 15,
  LastPixel = 16,
  SrcBlend = 19,
  DestBlend = 20,
  CullMode = 22,
  ZFunc = 23,
  AlphaRef = 24,
  AlphaFunc = 25,
  DitherEnable = 26,
  AlphaBlendEnable = 27,
  FogEnable = 28,
  SpecularEnable = 29,
  StippledAlpha = 33,
  FogColor = 34,
  FogTableMode = 35,
  FogStart = 36,
  FogEnd = 37,
  FogDensity = 38,
  ColorKeyEnable = 41,
  ZBias = 47,
  RangeFogEnable = 48,
  StencilEnable = 52,
  TextureFactor = 60,
  Wrap0 = 128,
  Clipping = 136,
  Lighting = 137,
  Extents = 138,
  Ambient = 139,
  FogVertexMode = 140,
  ColorVertex = 141,
  LocalViewer = 142,
  NormalizeNormals = 143,
  ColorKeyBlendEnable = 144,
  DiffuseMaterialSource = 145,
  SpecularMaterialSource = 146,
  AmbientMaterialSource = 147,
  EmissiveMaterialSource = 148,
  VertexBlend = 151,
  ClipPlaneEnable = 152,
};

enum class TextureStageState : std::uint32_t {
  ColorOp = 1,
  ColorArg1 = 2,
  ColorArg2 = 3,
  AlphaOp = 4,
  AlphaArg1 = 5,
  AlphaArg2 = 6,
  TexCoordIndex = 11,
  AddressU = 13,
  AddressV = 14,
  BorderColor = 15,
  MagFilter = 16,
  MinFilter = 17,
  MipFilter = 18,
  MipMapLodBias = 19,
  MaxMipLevel = 20,
  MaxAnisotropy = 21,
  TextureTransformFlags = 24,
};

// Values of the states above (D3DTOP_*, D3DTA_*, D3DBLEND_*, ...).
namespace d3d {
inline constexpr std::uint32_t kTopDisable = 1, kTopSelectArg1 = 2, kTopSelectArg2 = 3, kTopModulate = 4,
                               kTopModulate2X = 5, kTopModulate4X = 6, kTopAdd = 7, kTopAddSigned = 8,
                               kTopBlendDiffuseAlpha = 12, kTopBlendTextureAlpha = 13, kTopBlendFactorAlpha = 14,
                               kTopBlendCurrentAlpha = 16;
inline constexpr std::uint32_t kTaDiffuse = 0, kTaCurrent = 1, kTaTexture = 2, kTaTFactor = 3, kTaSpecular = 4,
                               kTaComplement = 0x10, kTaAlphaReplicate = 0x20;
inline constexpr std::uint32_t kBlendZero = 1, kBlendOne = 2, kBlendSrcColor = 3, kBlendInvSrcColor = 4,
                               kBlendSrcAlpha = 5, kBlendInvSrcAlpha = 6, kBlendDestAlpha = 7,
                               kBlendInvDestAlpha = 8, kBlendDestColor = 9, kBlendInvDestColor = 10;
inline constexpr std::uint32_t kCmpNever = 1, kCmpLess = 2, kCmpEqual = 3, kCmpLessEqual = 4, kCmpGreater = 5,
                               kCmpNotEqual = 6, kCmpGreaterEqual = 7, kCmpAlways = 8;
inline constexpr std::uint32_t kCullNone = 1, kCullCW = 2, kCullCCW = 3;
inline constexpr std::uint32_t kZbFalse = 0, kZbTrue = 1;
inline constexpr std::uint32_t kShadeFlat = 1, kShadeGouraud = 2;
inline constexpr std::uint32_t kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3;
inline constexpr std::uint32_t kAddressWrap = 1, kAddressMirror = 2, kAddressClamp = 3, kAddressBorder = 4;
inline constexpr std::uint32_t kFilterPoint = 1, kFilterLinear = 2;       // D3DTFG_/D3DTFN_
inline constexpr std::uint32_t kMinFilterAnisotropic = 3, kMagFilterAnisotropic = 5;
inline constexpr std::uint32_t kMipNone = 1, kMipPoint = 2, kMipLinear = 3;  // D3DTFP_
inline constexpr std::uint32_t kTciPassThru = 0, kTciCameraSpaceNormal = 0x10000,
                               kTciCameraSpacePosition = 0x20000, kTciCameraSpaceReflectionVector = 0x30000;
inline constexpr std::uint32_t kTtffDisable = 0, kTtffCount1 = 1, kTtffCount2 = 2, kTtffCount3 = 3,
                               kTtffCount4 = 4, kTtffProjected = 256;
inline constexpr std::uint32_t kMcsMaterial = 0, kMcsColor1 = 1, kMcsColor2 = 2;
inline constexpr std::uint32_t kClearTarget = 1, kClearZBuffer = 2, kClearStencil = 4;
inline constexpr std::uint32_t kFvfXyz = 0x002, kFvfXyzRhw = 0x004, kFvfNormal = 0x010, kFvfDiffuse = 0x040,
                               kFvfSpecular = 0x080, kFvfTex1 = 0x100, kFvfTex2 = 0x200, kFvfTex3 = 0x300,
                               kFvfTexCountMask = 0xf00, kFvfTexCountShift = 8;
inline constexpr std::uint32_t kLightPoint = 1, kLightSpot = 2, kLightDirectional = 3;
inline constexpr std::uint32_t kDpWait = 0x1;  // D3DDP_WAIT
// Vertex buffer creation (D3DVBCAPS_*) and lock (DDLOCK_*) flags.
inline constexpr std::uint32_t kVbCapsDoNotClip = 0x1, kVbCapsSystemMemory = 0x800, kVbCapsWriteOnly = 0x10000;
inline constexpr std::uint32_t kLockWait = 0x1, kLockReadOnly = 0x10, kLockWriteOnly = 0x20, kLockNoSysLock = 0x800;
}  // namespace d3d

enum class PrimitiveType : std::uint32_t {
  PointList = 1,
  LineList = 2,
  LineStrip = 3,
  TriangleList = 4,
  TriangleStrip = 5,
  TriangleFan = 6,
};

// Bytes of one vertex of a flexible vertex format (positions, normal,
// colours and two-float texture coordinates, which is all the program uses).
std::uint32_t VertexSize(std::uint32_t fvf);

// Layout-compatible with D3DMATRIX: row-major, row vectors.
struct DeviceMatrix {
  float m[4][4] = {};
  static DeviceMatrix Identity() {
    DeviceMatrix r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
  }
  bool operator==(const DeviceMatrix&) const = default;
};

// Row-vector convention, as the device composes transforms: a then b.
inline DeviceMatrix Multiply(const DeviceMatrix& a, const DeviceMatrix& b) {
  DeviceMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  return r;
}

struct DeviceColor {  // D3DCOLORVALUE
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const DeviceColor&) const = default;
};

struct DeviceVector {  // D3DVECTOR
  float x = 0, y = 0, z = 0;
  bool operator==(const DeviceVector&) const = default;
};

struct DeviceMaterial {  // D3DMATERIAL7
  DeviceColor diffuse, ambient, specular, emissive;
  float power = 0;
  bool operator==(const DeviceMaterial&) const = default;
};

struct DeviceLight {  // D3DLIGHT7
  std::uint32_t type = d3d::kLightPoint;
  DeviceColor diffuse, specular, ambient;
  DeviceVector position, direction;
  float range = 0, falloff = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0, theta = 0, phi = 0;
  bool operator==(const DeviceLight&) const = default;
};

struct DeviceViewport {  // D3DVIEWPORT7
  std::uint32_t x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
  bool operator==(const DeviceViewport&) const = default;
};

struct PixelRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A surface the device can draw with or render into. The texture code makes
// them; the platform's surfaces derive from this.
class Surface {
 public:
  virtual ~Surface() = default;
};

// Vertices kept by the device (D3D vertex buffers).
class VertexBuffer {
 public:
  virtual ~VertexBuffer() = default;
  virtual std::uint32_t Fvf() const = 0;
  virtual std::uint32_t Count() const = 0;
  // flags: d3d::kLock*. Null on failure; the pointer is valid until Unlock.
  virtual void* Lock(std::uint32_t flags) = 0;
  virtual void Unlock() = 0;
};

class Device {
 public:
  virtual ~Device() = default;

  virtual HResult SetTransform(TransformState state, const DeviceMatrix& matrix) = 0;
  virtual HResult GetTransform(TransformState state, DeviceMatrix& matrix) = 0;
  virtual HResult SetRenderState(RenderState state, std::uint32_t value) = 0;
  virtual HResult GetRenderState(RenderState state, std::uint32_t& value) = 0;
  virtual HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) = 0;
  virtual HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) = 0;
  // Null unbinds the stage.
  virtual HResult SetTexture(std::uint32_t stage, Surface* texture) = 0;
  virtual HResult SetMaterial(const DeviceMaterial& material) = 0;
  virtual HResult GetMaterial(DeviceMaterial& material) = 0;
  virtual HResult SetLight(std::uint32_t index, const DeviceLight& light) = 0;
  virtual HResult LightEnable(std::uint32_t index, bool enable) = 0;
  virtual HResult GetLightEnable(std::uint32_t index, bool& enabled) = 0;
  virtual HResult SetViewport(const DeviceViewport& viewport) = 0;
  virtual HResult GetViewport(DeviceViewport& viewport) = 0;
  // Null goes back to the display's own render target (the back buffer).
  virtual HResult SetRenderTarget(Surface* target) = 0;

  // The whole render target; flags are d3d::kClear*.
  virtual HResult Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t stencil) = 0;
  virtual HResult BeginScene() = 0;
  virtual HResult EndScene() = 0;

  virtual HResult DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                std::uint32_t vertexCount) = 0;
  virtual HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                       std::uint32_t vertexCount, const std::uint16_t* indices,
                                       std::uint32_t indexCount) = 0;
  // caps: d3d::kVbCaps* (system memory for buffers the program rewrites and
  // reads back every frame). Null on failure.
  virtual std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                           std::uint32_t caps) = 0;
  virtual HResult DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                  std::uint32_t count) = 0;
  virtual HResult DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                         std::uint32_t count, const std::uint16_t* indices,
                                         std::uint32_t indexCount) = 0;

  // Pixels of the back buffer as 0xAARRGGBB (alpha 0xFF), row by row; the
  // rectangle is clipped to the buffer. Fails between BeginScene and EndScene
  // on some drivers, so callers read after the scene or tolerate failure.
  virtual HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) = 0;
};

// What a device starts with, for the states that are saved and put back.
inline std::uint32_t DefaultRenderState(RenderState state) {
  switch (state) {
    case RenderState::ZEnable: return d3d::kZbTrue;
    case RenderState::ZWriteEnable: return 1;
    case RenderState::SrcBlend: return d3d::kBlendOne;
    case RenderState::DestBlend: return d3d::kBlendZero;
    case RenderState::CullMode: return d3d::kCullCCW;
    default: return 0;
  }
}

// What a device starts with in each texture stage: stage 0 modulates the
// texture with the diffuse colour, the others are off; coordinates from the
// set of the stage's own number.
inline std::uint32_t DefaultTextureStageState(std::uint32_t stage, TextureStageState state) {
  switch (state) {
    case TextureStageState::ColorOp: return stage == 0 ? d3d::kTopModulate : d3d::kTopDisable;
    case TextureStageState::AlphaOp: return stage == 0 ? d3d::kTopSelectArg1 : d3d::kTopDisable;
    case TextureStageState::ColorArg1:
    case TextureStageState::AlphaArg1: return d3d::kTaTexture;
    case TextureStageState::ColorArg2:
    case TextureStageState::AlphaArg2: return d3d::kTaCurrent;
    case TextureStageState::TexCoordIndex: return stage;
    case TextureStageState::AddressU:
    case TextureStageState::AddressV: return d3d::kAddressWrap;
    case TextureStageState::MagFilter:
    case TextureStageState::MinFilter: return d3d::kFilterPoint;
    case TextureStageState::MipFilter: return d3d::kMipNone;
    case TextureStageState::MaxAnisotropy: return 1;
    default: return 0;
  }
}

// Saves render states on construction and puts them back, last first, on
// destruction. A state the device cannot report comes back as its default:
// zero is no valid blend or culling.
class SavedRenderStates {
 public:
  template <typename... States>
  SavedRenderStates(Device& device, States... states) : device_(device), count_(sizeof...(States)) {
    static_assert(sizeof...(States) <= 8, "room for eight states");
    std::size_t i = 0;
    ((saved_[i++] = Read(device, states)), ...);
  }
  ~SavedRenderStates() {
    for (std::size_t i = count_; i-- > 0;) device_.SetRenderState(saved_[i].state, saved_[i].value);
  }
  SavedRenderStates(const SavedRenderStates&) = delete;
  SavedRenderStates& operator=(const SavedRenderStates&) = delete;

 private:
  struct Saved {
    RenderState state{};
    std::uint32_t value = 0;
  };
  static Saved Read(Device& device, RenderState state) {
    Saved saved{state, DefaultRenderState(state)};
    if (Failed(device.GetRenderState(state, saved.value))) saved.value = DefaultRenderState(state);
    return saved;
  }
  Device& device_;
  std::array<Saved, 8> saved_{};
  std::size_t count_;
};

}  // namespace brisane
