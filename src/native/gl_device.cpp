#include "native/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "native/gl_shader.h"
#include "native/gl_surface.h"

namespace brisane {

namespace {

// Direct3D's own failure codes where the program may meet them.
constexpr HResult kInvalidPrimitiveType = static_cast<HResult>(0x887602E0u);  // D3DERR_INVALIDPRIMITIVETYPE
constexpr HResult kInvalidVertexType = static_cast<HResult>(0x887602E1u);     // D3DERR_INVALIDVERTEXTYPE
constexpr HResult kSceneInScene = static_cast<HResult>(0x887602F8u);          // D3DERR_SCENE_IN_SCENE
constexpr HResult kSceneNotInScene = static_cast<HResult>(0x887602F9u);       // D3DERR_SCENE_NOT_IN_SCENE
constexpr HResult kVertexBufferLocked = static_cast<HResult>(0x8876080Eu);    // D3DERR_VERTEXBUFFERLOCKED
constexpr HResult kZBufferNotPresent = static_cast<HResult>(0x88760816u);     // D3DERR_ZBUFFER_NOTPRESENT

constexpr std::uint32_t kRenderStates = 256;
constexpr std::uint32_t kStageStates = 32;
constexpr std::uint32_t kStageSlots = 8;  // stages the device takes states for
constexpr std::uint32_t kTransforms = 11;  // world, view, projection, texture 0..7
constexpr std::uint32_t kAddress = 12;     // D3DTSS_ADDRESS: both directions at once

// Where each part of a vertex lies, from its flexible vertex format.
struct Layout {
  bool valid = false;
  bool rhw = false;
  std::uint32_t stride = 0, normal = 0, diffuse = 0, specular = 0, tex = 0, texCount = 0;
  bool hasNormal = false, hasDiffuse = false, hasSpecular = false;
};

Layout LayoutOf(std::uint32_t fvf) {
  constexpr std::uint32_t known = 0x00E | d3d::kFvfNormal | d3d::kFvfDiffuse | d3d::kFvfSpecular | d3d::kFvfTexCountMask;
  Layout l;
  const std::uint32_t position = fvf & 0x00E;
  // Positions with blend weights, unknown bits and coordinate sets of
  // other than two floats are nothing the program draws.
  if ((fvf & ~known) != 0 || (position != d3d::kFvfXyz && position != d3d::kFvfXyzRhw)) return l;
  l.rhw = position == d3d::kFvfXyzRhw;
  std::uint32_t at = l.rhw ? 16 : 12;
  l.hasNormal = (fvf & d3d::kFvfNormal) != 0;
  l.normal = at;
  if (l.hasNormal) at += 12;
  l.hasDiffuse = (fvf & d3d::kFvfDiffuse) != 0;
  l.diffuse = at;
  if (l.hasDiffuse) at += 4;
  l.hasSpecular = (fvf & d3d::kFvfSpecular) != 0;
  l.specular = at;
  if (l.hasSpecular) at += 4;
  l.tex = at;
  l.texCount = (fvf & d3d::kFvfTexCountMask) >> d3d::kFvfTexCountShift;
  if (l.texCount > 8) return l;
  at += 8 * l.texCount;
  l.stride = at;
  l.valid = at == VertexSize(fvf);
  return l;
}

GLenum PrimitiveMode(PrimitiveType type, bool& ok) {
  ok = true;
  switch (type) {
    case PrimitiveType::PointList: return GL_POINTS;
    case PrimitiveType::LineList: return GL_LINES;
    case PrimitiveType::LineStrip: return GL_LINE_STRIP;
    case PrimitiveType::TriangleList: return GL_TRIANGLES;
    case PrimitiveType::TriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::TriangleFan: return GL_TRIANGLE_FAN;
  }
  ok = false;
  return GL_POINTS;
}

GLenum Compare(std::uint32_t func) {
  switch (func) {
    case d3d::kCmpNever: return GL_NEVER;
    case d3d::kCmpLess: return GL_LESS;
    case d3d::kCmpEqual: return GL_EQUAL;
    case d3d::kCmpLessEqual: return GL_LEQUAL;
    case d3d::kCmpGreater: return GL_GREATER;
    case d3d::kCmpNotEqual: return GL_NOTEQUAL;
    case d3d::kCmpGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendFactor(std::uint32_t blend, GLenum fallback) {
  switch (blend) {
    case d3d::kBlendZero: return GL_ZERO;
    case d3d::kBlendOne: return GL_ONE;
    case d3d::kBlendSrcColor: return GL_SRC_COLOR;
    case d3d::kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case d3d::kBlendSrcAlpha: return GL_SRC_ALPHA;
    case d3d::kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case d3d::kBlendDestAlpha: return GL_DST_ALPHA;
    case d3d::kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case d3d::kBlendDestColor: return GL_DST_COLOR;
    case d3d::kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
    case 11: return GL_SRC_ALPHA_SATURATE;
    default: return fallback;
  }
}

GLint Address(std::uint32_t mode) {
  switch (mode) {
    case d3d::kAddressMirror: return GL_MIRRORED_REPEAT;
    case d3d::kAddressClamp: return GL_CLAMP_TO_EDGE;
    case d3d::kAddressBorder: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
  }
}

gl::Vec4 Colour(std::uint32_t argb) {
  return {static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
          static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f};
}
gl::Vec4 Colour(const DeviceColor& c) { return {c.r, c.g, c.b, c.a}; }

gl::Mat4 ToShader(const DeviceMatrix& m) {
  gl::Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[i][j];
  return r;
}

// For row vectors, normals go through the inverse transpose of the upper
// 3 x 3; zero when it cannot be inverted (no diffuse light then).
gl::Mat4 NormalMatrix(const DeviceMatrix& a) {
  const auto& m = a.m;
  const float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1], c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2],
              c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  const float det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  gl::Mat4 r;
  if (!(std::fabs(det) > 0.0f) || !std::isfinite(det)) return r;
  const float inv = 1.0f / det;
  // The inverse's transpose is the cofactor matrix over the determinant.
  r.m[0][0] = c00 * inv;
  r.m[0][1] = c01 * inv;
  r.m[0][2] = c02 * inv;
  r.m[1][0] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * inv;
  r.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * inv;
  r.m[1][2] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * inv;
  r.m[2][0] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * inv;
  r.m[2][1] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * inv;
  r.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * inv;
  r.m[3][3] = 1.0f;
  return r;
}

DeviceVector Transform(const DeviceVector& v, float w, const DeviceMatrix& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + w * m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + w * m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + w * m.m[3][2]};
}

float Length(const DeviceVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

GLuint Link(const gl::ShaderKey& key, std::string& error) {
  const GLuint program = gl::LinkProgram(gl::VertexShaderSource(key), gl::FragmentShaderSource(key), error);
  if (!program) return 0;
  const GLuint block = glGetUniformBlockIndex(program, gl::kStateBlockName);
  if (block != GL_INVALID_INDEX) glUniformBlockBinding(program, block, gl::kStateBinding);
  glUseProgram(program);
  const char* samplers[gl::kStages] = {"uTexture0", "uTexture1", "uTexture2", "uTexture3"};
  for (GLint s = 0; s < gl::kStages; ++s) glUniform1i(glGetUniformLocation(program, samplers[s]), s);
  glUseProgram(0);
  return program;
}

// Attribute pointers of a vertex format into the buffer bound to
// GL_ARRAY_BUFFER; the index buffer is the device's streaming one.
void PointAttributes(const Layout& l, GLuint indexBuffer) {
  const auto stride = static_cast<GLsizei>(l.stride);
  const auto at = [](std::uint32_t offset) { return reinterpret_cast<const void*>(std::uintptr_t{offset}); };
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, l.rhw ? 4 : 3, GL_FLOAT, GL_FALSE, stride, at(0));
  const auto optional = [&](GLuint index, bool present, GLint size, GLenum type, GLboolean normalised,
                            std::uint32_t offset) {
    if (!present) return glDisableVertexAttribArray(index);
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, type, normalised, stride, at(offset));
  };
  optional(1, l.hasNormal, 3, GL_FLOAT, GL_FALSE, l.normal);
  // GL_BGRA reads an ARGB dword's bytes as red, green, blue, alpha.
  optional(2, l.hasDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, l.diffuse);
  optional(3, l.hasSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, l.specular);
  for (std::uint32_t set = 0; set < static_cast<std::uint32_t>(gl::kStages); ++set)
    optional(4 + set, set < l.texCount, 2, GL_FLOAT, GL_FALSE, l.tex + 8 * set);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
}

