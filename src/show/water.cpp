#include "show/water.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The sea comes out bit for bit the same in every build only when scalar
// maths rounds as the SIMD lanes do: x87's wider registers would not.
#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "32-bit x86 builds need -msse2 -mfpmath=sse (cmake/mingw-i686.cmake)"
#endif

#include "scene/material.h"
#include "scene/vertex_format.h"
#include "scene/view.h"
#include "settings/settings_keys.h"
#include "show/ship_contract.h"

namespace brisane {

namespace {

// Second texture pair of an XYZ | NORMAL | TEX2 vertex.
constexpr std::size_t kReflectionOffset = 32;

float Clamp01(float v) {
  if (!(v > 0.0f)) return 0.0f;  // NaN from a vertex in the eye's plane, too
  return v > 1.0f ? 1.0f : v;
}

Matrix FromDevice(const DeviceMatrix& d) {
  Matrix m;
  for (std::size_t r = 0; r < 4; ++r)
    for (std::size_t c = 0; c < 4; ++c) m(r, c) = d.m[r][c];
  return m;
}

// Copies the node's meshes into a new buffer of the format and keeps their
// indices (offset when a node has more than one mesh) and every vertex's
// (x, y). Null when the node cannot be addressed with 16-bit indices or the
// device refuses.
std::unique_ptr<VertexBuffer> FillBuffer(Device& device, const GeometryObject& node, std::uint32_t fvf,
                                         std::vector<std::uint16_t>& indices, WaveGrid& grid) {
  const std::uint32_t count = node.vertexCount();
  if (count == 0 || count > 0x10000u) return nullptr;
  auto buffer = device.CreateVertexBuffer(fvf, count, d3d::kVbCapsSystemMemory | d3d::kVbCapsWriteOnly);
  if (!buffer) return nullptr;
  indices.clear();
  if (Failed(node.AppendToVertexBuffer(*buffer, indices))) return nullptr;
  std::size_t at = 0;
  std::uint32_t base = 0;
  std::vector<float> plane;
  plane.reserve(std::size_t{count} * 2);
  for (const Mesh* mesh : node.activeMeshes()) {
    for (std::size_t i = 0; i < mesh->indexCount(); ++i)
      indices[at + i] = static_cast<std::uint16_t>(indices[at + i] + base);
    at += mesh->indexCount();
    base += mesh->vertexCount();
    const std::uint8_t* v = mesh->vertices().data();
    for (std::uint16_t i = 0; i < mesh->vertexCount(); ++i, v += mesh->stride()) {
      float xy[2];
      std::memcpy(xy, v, sizeof xy);
      plane.insert(plane.end(), {xy[0], xy[1]});
    }
  }
  grid = WaveGrid(std::move(plane));
  return buffer;
}

// Rewrites the z of every vertex from the wave.
void WriteHeights(VertexBuffer& buffer, WaveGrid& grid, float phase, std::uint32_t lockFlags) {
  auto* out = static_cast<std::uint8_t*>(buffer.Lock(lockFlags));
  if (!out) return;
  const std::size_t stride = VertexSize(buffer.Fvf());
  const std::vector<float>& heights = grid.Heights(phase);
  const std::size_t count = std::min<std::size_t>(buffer.Count(), heights.size());
  for (std::size_t i = 0; i < count; ++i) std::memcpy(out + i * stride + 8, &heights[i], sizeof(float));
  buffer.Unlock();
}

// What maps a vertex of the sea to its place in the environment map.
struct Projection {
  Projection(const Matrix& m, float halfWidth, float halfHeight, float width, float height)
      : m00(m(0, 0)), m10(m(1, 0)), m20(m(2, 0)), m30(m(3, 0)),
        m01(m(0, 1)), m11(m(1, 1)), m21(m(2, 1)), m31(m(3, 1)),
        m03(m(0, 3)), m13(m(1, 3)), m23(m(2, 3)), m33(m(3, 3)),
        halfWidth(halfWidth), halfHeight(halfHeight), width(width), height(height) {}
  float m00, m10, m20, m30, m01, m11, m21, m31, m03, m13, m23, m33;
  float halfWidth, halfHeight, width, height;
};

// Writes each vertex's height and its reflection coordinates: the screen
// position through the projection, scaled to the map and shifted down by
// the wave's size. Four at a time where the processor can, in the same
// operations and order as one at a time.
void ProjectVertices(const Projection& p, const float* plane, const float* heights, std::size_t count,
                     std::uint8_t* out, std::size_t stride) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128 m00 = _mm_set1_ps(p.m00), m10 = _mm_set1_ps(p.m10), m20 = _mm_set1_ps(p.m20), m30 = _mm_set1_ps(p.m30);
  const __m128 m01 = _mm_set1_ps(p.m01), m11 = _mm_set1_ps(p.m11), m21 = _mm_set1_ps(p.m21), m31 = _mm_set1_ps(p.m31);
  const __m128 m03 = _mm_set1_ps(p.m03), m13 = _mm_set1_ps(p.m13), m23 = _mm_set1_ps(p.m23), m33 = _mm_set1_ps(p.m33);
  const __m128 halfWidth = _mm_set1_ps(p.halfWidth), halfHeight = _mm_set1_ps(p.halfHeight);
  const __m128 width = _mm_set1_ps(p.width), height = _mm_set1_ps(p.height);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f), shift = _mm_set1_ps(0.02f);
  const __m128 sign = _mm_set1_ps(-0.0f);
  // max(v, 0) gives 0 for NaN as the scalar clamp does.
  const auto clamp = [&](__m128 v) { return _mm_min_ps(_mm_max_ps(v, zero), one); };
  for (; i + 4 <= count; i += 4) {
    const __m128 a = _mm_loadu_ps(plane + 2 * i), b = _mm_loadu_ps(plane + 2 * i + 4);
    const __m128 x = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)), y = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 z = _mm_loadu_ps(heights + i);
    const auto row = [&](__m128 c0, __m128 c1, __m128 c2, __m128 c3) {
      return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(x, c0), _mm_mul_ps(y, c1)), _mm_mul_ps(z, c2)), c3);
    };
    const __m128 cx = row(m00, m10, m20, m30), cy = row(m01, m11, m21, m31);
    const __m128 cw = _mm_andnot_ps(sign, row(m03, m13, m23, m33));
    const __m128 sx = _mm_mul_ps(_mm_add_ps(_mm_div_ps(cx, cw), one), halfWidth);
    const __m128 sy = _mm_mul_ps(_mm_sub_ps(one, _mm_div_ps(cy, cw)), halfHeight);
    alignas(16) float s[4], t[4];
    _mm_store_ps(s, clamp(_mm_div_ps(sx, width)));
    _mm_store_ps(t, clamp(_mm_sub_ps(_mm_sub_ps(one, _mm_div_ps(sy, height)), _mm_mul_ps(shift, _mm_andnot_ps(sign, z)))));
    for (std::size_t k = 0; k < 4; ++k) {
      std::uint8_t* vertex = out + (i + k) * stride;
      const float st[2] = {s[k], t[k]};
      std::memcpy(vertex + 8, heights + i + k, sizeof(float));
      std::memcpy(vertex + kReflectionOffset, st, sizeof st);
    }
  }