class GlVertexBuffer final : public VertexBuffer {
 public:
  GlVertexBuffer(std::uint32_t fvf, std::uint32_t count, const Layout& layout)
      : fvf_(fvf), count_(count), layout_(layout), data_(std::size_t{count} * layout.stride) {}
  ~GlVertexBuffer() override {
    if (vao_) glDeleteVertexArrays(1, &vao_);
    if (buffer_) glDeleteBuffers(1, &buffer_);
  }
  GlVertexBuffer(const GlVertexBuffer&) = delete;
  GlVertexBuffer& operator=(const GlVertexBuffer&) = delete;

  std::uint32_t Fvf() const override { return fvf_; }
  std::uint32_t Count() const override { return count_; }
  void* Lock(std::uint32_t flags) override {
    if (locked_) return nullptr;
    locked_ = true;
    if (!(flags & d3d::kLockReadOnly)) dirty_ = true;
    return data_.data();
  }
  void Unlock() override { locked_ = false; }

  bool locked() const { return locked_; }
  const Layout& layout() const { return layout_; }
  // Binds its vertex array, made on first use; the GL copy follows the
  // memory only when it was written since the last draw.
  void Bind(GLuint indexBuffer) {
    if (!vao_) {
      glGenVertexArrays(1, &vao_);
      glGenBuffers(1, &buffer_);
      glBindVertexArray(vao_);
      glBindBuffer(GL_ARRAY_BUFFER, buffer_);
      PointAttributes(layout_, indexBuffer);
    }
    glBindVertexArray(vao_);
    if (dirty_) {
      glBindBuffer(GL_ARRAY_BUFFER, buffer_);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.data(), GL_DYNAMIC_DRAW);
      dirty_ = false;
    }
  }

 private:
  std::uint32_t fvf_, count_;
  Layout layout_;
  std::vector<std::uint8_t> data_;
  GLuint buffer_ = 0, vao_ = 0;
  bool dirty_ = true, locked_ = false;
};

struct LightSlot {
  DeviceLight light;
  bool enabled = false;
};

struct Stage {
  std::array<std::uint32_t, kStageStates> states{};
  std::shared_ptr<GlSurface> texture;
  GLuint sampler = 0;
  bool samplerDirty = true;
};

std::uint32_t DefaultStageState(std::uint32_t stage, std::uint32_t state) {
  return state == kAddress ? d3d::kAddressWrap : DefaultTextureStageState(stage, static_cast<TextureStageState>(state));
}

// Direct3D 7's render state defaults where they are not zero.
std::uint32_t DefaultState(std::uint32_t state) {
  switch (static_cast<RenderState>(state)) {
    case RenderState::TexturePerspective:
    case RenderState::LastPixel:
    case RenderState::Clipping:
    case RenderState::Lighting:
    case RenderState::ColorVertex:
    case RenderState::LocalViewer: return 1;
    case RenderState::FillMode: return d3d::kFillSolid;
    case RenderState::ShadeMode: return d3d::kShadeGouraud;
    case RenderState::ZFunc: return d3d::kCmpLessEqual;
    case RenderState::AlphaFunc: return d3d::kCmpAlways;
    case RenderState::TextureFactor: return 0xFFFFFFFFu;
    case RenderState::DiffuseMaterialSource: return d3d::kMcsColor1;
    case RenderState::SpecularMaterialSource: return d3d::kMcsColor2;
    default: return DefaultRenderState(static_cast<RenderState>(state));
  }
}

// Render states that become fixed GL state rather than shader input.
bool IsPipelineState(RenderState s) {
  switch (s) {
    case RenderState::ZEnable:
    case RenderState::FillMode:
    case RenderState::ShadeMode:
    case RenderState::ZWriteEnable:
    case RenderState::SrcBlend:
    case RenderState::DestBlend:
    case RenderState::CullMode:
    case RenderState::ZFunc:
    case RenderState::AlphaBlendEnable: return true;
    default: return false;
  }
}

int TransformSlot(TransformState state) {
  const auto v = static_cast<std::uint32_t>(state);
  if (v >= 1 && v <= 3) return static_cast<int>(v - 1);
  if (v >= 16 && v < 24) return static_cast<int>(v - 16 + 3);
  return -1;
}

}  // namespace

struct GlDevice::State {
  std::string failure;
  // One program per combination of control-flow states, made when first drawn with.
  std::map<gl::ShaderKey, GLuint> programs;
  GLuint program = 0;  // in use; 0 after other GL code ran
  GLuint uniformBuffer = 0, streamVertices = 0, streamIndices = 0;
  std::map<std::uint32_t, GLuint> streamArrays;  // one vertex array per format
  float maxAnisotropy = 1.0f;

  std::array<std::uint32_t, kRenderStates> renderStates{};
  std::array<Stage, kStageSlots> stages;
  std::array<DeviceMatrix, kTransforms> transforms;
  DeviceMaterial material;
  std::map<std::uint32_t, LightSlot> lights;
  DeviceViewport viewport;

  GLuint backBuffer = 0;
  std::uint32_t backWidth = 0, backHeight = 0;
  bool backHasDepth = false;
  std::shared_ptr<GlSurface> target;  // null: the back buffer

  bool inScene = false;
  // What must reach GL before the next draw.
  bool blockDirty = true, pipelineDirty = true, bindingsDirty = true, targetDirty = true;
  std::uint32_t lastFvf = 0xFFFFFFFFu;
  gl::ShaderState block;

  GLuint targetFramebuffer() const { return target ? target->framebuffer() : backBuffer; }
  bool targetHasDepth() const { return target ? target->hasDepth() : backHasDepth; }
  std::uint32_t rs(RenderState s) const { return renderStates[static_cast<std::uint32_t>(s)]; }
  std::uint32_t ts(std::uint32_t stage, TextureStageState s) const {
    return stages[stage].states[static_cast<std::uint32_t>(s)];
  }

  void BuildBlock(const Layout& layout);
  void ApplyPipeline();
  GLuint ProgramFor(const gl::ShaderKey& key);
  void ApplySampler(std::uint32_t stage);
  void BindTarget();
  HResult Prepare(const Layout& layout);
};