#endif
  for (; i < count; ++i) {
    const float x = plane[2 * i], y = plane[2 * i + 1], z = heights[i];
    const float cx = x * p.m00 + y * p.m10 + z * p.m20 + p.m30;
    const float cy = x * p.m01 + y * p.m11 + z * p.m21 + p.m31;
    // Behind the eye the division would turn the vertex over to the other
    // side of the screen and its triangles would sweep the whole map; kept
    // on its own side, it clamps to the edge it lies beyond.
    const float cw = std::fabs(x * p.m03 + y * p.m13 + z * p.m23 + p.m33);
    const float sx = (cx / cw + 1.0f) * p.halfWidth;
    const float sy = (1.0f - cy / cw) * p.halfHeight;
    const float st[2] = {Clamp01(sx / p.width), Clamp01(1.0f - sy / p.height - 0.02f * std::fabs(z))};
    std::uint8_t* vertex = out + i * stride;
    std::memcpy(vertex + 8, &z, sizeof z);
    std::memcpy(vertex + kReflectionOffset, st, sizeof st);
  }
}

// The sorted distinct values and each value's place among them.
void Distinct(const std::vector<float>& plane, std::size_t offset, std::vector<float>& values,
              std::vector<std::uint32_t>& places) {
  // NaN (from a damaged scene) sorts last and stays its own entry.
  const auto before = [](float a, float b) { return std::isnan(b) ? !std::isnan(a) : a < b; };
  values.clear();
  for (std::size_t i = offset; i < plane.size(); i += 2) values.push_back(plane[i]);
  std::sort(values.begin(), values.end(), before);
  values.erase(std::unique(values.begin(), values.end()), values.end());
  places.clear();
  for (std::size_t i = offset; i < plane.size(); i += 2)
    places.push_back(static_cast<std::uint32_t>(std::lower_bound(values.begin(), values.end(), plane[i], before) -
                                                values.begin()));
}

}  // namespace