void GlDevice::State::BuildBlock(const Layout& l) {
  gl::ShaderState& b = block;
  const DeviceMatrix& world = transforms[0];
  const DeviceMatrix& view = transforms[1];
  const DeviceMatrix worldView = Multiply(world, view);
  b.worldView = ToShader(worldView);
  b.projection = ToShader(transforms[2]);
  b.normalMatrix = NormalMatrix(worldView);
  for (int s = 0; s < gl::kStages; ++s) b.textureMatrix[s] = ToShader(transforms[static_cast<std::size_t>(3 + s)]);
  b.viewport = {static_cast<float>(viewport.x), static_cast<float>(viewport.y),
                static_cast<float>(std::max<std::uint32_t>(viewport.width, 1)),
                static_cast<float>(std::max<std::uint32_t>(viewport.height, 1))};
  b.depthRange = {viewport.minZ, viewport.maxZ, 0, 0};
  b.format = {l.hasNormal, l.hasDiffuse, l.hasSpecular, l.rhw};

  int count = 0;
  for (const auto& [index, slot] : lights) {
    if (!slot.enabled || count == gl::kLights) continue;
    const DeviceLight& light = slot.light;
    gl::ShaderLight& out = b.lights[count++];
    out.diffuse = Colour(light.diffuse);
    out.specular = Colour(light.specular);
    out.ambient = Colour(light.ambient);
    const DeviceVector p = Transform(light.position, 1.0f, view);
    out.position = {p.x, p.y, p.z, static_cast<float>(light.type)};
    DeviceVector d = Transform(light.direction, 0.0f, view);
    const float length = Length(d);
    if (length > 0.0f) d = {d.x / length, d.y / length, d.z / length};
    out.direction = {d.x, d.y, d.z, 0};
    out.attenuation = {light.attenuation0, light.attenuation1, light.attenuation2, light.range};
    out.spot = {std::cos(light.theta * 0.5f), std::cos(light.phi * 0.5f), light.falloff, 0};
  }
  const bool lit = rs(RenderState::Lighting) != 0 && !l.rhw;
  b.lighting = {lit, count, rs(RenderState::NormalizeNormals) != 0, rs(RenderState::LocalViewer) != 0};
  // A colour source names a vertex colour only where the vertex has it.
  const auto source = [&](RenderState s) {
    const std::uint32_t v = rs(RenderState::ColorVertex) ? rs(s) : d3d::kMcsMaterial;
    if (v == d3d::kMcsColor1 && l.hasDiffuse) return 1;
    if (v == d3d::kMcsColor2 && l.hasSpecular) return 2;
    return 0;
  };
  b.sources = {source(RenderState::DiffuseMaterialSource), source(RenderState::AmbientMaterialSource),
               source(RenderState::SpecularMaterialSource), source(RenderState::EmissiveMaterialSource)};
  const std::uint32_t func = rs(RenderState::AlphaFunc);
  const bool alphaTest = rs(RenderState::AlphaTestEnable) != 0 && func >= d3d::kCmpNever && func < d3d::kCmpAlways;
  b.misc = {rs(RenderState::SpecularEnable) != 0, alphaTest ? static_cast<int>(func) : 0,
            static_cast<int>(std::min<std::uint32_t>(rs(RenderState::AlphaRef), 255)), static_cast<int>(l.texCount)};
  b.ambient = Colour(rs(RenderState::Ambient));
  b.materialDiffuse = Colour(material.diffuse);
  b.materialAmbient = Colour(material.ambient);
  b.materialSpecular = Colour(material.specular);
  b.materialEmissive = Colour(material.emissive);
  b.materialPower = {material.power, 0, 0, 0};
  b.textureFactor = Colour(rs(RenderState::TextureFactor));
  for (std::uint32_t s = 0; s < static_cast<std::uint32_t>(gl::kStages); ++s) {
    const auto v = [&](TextureStageState state) { return static_cast<int>(ts(s, state)); };
    b.stageColour[s] = {v(TextureStageState::ColorOp), v(TextureStageState::ColorArg1),
                        v(TextureStageState::ColorArg2), stages[s].texture != nullptr};
    b.stageAlpha[s] = {v(TextureStageState::AlphaOp), v(TextureStageState::AlphaArg1),
                       v(TextureStageState::AlphaArg2), 0};
    const std::uint32_t index = ts(s, TextureStageState::TexCoordIndex);
    const std::uint32_t set = index & 0xFFFF, generation = index >> 16;
    const std::uint32_t flags = ts(s, TextureStageState::TextureTransformFlags);
    const std::uint32_t countUsed = flags & 0xFF;
    b.stageCoord[s] = {set < std::min<std::uint32_t>(l.texCount, gl::kStages) ? static_cast<int>(set) : -1,
                       generation <= 3 ? static_cast<int>(generation) : 0,
                       countUsed <= 4 ? static_cast<int>(countUsed) : 0, (flags & d3d::kTtffProjected) != 0};
  }
  glBindBuffer(GL_UNIFORM_BUFFER, uniformBuffer);
  // Fresh storage each time: rewriting storage that queued draws still read
  // would make the driver finish those draws first.
  glBufferData(GL_UNIFORM_BUFFER, sizeof block, &block, GL_DYNAMIC_DRAW);
}

void GlDevice::State::ApplyPipeline() {
  const std::uint32_t z = rs(RenderState::ZEnable);
  if (z != d3d::kZbFalse) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(Compare(rs(RenderState::ZFunc)));
  } else {
    glDisable(GL_DEPTH_TEST);  // no test and no depth written, as in Direct3D
  }
  glDepthMask(rs(RenderState::ZWriteEnable) ? GL_TRUE : GL_FALSE);
  if (rs(RenderState::AlphaBlendEnable)) {
    glEnable(GL_BLEND);
    glBlendFunc(BlendFactor(rs(RenderState::SrcBlend), GL_ONE), BlendFactor(rs(RenderState::DestBlend), GL_ZERO));
  } else {
    glDisable(GL_BLEND);
  }
  // Direct3D culls by winding on the screen, y down, and takes clockwise
  // as the front; GL, even with the origin at the top-left, reckons the
  // winding y up, where the same face turns clockwise.
  const std::uint32_t cull = rs(RenderState::CullMode);
  if (cull == d3d::kCullCW || cull == d3d::kCullCCW) {
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(cull == d3d::kCullCCW ? GL_BACK : GL_FRONT);
  } else {
    glDisable(GL_CULL_FACE);
  }
  const std::uint32_t fill = rs(RenderState::FillMode);
  glPolygonMode(GL_FRONT_AND_BACK, fill == d3d::kFillPoint ? GL_POINT : fill == d3d::kFillWireframe ? GL_LINE : GL_FILL);
}

GLuint GlDevice::State::ProgramFor(const gl::ShaderKey& key) {
  auto [it, added] = programs.try_emplace(key, 0);
  if (added) {
    // A failure stays cached as 0: drawing with these states fails, others go on.
    std::string error;
    it->second = Link(key, error);
  }
  return it->second;
}

void GlDevice::State::ApplySampler(std::uint32_t s) {
  Stage& stage = stages[s];
  const GLuint sampler = stage.sampler;
  glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, Address(ts(s, TextureStageState::AddressU)));
  glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, Address(ts(s, TextureStageState::AddressV)));
  const gl::Vec4 border = Colour(ts(s, TextureStageState::BorderColor));
  const float rgba[4] = {border.x, border.y, border.z, border.w};
  glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, rgba);
  // Textures have no mip levels: the mip filter has nothing to choose.
  const std::uint32_t mag = ts(s, TextureStageState::MagFilter), min = ts(s, TextureStageState::MinFilter);
  glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, mag == d3d::kFilterPoint ? GL_NEAREST : GL_LINEAR);
  glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, min == d3d::kFilterPoint ? GL_NEAREST : GL_LINEAR);
  if (maxAnisotropy > 1.0f) {
    const bool anisotropic = mag == d3d::kMagFilterAnisotropic || min == d3d::kMinFilterAnisotropic;
    const float wanted = static_cast<float>(std::max<std::uint32_t>(ts(s, TextureStageState::MaxAnisotropy), 1));
    glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropic ? std::min(wanted, maxAnisotropy) : 1.0f);
  }
  stage.samplerDirty = false;
}

void GlDevice::State::BindTarget() {
  glBindFramebuffer(GL_FRAMEBUFFER, targetFramebuffer());
  glViewport(static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y), static_cast<GLsizei>(viewport.width),
             static_cast<GLsizei>(viewport.height));
  glDepthRange(viewport.minZ, viewport.maxZ);
  targetDirty = false;
}

HResult GlDevice::State::Prepare(const Layout& layout) {
  if (!failure.empty()) return kEFail;
  if (!inScene) return kSceneNotInScene;
  if (bindingsDirty) {
    // Everything the device relies on, after other GL code ran.
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glDisable(GL_DITHER);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindBufferBase(GL_UNIFORM_BUFFER, gl::kStateBinding, uniformBuffer);
    for (std::uint32_t s = 0; s < static_cast<std::uint32_t>(gl::kStages); ++s) {
      glActiveTexture(GL_TEXTURE0 + s);
      glBindTexture(GL_TEXTURE_2D, stages[s].texture ? stages[s].texture->texture() : 0);
      glBindSampler(s, stages[s].sampler);
    }
    pipelineDirty = targetDirty = true;
    bindingsDirty = false;
    program = 0;
  }
  if (targetDirty) BindTarget();
  bool programDirty = program == 0;
  if (pipelineDirty) {
    ApplyPipeline();
    pipelineDirty = false;
    programDirty = true;  // the shade mode
  }
  for (std::uint32_t s = 0; s < static_cast<std::uint32_t>(gl::kStages); ++s)
    if (stages[s].samplerDirty) ApplySampler(s);
  const std::uint32_t fvf = (layout.hasNormal ? 1u : 0u) | (layout.hasDiffuse ? 2u : 0u) |
                            (layout.hasSpecular ? 4u : 0u) | (layout.rhw ? 8u : 0u) | layout.texCount << 4;
  if (fvf != lastFvf) blockDirty = true;
  lastFvf = fvf;
  if (blockDirty) {
    BuildBlock(layout);
    blockDirty = false;
    programDirty = true;
  }
  if (programDirty) {
    const GLuint wanted = ProgramFor(gl::KeyOf(block, rs(RenderState::ShadeMode) == d3d::kShadeFlat));
    if (!wanted) {
      program = 0;  // chosen again at the next draw
      return kEFail;
    }
    if (wanted != program) glUseProgram(wanted);
    program = wanted;
  }
  return kOk;
}