// Each term below must stay as written: WaveSines rounds the arguments of
// the sines operation for operation as here, and a test holds WaveGrid to it.
float WaveHeight(float x, float y, float phase) {
  return 1.5f * (std::sin(0.08f * (x + phase)) + std::sin(0.08f * (y + phase))) +
         0.4f * std::sin(0.44f * (90.0f * x * y + 0.7f * phase));
}

namespace {

// One lane, or four: the same kernel runs on both, so each lane rounds as
// the scalar path does.
inline float Splat(float v, float) { return v; }
inline float Add(float a, float b) { return a + b; }
inline float Sub(float a, float b) { return a - b; }
inline float Mul(float a, float b) { return a * b; }
inline std::uint32_t Bits(float v) {
  std::uint32_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}
inline float FromBits(std::uint32_t b) {
  float v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}
// The sine and cosine of angle + quarter * pi / 2, where the low two bits of
// the integer in round's mantissa are the quarter turns.
inline void Turn(float round, float sine, float cosine, float& outSine, float& outCosine) {
  const std::uint32_t quarter = Bits(round);
  const std::uint32_t swap = 0u - (quarter & 1u), sign = (quarter & 2u) << 30;
  outSine = FromBits(((Bits(sine) & ~swap) | (Bits(cosine) & swap)) ^ sign);
  outCosine = FromBits(((Bits(cosine) & ~swap) | ((Bits(sine) ^ 0x80000000u) & swap)) ^ sign);
}

#if defined(__SSE2__)
inline __m128 Splat(float v, __m128) { return _mm_set1_ps(v); }
inline __m128 Add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 Sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
inline __m128 Mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline void Turn(__m128 round, __m128 sine, __m128 cosine, __m128& outSine, __m128& outCosine) {
  const __m128i quarter = _mm_castps_si128(round);
  const __m128 swap = _mm_castsi128_ps(_mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(quarter, _mm_set1_epi32(1))));
  const __m128 sign = _mm_castsi128_ps(_mm_slli_epi32(_mm_and_si128(quarter, _mm_set1_epi32(2)), 30));
  const __m128 negativeSine = _mm_xor_ps(sine, _mm_set1_ps(-0.0f));
  outSine = _mm_xor_ps(_mm_or_ps(_mm_andnot_ps(swap, sine), _mm_and_ps(swap, cosine)), sign);
  outCosine = _mm_xor_ps(_mm_or_ps(_mm_andnot_ps(swap, cosine), _mm_and_ps(swap, negativeSine)), sign);
}
#endif

// Past this size scale * base keeps its own sine and cosine; the offset,
// under 1200 in size, then leaves it by at most half (so the subtraction is
// exact). Below it the offset is taken from zero.
constexpr float kOwnReference = 4096.0f;
// Bases beyond this are taken the exact way: the offset would grow with
// their rounding step.
constexpr float kLargestBase = 8589934592.0f;  // 2^33
// And references beyond this: their quarter turns would not count exactly.
constexpr float kLargestReference = 4294967296.0f;  // 2^32

// sin(scale * (base + drift)) from the reference's sine and cosine: the
// offset from the reference (exact, under 2^13 in size), less its whole
// quarter turns in three parts of pi / 2 (the first two short enough that
// their products with the count are exact), then two polynomials (errors
// under 1e-8 on a quarter turn) and the angle sum.
template <typename V>
V OffsetSine(V base, V drift, V scale, V reference, V sine, V cosine) {
  const V argument = Mul(scale, Add(base, drift));
  const V offset = Sub(argument, reference);
  const V magic = Splat(12582912.0f, base);  // 1.5 * 2^23: adding it rounds to a whole number
  const V round = Add(Mul(offset, Splat(0.636619747f, base)), magic);
  const V turns = Sub(round, magic);
  const V r = Sub(Sub(Sub(offset, Mul(turns, Splat(1.5703125f, base))), Mul(turns, Splat(4.83751297e-4f, base))),
                  Mul(turns, Splat(7.54978995e-8f, base)));
  const V z = Mul(r, r);
  const V sinR = Add(Mul(Mul(Add(Mul(Add(Mul(Splat(-1.9515295891e-4f, base), z), Splat(8.3321608736e-3f, base)), z),
                                 Splat(-1.6666654611e-1f, base)),
                             z),
                         r),
                     r);
  const V cosR = Add(Sub(Mul(Mul(Add(Mul(Add(Mul(Splat(2.443315711809948e-5f, base), z),
                                             Splat(-1.388731625493765e-3f, base)),
                                         z),
                                     Splat(4.166664568298827e-2f, base)),
                                 z),
                             z),
                         Mul(Splat(0.5f, base), z)),
                     Splat(1.0f, base));
  V turnedSine, turnedCosine;
  Turn(round, sine, cosine, turnedSine, turnedCosine);
  return Add(Mul(turnedSine, cosR), Mul(turnedCosine, sinR));
}