GlDevice::GlDevice() : state_(std::make_unique<State>()) {
  State& s = *state_;
  for (std::uint32_t i = 0; i < kRenderStates; ++i) s.renderStates[i] = DefaultState(i);
  for (std::uint32_t stage = 0; stage < kStageSlots; ++stage)
    for (std::uint32_t i = 0; i < kStageStates; ++i) s.stages[stage].states[i] = DefaultStageState(stage, i);
  for (DeviceMatrix& m : s.transforms) m = DeviceMatrix::Identity();
  if (epoxy_gl_version() < 33) {
    s.failure = "OpenGL 3.3 is needed";
    return;
  }
  if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control")) {
    s.failure = "OpenGL lacks clip control (4.5 or GL_ARB_clip_control)";
    return;
  }
  // One program made now, so that a GL that cannot take the source fails here.
  const gl::ShaderKey first;
  const GLuint program = Link(first, s.failure);
  if (!program) return;
  s.programs.emplace(first, program);
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
      epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic"))
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &s.maxAnisotropy);
  glGenBuffers(1, &s.uniformBuffer);
  glBindBuffer(GL_UNIFORM_BUFFER, s.uniformBuffer);
  glBufferData(GL_UNIFORM_BUFFER, sizeof s.block, nullptr, GL_DYNAMIC_DRAW);
  glGenBuffers(1, &s.streamVertices);
  glGenBuffers(1, &s.streamIndices);
  for (Stage& stage : s.stages)
    if (&stage - s.stages.data() < gl::kStages) glGenSamplers(1, &stage.sampler);
}

GlDevice::~GlDevice() {
  State& s = *state_;
  for (const auto& [fvf, vao] : s.streamArrays) glDeleteVertexArrays(1, &vao);
  for (Stage& stage : s.stages)
    if (stage.sampler) glDeleteSamplers(1, &stage.sampler);
  const GLuint buffers[3] = {s.uniformBuffer, s.streamVertices, s.streamIndices};
  glDeleteBuffers(3, buffers);
  for (const auto& [key, program] : s.programs)
    if (program) glDeleteProgram(program);
}

const std::string& GlDevice::failure() const { return state_->failure; }

void GlDevice::InvalidateState() { state_->bindingsDirty = true; }

void GlDevice::SetBackBuffer(std::uint32_t framebuffer, std::uint32_t width, std::uint32_t height) {
  State& s = *state_;
  s.backBuffer = framebuffer;
  s.backWidth = width;
  s.backHeight = height;
  GLint type = GL_NONE, previous = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previous);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, framebuffer ? GL_DEPTH_ATTACHMENT : GL_DEPTH,
                                        GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
  s.backHasDepth = type != GL_NONE;
  // As a device made over this buffer: its viewport is the whole of it.
  s.viewport = {0, 0, width, height, 0.0f, 1.0f};
  s.blockDirty = s.targetDirty = true;
}

HResult GlDevice::SetTransform(TransformState state, const DeviceMatrix& matrix) {
  const int slot = TransformSlot(state);
  if (slot < 0) return kInvalidArgument;
  state_->transforms[static_cast<std::size_t>(slot)] = matrix;
  state_->blockDirty = true;
  return kOk;
}

HResult GlDevice::GetTransform(TransformState state, DeviceMatrix& matrix) {
  const int slot = TransformSlot(state);
  if (slot < 0) return kInvalidArgument;
  matrix = state_->transforms[static_cast<std::size_t>(slot)];
  return kOk;
}

HResult GlDevice::SetRenderState(RenderState state, std::uint32_t value) {
  const auto index = static_cast<std::uint32_t>(state);
  if (index >= kRenderStates) return kInvalidArgument;
  state_->renderStates[index] = value;
  (IsPipelineState(state) ? state_->pipelineDirty : state_->blockDirty) = true;
  return kOk;
}

HResult GlDevice::GetRenderState(RenderState state, std::uint32_t& value) {
  const auto index = static_cast<std::uint32_t>(state);
  if (index >= kRenderStates) return kInvalidArgument;
  value = state_->renderStates[index];
  return kOk;
}

HResult GlDevice::SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) {
  const auto index = static_cast<std::uint32_t>(state);
  if (stage >= kStageSlots || index == 0 || index >= kStageStates) return kInvalidArgument;
  Stage& s = state_->stages[stage];
  s.states[index] = value;
  if (index == kAddress) {
    s.states[static_cast<std::uint32_t>(TextureStageState::AddressU)] = value;
    s.states[static_cast<std::uint32_t>(TextureStageState::AddressV)] = value;
  }
  if (index >= kAddress && index <= static_cast<std::uint32_t>(TextureStageState::MaxAnisotropy))
    s.samplerDirty = s.sampler != 0;
  else
    state_->blockDirty = true;
  return kOk;
}

HResult GlDevice::GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) {
  const auto index = static_cast<std::uint32_t>(state);
  if (stage >= kStageSlots || index == 0 || index >= kStageStates) return kInvalidArgument;
  value = state_->stages[stage].states[index];
  return kOk;
}

HResult GlDevice::SetTexture(std::uint32_t stage, Surface* texture) {
  if (stage >= kStageSlots) return kInvalidArgument;
  std::shared_ptr<GlSurface> surface;
  if (texture) {
    // The device keeps what it draws with alive, as Direct3D holds a reference.
    auto* gl = dynamic_cast<GlSurface*>(texture);
    if (!gl || !(surface = gl->weak_from_this().lock())) return kInvalidArgument;
  }
  State& s = *state_;
  s.stages[stage].texture = std::move(surface);
  if (stage < static_cast<std::uint32_t>(gl::kStages) && !s.bindingsDirty) {
    glActiveTexture(GL_TEXTURE0 + stage);
    glBindTexture(GL_TEXTURE_2D, s.stages[stage].texture ? s.stages[stage].texture->texture() : 0);
  }
  s.blockDirty = true;
  return kOk;
}

HResult GlDevice::SetMaterial(const DeviceMaterial& material) {
  state_->material = material;
  state_->blockDirty = true;
  return kOk;
}

HResult GlDevice::GetMaterial(DeviceMaterial& material) {
  material = state_->material;
  return kOk;
}

HResult GlDevice::SetLight(std::uint32_t index, const DeviceLight& light) {
  if (light.type < d3d::kLightPoint || light.type > d3d::kLightDirectional) return kInvalidArgument;
  if (light.type != d3d::kLightPoint && !(Length(light.direction) > 0.0f)) return kInvalidArgument;
  if (!(light.range >= 0.0f)) return kInvalidArgument;
  state_->lights[index].light = light;
  state_->blockDirty = true;
  return kOk;
}

HResult GlDevice::LightEnable(std::uint32_t index, bool enable) {
  auto [slot, added] = state_->lights.try_emplace(index);
  if (added) {
    // Direct3D enables a light never set as white, directional, down +z.
    DeviceLight& light = slot->second.light;
    light.type = d3d::kLightDirectional;
    light.diffuse = {1, 1, 1, 0};
    light.direction = {0, 0, 1};
  }
  slot->second.enabled = enable;
  state_->blockDirty = true;
  return kOk;
}

HResult GlDevice::GetLightEnable(std::uint32_t index, bool& enabled) {
  const auto slot = state_->lights.find(index);
  if (slot == state_->lights.end()) return kInvalidArgument;
  enabled = slot->second.enabled;
  return kOk;
}

HResult GlDevice::SetViewport(const DeviceViewport& viewport) {
  if (viewport.width == 0 || viewport.height == 0 || viewport.width > 0x8000 || viewport.height > 0x8000 ||
      viewport.x > 0x8000 || viewport.y > 0x8000 || !(viewport.minZ >= 0.0f) || !(viewport.maxZ <= 1.0f) ||
      !(viewport.minZ <= viewport.maxZ))
    return kInvalidArgument;
  state_->viewport = viewport;
  state_->blockDirty = state_->targetDirty = true;
  return kOk;
}

HResult GlDevice::GetViewport(DeviceViewport& viewport) {
  viewport = state_->viewport;
  return kOk;
}

HResult GlDevice::SetRenderTarget(Surface* target) {
  std::shared_ptr<GlSurface> surface;
  if (target) {
    auto* gl = dynamic_cast<GlSurface*>(target);
    if (!gl || !gl->framebuffer() || !(surface = gl->weak_from_this().lock())) return kInvalidArgument;
  }
  state_->target = std::move(surface);
  state_->targetDirty = true;
  return kOk;
}

HResult GlDevice::Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t /*stencil*/) {
  State& s = *state_;
  if (!s.failure.empty()) return kEFail;
  if ((flags & d3d::kClearZBuffer) && !s.targetHasDepth()) return kZBufferNotPresent;
  GLbitfield mask = 0;
  if (flags & d3d::kClearTarget) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & d3d::kClearZBuffer) mask |= GL_DEPTH_BUFFER_BIT;
  if (!mask) return kOk;
  s.BindTarget();
  // Direct3D clears the viewport whatever the write states say.
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(s.viewport.x), static_cast<GLint>(s.viewport.y),
            static_cast<GLsizei>(s.viewport.width), static_cast<GLsizei>(s.viewport.height));
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  const gl::Vec4 c = Colour(argb);
  glClearColor(c.x, c.y, c.z, c.w);
  glClearDepth(std::clamp(static_cast<double>(z), 0.0, 1.0));
  glClear(mask);
  glDisable(GL_SCISSOR_TEST);
  s.pipelineDirty = true;  // the depth mask
  return kOk;
}

HResult GlDevice::BeginScene() {
  State& s = *state_;
  if (s.inScene) return kSceneInScene;
  s.inScene = true;
  s.bindingsDirty = true;  // the display drew with GL of its own since
  return kOk;
}