// The sine and cosine of a float angle under 2^32 in size, from this file's
// own double arithmetic rather than the library's (which differs between
// builds), so that the references are the same everywhere: whole quarter
// turns taken off with pi / 2 in four parts, the first three short enough
// that their products with the count are exact, then the usual polynomials
// on a quarter turn (errors near 1e-16).
void OwnSineCosine(float angle, float& sine, float& cosine) {
  const double a = angle;
  const double magic = 0x1.8p52;
  const double turns = (a * 0x1.45f306dc9c883p-1 + magic) - magic;
  const double r = (((a - turns * 0x1.921fbp+0) - turns * 0x1.5110bp-22) - turns * 0x1.18469p-44) -
                   turns * 0x1.13198a2e03707p-65;
  const double z = r * r;
  const double s =
      r + r * z *
              (-1.66666666666666324348e-01 +
               z * (8.33333333332248946124e-03 +
                    z * (-1.98412698298579493134e-04 +
                         z * (2.75573137070700676789e-06 + z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)))));
  const double c =
      1.0 - 0.5 * z +
      z * z *
          (4.16666666666666019037e-02 +
           z * (-1.38888888888741095749e-03 +
                z * (2.48015872894767294178e-05 +
                     z * (-2.75573143513906633035e-07 + z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11)))));
  switch (static_cast<std::int64_t>(turns) & 3) {
    case 0: sine = static_cast<float>(s), cosine = static_cast<float>(c); break;
    case 1: sine = static_cast<float>(c), cosine = static_cast<float>(-s); break;
    case 2: sine = static_cast<float>(-s), cosine = static_cast<float>(-c); break;
    default: sine = static_cast<float>(-c), cosine = static_cast<float>(s); break;
  }
}

}  // namespace

WaveSines::WaveSines(const std::vector<float>& bases, float scale) : scale_(scale), size_(bases.size()) {
  base_.assign(size_, 0.0f);
  reference_.assign(size_, 0.0f);
  sine_.assign(size_, 0.0f);
  cosine_.assign(size_, 1.0f);
  values_.assign(size_, 0.0f);
  for (std::size_t i = 0; i < size_; ++i) {
    if (!(std::fabs(bases[i]) < kLargestBase && std::fabs(scale * bases[i]) < kLargestReference)) {  // NaN too
      exactBase_.push_back(bases[i]);
      exactPlace_.push_back(static_cast<std::uint32_t>(i));
      continue;
    }
    base_[i] = bases[i];
    const float reference = scale * bases[i];
    if (std::fabs(reference) < kOwnReference) continue;
    reference_[i] = reference;
    OwnSineCosine(reference, sine_[i], cosine_[i]);
  }
}

const float* WaveSines::Update(float drift) {
  if (!(std::fabs(drift) <= kFastDrift)) {
    for (std::size_t i = 0; i < size_; ++i) values_[i] = std::sin(scale_ * (base_[i] + drift));
  } else {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 drifts = _mm_set1_ps(drift), scales = _mm_set1_ps(scale_);
    for (; i + 4 <= size_; i += 4)
      _mm_storeu_ps(values_.data() + i,
                    OffsetSine(_mm_loadu_ps(base_.data() + i), drifts, scales, _mm_loadu_ps(reference_.data() + i),
                               _mm_loadu_ps(sine_.data() + i), _mm_loadu_ps(cosine_.data() + i)));
#endif
    for (; i < size_; ++i) values_[i] = OffsetSine(base_[i], drift, scale_, reference_[i], sine_[i], cosine_[i]);
  }
  for (std::size_t k = 0; k < exactPlace_.size(); ++k)
    values_[exactPlace_[k]] = std::sin(scale_ * (exactBase_[k] + drift));
  return values_.data();
}

WaveGrid::WaveGrid(std::vector<float> plane) : plane_(std::move(plane)) {
  plane_.resize(plane_.size() / 2 * 2);
  std::vector<float> columns, rows;
  Distinct(plane_, 0, columns, column_);
  Distinct(plane_, 1, rows, row_);
  columns_ = WaveSines(columns, 0.08f);
  rows_ = WaveSines(rows, 0.08f);
  const std::size_t count = plane_.size() / 2;
  std::vector<float> cross(count);
  for (std::size_t i = 0; i < count; ++i) cross[i] = 90.0f * x(i) * y(i);
  short_ = WaveSines(cross, 0.44f);
  heights_.assign(count, 0.0f);
}

const std::vector<float>& WaveGrid::Heights(float phase) {
  const float* column = columns_.Update(phase);
  const float* row = rows_.Update(phase);
  const float* shortWave = short_.Update(0.7f * phase);
  for (std::size_t i = 0; i < heights_.size(); ++i)
    heights_[i] = 1.5f * (column[column_[i]] + row[row_[i]]) + 0.4f * shortWave[i];
  return heights_;
}

MapSize EnvironmentMapSize(std::uint32_t viewportWidth, std::uint32_t viewportHeight) {
  MapSize size;
  size.width = viewportWidth < 640 ? 256 : (viewportWidth <= 1024 ? 512 : 1024);
  size.height = viewportHeight < 400 ? 128 : (viewportHeight < 600 ? 256 : 512);
  return size;
}

// ---- the mixed texture

MixedTextureQuad::MixedTextureQuad(TextureRef source, TextureRef target, std::uint32_t width, std::uint32_t height,
                                   std::uint32_t now)
    : source_(std::move(source)), target_(std::move(target)), lastUpdate_(now) {
  viewport_ = {0, 0, width, height, 0.0f, 1.0f};
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  // The second copy runs the other way, turned and a little over twice as
  // fine, so that its features never line up with the first's; whole
  // repeats along both edges keep the target seamless.
  vertices_[0] = {0, 0, 0, 1.0f, 0x00FFFFFF, 0, 0, 0, 0, 0};
  vertices_[1] = {w, 0, 0, 1.0f, 0x00FFFFFF, 0, 1, 0, -2, -1};
  vertices_[2] = {w, h, 0, 1.0f, 0x00FFFFFF, 0, 1, 1, -1, -3};
  vertices_[3] = {0, h, 0, 1.0f, 0x00FFFFFF, 0, 0, 1, 1, -2};
}