HResult GlDevice::EndScene() {
  State& s = *state_;
  if (!s.inScene) return kSceneNotInScene;
  s.inScene = false;
  if (!s.bindingsDirty) {
    // GL's own conventions back for whatever draws after the scene (the
    // display's copy to the window); the next scene sets them again.
    glClipControl(GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
    glProvokingVertex(GL_LAST_VERTEX_CONVENTION);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (std::uint32_t stage = 0; stage < static_cast<std::uint32_t>(gl::kStages); ++stage) glBindSampler(stage, 0);
    glUseProgram(0);
    glBindVertexArray(0);
    s.bindingsDirty = true;
  }
  return kOk;
}

namespace {

// Indices past the vertices handed over would read outside them.
bool IndicesWithin(const std::uint16_t* indices, std::uint32_t count, std::uint32_t vertices) {
  return std::all_of(indices, indices + count, [&](std::uint16_t i) { return i < vertices; });
}

}  // namespace

HResult GlDevice::DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                std::uint32_t vertexCount) {
  return DrawIndexedPrimitive(type, fvf, vertices, vertexCount, nullptr, 0);
}

HResult GlDevice::DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                                       std::uint32_t vertexCount, const std::uint16_t* indices,
                                       std::uint32_t indexCount) {
  State& s = *state_;
  bool known = false;
  const GLenum mode = PrimitiveMode(type, known);
  if (!known) return kInvalidPrimitiveType;
  const Layout layout = LayoutOf(fvf);
  if (!layout.valid) return kInvalidVertexType;
  const bool indexed = indices != nullptr;
  if (!vertices || (indexed && !IndicesWithin(indices, indexCount, vertexCount))) return kInvalidArgument;
  if (const HResult r = s.Prepare(layout); Failed(r)) return r;
  if (vertexCount == 0 || (indexed && indexCount == 0)) return kOk;

  auto [it, added] = s.streamArrays.try_emplace(fvf, 0);
  if (added) {
    glGenVertexArrays(1, &it->second);
    glBindVertexArray(it->second);
    glBindBuffer(GL_ARRAY_BUFFER, s.streamVertices);
    PointAttributes(layout, s.streamIndices);
  }
  glBindVertexArray(it->second);
  // A fresh store each draw: GL need not wait for the draw before.
  glBindBuffer(GL_ARRAY_BUFFER, s.streamVertices);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(std::size_t{vertexCount} * layout.stride), vertices,
               GL_STREAM_DRAW);
  if (indexed) {
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(std::size_t{indexCount} * 2), indices,
                 GL_STREAM_DRAW);
    glDrawElements(mode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, nullptr);
  } else {
    glDrawArrays(mode, 0, static_cast<GLsizei>(vertexCount));
  }
  return kOk;
}

std::unique_ptr<VertexBuffer> GlDevice::CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                           std::uint32_t /*caps*/) {
  const Layout layout = LayoutOf(fvf);
  if (!layout.valid || count == 0 || count > (1u << 24) || !state_->failure.empty()) return nullptr;
  return std::make_unique<GlVertexBuffer>(fvf, count, layout);
}

HResult GlDevice::DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                  std::uint32_t count) {
  return DrawIndexedPrimitiveVB(type, buffer, start, count, nullptr, 0);
}

HResult GlDevice::DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                                         std::uint32_t count, const std::uint16_t* indices,
                                         std::uint32_t indexCount) {
  State& s = *state_;
  auto* vb = dynamic_cast<GlVertexBuffer*>(&buffer);
  if (!vb || start > vb->Count() || count > vb->Count() - start) return kInvalidArgument;
  bool known = false;
  const GLenum mode = PrimitiveMode(type, known);
  if (!known) return kInvalidPrimitiveType;
  if (vb->locked()) return kVertexBufferLocked;
  const bool indexed = indices != nullptr;
  // Indices count from the start vertex, as in Direct3D 7.
  if (indexed && !IndicesWithin(indices, indexCount, count)) return kInvalidArgument;
  if (const HResult r = s.Prepare(vb->layout()); Failed(r)) return r;
  if (count == 0 || (indexed && indexCount == 0)) return kOk;
  vb->Bind(s.streamIndices);
  if (indexed) {
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(std::size_t{indexCount} * 2), indices,
                 GL_STREAM_DRAW);
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(indexCount), GL_UNSIGNED_SHORT, nullptr,
                             static_cast<GLint>(start));
  } else {
    glDrawArrays(mode, static_cast<GLint>(start), static_cast<GLsizei>(count));
  }
  return kOk;
}

HResult GlDevice::ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) {
  State& s = *state_;
  argb.clear();
  if (!s.failure.empty() || s.backWidth == 0 || s.backHeight == 0) return kInvalidArgument;
  const std::int32_t left = std::max(rect.left, 0), top = std::max(rect.top, 0);
  const auto right = static_cast<std::int32_t>(std::min<std::int64_t>(rect.right, s.backWidth));
  const auto bottom = static_cast<std::int32_t>(std::min<std::int64_t>(rect.bottom, s.backHeight));
  if (right <= left || bottom <= top) return kOk;
  const auto width = static_cast<std::size_t>(right - left), height = static_cast<std::size_t>(bottom - top);
  argb.resize(width * height);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // Always the back buffer, whatever is being drawn into; its row 0 is the
  // picture's top row, so rows come top first.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.backBuffer);
  glReadPixels(left, top, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGRA,
               GL_UNSIGNED_INT_8_8_8_8_REV, argb.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.targetFramebuffer());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  for (std::uint32_t& p : argb) p |= 0xFF000000u;
  return kOk;
}

}  // namespace brisane