void MixedTextureQuad::Update(Device& device, std::uint32_t now, const FatalSink& fatal) {
  const float dt = static_cast<float>(now - lastUpdate_) * 0.001f;
  // Coordinates run on for ever; whole repeats are taken off before they
  // lose precision.
  const auto wrap = [](float high, float low) { return (high > 5.0f ? -5.0f : 0.0f) + (low < -5.0f ? 5.0f : 0.0f); };
  const float du = wrap(vertices_[1].u, vertices_[0].u), dv = wrap(vertices_[3].v, vertices_[0].v);
  const float ds = wrap(vertices_[1].s, vertices_[0].s), dtt = wrap(vertices_[3].t, vertices_[0].t);
  for (Vertex& v : vertices_) {
    v.u += dt * 0.03f + du;
    v.v += dt * 0.09f + dv;
    v.s += dt * -0.04f + ds;
    v.t += dt * -0.19f + dtt;
  }
  lastUpdate_ = now;

  DeviceViewport saved;
  device.GetViewport(saved);
  device.SetViewport(viewport_);
  device.SetTextureStageState(0, TextureStageState::TexCoordIndex, 0);
  device.SetTextureStageState(0, TextureStageState::ColorArg1, d3d::kTaTexture);
  device.SetTextureStageState(0, TextureStageState::ColorOp, d3d::kTopSelectArg1);
  device.SetRenderState(RenderState::TextureFactor, 0x80000000u);
  device.SetTextureStageState(0, TextureStageState::AlphaArg1, d3d::kTaTFactor);
  device.SetTextureStageState(0, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
  device.SetTexture(0, source_.get());
  device.SetTextureStageState(1, TextureStageState::TexCoordIndex, 1);
  device.SetTextureStageState(1, TextureStageState::ColorArg1, d3d::kTaTexture);
  device.SetTextureStageState(1, TextureStageState::ColorArg2, d3d::kTaCurrent);
  device.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopBlendFactorAlpha);
  // Stage 0's alpha carried through: disabled alpha under an active colour
  // operation is undefined.
  device.SetTextureStageState(1, TextureStageState::AlphaArg1, d3d::kTaCurrent);
  device.SetTextureStageState(1, TextureStageState::AlphaOp, d3d::kTopSelectArg1);
  device.SetTextureStageState(2, TextureStageState::ColorOp, d3d::kTopDisable);
  device.SetTextureStageState(2, TextureStageState::AlphaOp, d3d::kTopDisable);
  device.SetTexture(1, source_.get());

  if (Failed(device.SetRenderTarget(target_.get()))) {
    if (fatal) fatal("SetRenderTarget(m_pMixedTexture, 0) FAILED!");
    device.SetViewport(saved);
    return;
  }
  {
    const SavedRenderStates states(device, RenderState::CullMode, RenderState::ZEnable, RenderState::AlphaBlendEnable);
    device.SetRenderState(RenderState::CullMode, d3d::kCullCCW);
    device.SetRenderState(RenderState::ZEnable, 0);
    // The copies replace what was there; blending would only darken them.
    device.SetRenderState(RenderState::AlphaBlendEnable, 0);
    device.Clear(d3d::kClearTarget, 0xFF000000u, 1.0f, 0);
    static constexpr std::uint16_t kIndices[6] = {0, 1, 2, 2, 3, 0};
    device.DrawIndexedPrimitive(PrimitiveType::TriangleList, kFvf, vertices_, 4, kIndices, 6);
    if (Failed(device.SetRenderTarget(nullptr)) && fatal) fatal("SetRenderTarget(g_pddsBackBuffer, 0) FAILED!");
  }
  device.SetViewport(saved);
}

// ---- the sea

EnvWater::EnvWater(Scene& scene, Device& device, TextureLoader* textures, const WaterParts& parts,
                   const WaterOptions& options, std::uint32_t now, FatalSink fatal)
    : scene_(scene),
      fatal_(std::move(fatal)),
      parts_(parts),
      environmentWater_(options.environmentWater),
      lightmaps_(options.lightmaps),
      viewportWidth_(options.viewportWidth),
      viewportHeight_(options.viewportHeight),
      lastUpdate_(now) {
  if (environmentWater_) {
    const MapSize wanted = EnvironmentMapSize(viewportWidth_, viewportHeight_);
    environmentMap_ =
        textures ? textures->CreateSurfaceOfType(wanted.width, wanted.height, SurfaceKind::TargetWithDepth) : nullptr;
    if (environmentMap_) textures->SurfaceSize(*environmentMap_, mapSize_.width, mapSize_.height);
    if (!environmentMap_ || mapSize_.width == 0 || mapSize_.height == 0) {
      if (fatal_) fatal_("Can't create surface for envmap");
      environmentMap_.reset();
      environmentWater_ = false;
    } else {
      environmentLayer_ = std::make_unique<DiffuseLayer>(scene.clock());
      environmentLayer_->AddFrame(environmentMap_);
      environmentLayer_->SetTexCoordIndex(1);
    }
  }

  if (parts_.sea)
    seaBuffer_ =
        FillBuffer(device, *parts_.sea, environmentWater_ ? kFvfTwoTextures : kFvfOneTexture, seaIndices_, seaGrid_);
  if (parts_.foam) foamBuffer_ = FillBuffer(device, *parts_.foam, kFvfTwoTextures, foamIndices_, foamGrid_);

  if (lightmaps_) {
    TextureRef target = textures ? textures->CreateSurfaceOfType(kMixedWidth, kMixedHeight, SurfaceKind::Target) : nullptr;
    std::uint32_t width = 0, height = 0;
    if (target) textures->SurfaceSize(*target, width, height);
    const TextureLayer* base = parts_.seaMaterial ? parts_.seaMaterial->layer(LayerKind::Diffuse) : nullptr;
    TextureRef source = base && !base->frames().empty() ? base->frames().front() : nullptr;
    if (!target || width == 0 || height == 0) {
      if (fatal_) fatal_("Can't create surface for water");
    } else if (source) {
      // Without a picture of its own there is nothing to blend: the sea keeps its plain look.
      mixed_ = std::make_unique<MixedTextureQuad>(std::move(source), std::move(target), width, height, now);
    }
  }
}

EnvWater::~EnvWater() = default;

void EnvWater::Run(FrameContext& frame) {
  if (Camera* camera = scene_.currentCamera()) camera->Apply(frame.device);
  Update(frame.device, frame.now);
  RenderReflection(frame.device);
  Draw(frame.device, frame.now);
}

void EnvWater::Update(Device& device, std::uint32_t now) {
  // The phase is summed in double: in single precision a frame's step would
  // vanish against the total after a few days and the sea would stand still.
  phase_ += static_cast<double>(now - lastUpdate_) * 0.001 * kWaveRate;
  // The waves are passed the phase in single precision, so whole common
  // periods are dropped: the float keeps its fine steps on day 30 as in
  // minute 1.
  if (phase_ >= kWavePeriod) phase_ = std::fmod(phase_, kWavePeriod);
  lastUpdate_ = now;
  const float phase = static_cast<float>(phase_);

  if (seaBuffer_ && !environmentWater_) {
    WriteHeights(*seaBuffer_, seaGrid_, phase, d3d::kLockNoSysLock | d3d::kLockWriteOnly);
  } else if (seaBuffer_) {
    DeviceMatrix view = DeviceMatrix::Identity(), projection = DeviceMatrix::Identity();
    device.GetTransform(TransformState::View, view);
    device.GetTransform(TransformState::Projection, projection);
    const Matrix m = parts_.sea->world() * FromDevice(view) * FromDevice(projection);
    DeviceViewport viewport;
    device.GetViewport(viewport);
    const float halfWidth = static_cast<float>(viewport.width) * 0.5f;
    const float halfHeight = static_cast<float>(viewport.height) * 0.5f;
    const float width = static_cast<float>(viewportWidth_), height = static_cast<float>(viewportHeight_);

    auto* out = static_cast<std::uint8_t*>(seaBuffer_->Lock(d3d::kLockWriteOnly));
    if (out) {
      const std::vector<float>& heights = seaGrid_.Heights(phase);
      const std::size_t count = std::min<std::size_t>(seaBuffer_->Count(), heights.size());
      const Projection projection{m, halfWidth, halfHeight, width, height};
      ProjectVertices(projection, seaGrid_.plane(), heights.data(), count, out, VertexSize(seaBuffer_->Fvf()));
      seaBuffer_->Unlock();
    }
  }
  if (foamBuffer_) WriteHeights(*foamBuffer_, foamGrid_, phase, d3d::kLockNoSysLock | d3d::kLockWriteOnly);
}

void EnvWater::PushAlpha() {
  if (alpha_ == 255 || pushedAlpha_ == alpha_) return;
  pushedAlpha_ = alpha_;
  if (environmentWater_) {
    environmentLayer_->alpha = alpha_;
    return;
  }
  if (!parts_.seaMaterial) return;
  for (std::uint32_t kind : {LayerKind::Diffuse, LayerKind::AlphaKeyed})
    if (auto* layer = dynamic_cast<ConstantAlphaLayer*>(parts_.seaMaterial->layer(kind))) layer->alpha = alpha_;
}

void EnvWater::Draw(Device& device, std::uint32_t now) {
  if (!seaBuffer_) return;
  if (mixed_) mixed_->Update(device, now, fatal_);
  device.SetTransform(TransformState::World, ToDevice(parts_.sea->world()));
  PushAlpha();

  const SavedRenderStates saved(device, RenderState::SrcBlend, RenderState::DestBlend, RenderState::CullMode,
                                RenderState::AlphaBlendEnable);
  device.SetRenderState(RenderState::AlphaBlendEnable, 1);
  device.SetRenderState(RenderState::SrcBlend, d3d::kBlendSrcAlpha);
  device.SetRenderState(RenderState::DestBlend, d3d::kBlendInvSrcAlpha);
  if (parts_.seaMaterial) parts_.seaMaterial->Apply(device);
  if (mixed_) device.SetTexture(0, mixed_->target());
  // The map's coordinates stop at its edges: wrapping would blend the
  // opposite edge (the empty sky of the mirrored view) into the near sea.
  std::uint32_t addressU = d3d::kAddressWrap, addressV = d3d::kAddressWrap;
  if (environmentWater_) {
    environmentLayer_->Apply(device, 1);
    device.SetTextureStageState(1, TextureStageState::ColorArg2, d3d::kTaCurrent);
    device.SetTextureStageState(1, TextureStageState::ColorOp, d3d::kTopModulate2X);
    device.GetTextureStageState(1, TextureStageState::AddressU, addressU);
    device.GetTextureStageState(1, TextureStageState::AddressV, addressV);
    device.SetTextureStageState(1, TextureStageState::AddressU, d3d::kAddressClamp);
    device.SetTextureStageState(1, TextureStageState::AddressV, d3d::kAddressClamp);
  }
  device.DrawIndexedPrimitiveVB(PrimitiveType::TriangleList, *seaBuffer_, 0, seaBuffer_->Count(), seaIndices_.data(),
                                static_cast<std::uint32_t>(seaIndices_.size()));
  if (environmentWater_) {
    device.SetTextureStageState(1, TextureStageState::AddressU, addressU);
    device.SetTextureStageState(1, TextureStageState::AddressV, addressV);
    // The map is rendered into at the next frame's reflection: it must not
    // stay bound as a texture meanwhile.
    device.SetTexture(1, nullptr);
  }

  if (foamBuffer_) {
    if (parts_.foamMaterial) parts_.foamMaterial->Apply(device);
    device.SetTextureStageState(0, TextureStageState::TextureTransformFlags, d3d::kTtffCount2);
    const std::uint32_t since = lastFoamDraw_ ? now - *lastFoamDraw_ : 0;
    lastFoamDraw_ = now;
    // Whole repeats are dropped (the texture wraps): a growing sum would
    // swallow each frame's small step after some hours.
    float& scroll = foamTexture_.m[2][1];
    scroll += static_cast<float>(since) * kFoamScroll * 0.001f;
    scroll -= std::floor(scroll);
    device.SetTransform(TransformState::Texture0, foamTexture_);
    device.DrawIndexedPrimitiveVB(PrimitiveType::TriangleList, *foamBuffer_, 0, foamBuffer_->Count(),
                                  foamIndices_.data(), static_cast<std::uint32_t>(foamIndices_.size()));
    device.SetTextureStageState(0, TextureStageState::TextureTransformFlags, d3d::kTtffDisable);
  }
}

void EnvWater::WaveHeight(std::span<Vector3> points) const {
  const float phase = static_cast<float>(phase_);
  for (Vector3& p : points) p.z = ::brisane::WaveHeight(p.x, p.y, phase);
}

std::unique_ptr<EnvWater> MakeEnvWater(Scene& scene, Device& device, TextureLoader* textures, Node& settings,
                                       bool lightmaps, std::uint32_t now, const FatalSink& fatal) {
  WaterParts parts;
  const auto geometry = [&](std::string_view name) -> GeometryObject* {
    SceneNode* node = scene.FindNode(std::string(name));
    return node ? NodeAs<GeometryObject>(node) : nullptr;
  };
  parts.sea = geometry(contract::kWater[0]);
  parts.foam = geometry(contract::kWater[1]);
  parts.seaMaterial = scene.FindMaterial(std::string(contract::kWaterMaterials[0]));
  parts.foamMaterial = scene.FindMaterial(std::string(contract::kWaterMaterials[1]));
  if (!parts.sea) return nullptr;

  WaterOptions options;
  options.environmentWater = settings.Get(key::EnableEnvWater).AsInt() == 1;
  options.lightmaps = lightmaps;
  DeviceViewport viewport;
  device.GetViewport(viewport);
  options.viewportWidth = viewport.width;
  options.viewportHeight = viewport.height;
  auto water = std::make_unique<EnvWater>(scene, device, textures, parts, options, now, fatal);
  // The nodes leave the scene's drawing only for buffers that hold them: a
  // mesh the device refused (or too large to index) would otherwise vanish.
  const auto take = [&](GeometryObject* node, const VertexBuffer* buffer, std::string_view name) {
    if (!node) return;
    if (buffer) {
      node->SetVisible(false);
    } else if (node->vertexCount() > 0 && fatal) {
      fatal("FATAL ERROR in MakeEnvWater(): no vertex buffer for " + std::string(name));
    }
  };
  take(parts.sea, water->seaBuffer(), contract::kWater[0]);
  take(parts.foam, water->foamBuffer(), contract::kWater[1]);
  if (!water->usable()) return nullptr;
  return water;
}

}  // namespace brisane
