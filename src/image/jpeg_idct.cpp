#include "image/jpeg_idct.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisane {

namespace {

// Fixed-point constants with 13 fractional bits.
constexpr std::int32_t kF0298 = 2446;   // 0.298631336
constexpr std::int32_t kF0390 = 3196;   // 0.390180644
constexpr std::int32_t kF0541 = 4433;   // 0.541196100
constexpr std::int32_t kF0765 = 6270;   // 0.765366865
constexpr std::int32_t kF0899 = 7373;   // 0.899976223
constexpr std::int32_t kF1175 = 9633;   // 1.175875602
constexpr std::int32_t kF1501 = 12299;  // 1.501321110
constexpr std::int32_t kF1847 = 15137;  // 1.847759065
constexpr std::int32_t kF1961 = 16069;  // 1.961570560
constexpr std::int32_t kF2053 = 16819;  // 2.053119869
constexpr std::int32_t kF2562 = 20995;  // 2.562915447
constexpr std::int32_t kF3072 = 25172;  // 3.072711026
constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;

// One 8-point pass in 32-bit wrapping arithmetic: in[k] are the inputs,
// out[k] receives the results before descaling.
inline void Idct8(const std::int32_t* in, std::uint32_t* out) {
  using U = std::uint32_t;
  auto mul = [](std::int32_t v, std::int32_t c) { return static_cast<U>(v) * static_cast<U>(c); };
  // Even part.
  U z1 = mul(in[2] + in[6], kF0541);
  U tmp2 = z1 + mul(in[6], -kF1847);
  U tmp3 = z1 + mul(in[2], kF0765);
  U tmp0 = static_cast<U>(in[0] + in[4]) << kConstBits;
  U tmp1 = static_cast<U>(in[0] - in[4]) << kConstBits;
  const U tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  // Odd part.
  const std::int32_t o0 = in[7], o1 = in[5], o2 = in[3], o3 = in[1];
  const U z5 = mul(o0 + o2 + o1 + o3, kF1175);
  U a0 = mul(o0, kF0298), a1 = mul(o1, kF2053), a2 = mul(o2, kF3072), a3 = mul(o3, kF1501);
  const U y1 = mul(o0 + o3, -kF0899), y2 = mul(o1 + o2, -kF2562);
  const U y3 = mul(o0 + o2, -kF1961) + z5, y4 = mul(o1 + o3, -kF0390) + z5;
  a0 += y1 + y3;
  a1 += y2 + y4;
  a2 += y2 + y3;
  a3 += y1 + y4;
  out[0] = tmp10 + a3;
  out[7] = tmp10 - a3;
  out[1] = tmp11 + a2;
  out[6] = tmp11 - a2;
  out[2] = tmp12 + a1;
  out[5] = tmp12 - a1;
  out[3] = tmp13 + a0;
  out[4] = tmp13 - a0;
}

inline std::int32_t Descale(std::uint32_t v, int n) {
  return static_cast<std::int32_t>(v + (std::uint32_t{1} << (n - 1))) >> n;
}

}  // namespace

void InverseDctScalar(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride) {
  std::int32_t work[64];
  std::int32_t in[8];
  std::uint32_t res[8];
  for (int col = 0; col < 8; ++col) {
    for (int k = 0; k < 8; ++k) {
      in[k] = static_cast<std::int16_t>(coef[k * 8 + col] * quant[k * 8 + col]);
    }
    // Most columns hold only their DC term: the pass then gives it, scaled,
    // to all eight outputs (exactly what the full pass computes).
    if ((in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) == 0) {
      const std::int32_t dc = std::clamp(in[0] * (1 << kPass1Bits), -32768, 32767);
      for (int k = 0; k < 8; ++k) work[k * 8 + col] = dc;
      continue;
    }
    Idct8(in, res);
    for (int k = 0; k < 8; ++k) {
      work[k * 8 + col] = std::clamp(Descale(res[k], kConstBits - kPass1Bits), -32768, 32767);
    }
  }
  for (int row = 0; row < 8; ++row) {
    const std::int32_t* w = work + row * 8;
    std::uint8_t* o = out + static_cast<std::size_t>(row) * stride;
    if ((w[1] | w[2] | w[3] | w[4] | w[5] | w[6] | w[7]) == 0) {
      const std::uint8_t v = static_cast<std::uint8_t>(std::clamp(((w[0] + 16) >> 5) + 128, 0, 255));
      for (int k = 0; k < 8; ++k) o[k] = v;
      continue;
    }
    Idct8(w, res);
    for (int k = 0; k < 8; ++k) {
      const std::int32_t v = std::clamp(Descale(res[k], kConstBits + kPass1Bits + 3), -32768, 32767);
      o[k] = static_cast<std::uint8_t>(std::clamp(v + 128, 0, 255));
    }
  }
}

#if defined(__SSE2__)

namespace {

struct Wide {
  __m128i lo, hi;
};

inline Wide operator+(Wide a, Wide b) { return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)}; }
inline Wide operator-(Wide a, Wide b) { return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)}; }

// a * ca + b * cb for eight 16-bit lanes, as 32-bit results.
inline Wide Pair(__m128i a, __m128i b, std::int32_t ca, std::int32_t cb) {
  const __m128i c = _mm_set_epi16(static_cast<short>(cb), static_cast<short>(ca), static_cast<short>(cb),
                                  static_cast<short>(ca), static_cast<short>(cb), static_cast<short>(ca),
                                  static_cast<short>(cb), static_cast<short>(ca));
  return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), c), _mm_madd_epi16(_mm_unpackhi_epi16(a, b), c)};
}

// The rounding term is already in (added to the even part, which every
// output takes once).
inline __m128i DescalePack(Wide v, int n) {
  return _mm_packs_epi32(_mm_srai_epi32(v.lo, n), _mm_srai_epi32(v.hi, n));
}

// The same pass as Idct8 across eight lanes at once; results descaled by n
// and saturated to 16 bits.
[[gnu::always_inline]] inline void Idct8x8(const __m128i* in, __m128i* out, int n) {
  // Odd part first, then the even terms one pair at a time: in this order
  // fewer values are alive at once, and fewer spill.
  const __m128i z3 = _mm_add_epi16(in[7], in[3]);
  const __m128i z4 = _mm_add_epi16(in[5], in[1]);
  const Wide y3 = Pair(z3, z4, kF1175 - kF1961, kF1175);
  const Wide y4 = Pair(z3, z4, kF1175, kF1175 - kF0390);
  const Wide a0 = Pair(in[7], in[1], kF0298 - kF0899, -kF0899) + y3;
  const Wide a3 = Pair(in[7], in[1], -kF0899, kF1501 - kF0899) + y4;
  const Wide a1 = Pair(in[5], in[3], kF2053 - kF2562, -kF2562) + y4;
  const Wide a2 = Pair(in[5], in[3], -kF2562, kF3072 - kF2562) + y3;

  const __m128i round = _mm_set1_epi32(1 << (n - 1));
  const Wide tmp0 = Pair(in[0], in[4], 1 << kConstBits, 1 << kConstBits) + Wide{round, round};
  const Wide tmp3 = Pair(in[2], in[6], kF0541 + kF0765, kF0541);
  const Wide tmp10 = tmp0 + tmp3;
  out[0] = DescalePack(tmp10 + a3, n);
  out[7] = DescalePack(tmp10 - a3, n);
  const Wide tmp13 = tmp0 - tmp3;
  out[3] = DescalePack(tmp13 + a0, n);
  out[4] = DescalePack(tmp13 - a0, n);
  const Wide tmp1 = Pair(in[0], in[4], 1 << kConstBits, -(1 << kConstBits)) + Wide{round, round};
  const Wide tmp2 = Pair(in[2], in[6], kF0541, kF0541 - kF1847);
  const Wide tmp11 = tmp1 + tmp2;
  out[1] = DescalePack(tmp11 + a2, n);
  out[6] = DescalePack(tmp11 - a2, n);
  const Wide tmp12 = tmp1 - tmp2;
  out[2] = DescalePack(tmp12 + a1, n);
  out[5] = DescalePack(tmp12 - a1, n);
}

[[gnu::always_inline]] inline void Transpose8x8(const __m128i* in, __m128i* out) {
  const __m128i a0 = _mm_unpacklo_epi16(in[0], in[1]), a1 = _mm_unpackhi_epi16(in[0], in[1]);
  const __m128i a2 = _mm_unpacklo_epi16(in[2], in[3]), a3 = _mm_unpackhi_epi16(in[2], in[3]);
  const __m128i a4 = _mm_unpacklo_epi16(in[4], in[5]), a5 = _mm_unpackhi_epi16(in[4], in[5]);
  const __m128i a6 = _mm_unpacklo_epi16(in[6], in[7]), a7 = _mm_unpackhi_epi16(in[6], in[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  out[0] = _mm_unpacklo_epi64(b0, b4);
  out[1] = _mm_unpackhi_epi64(b0, b4);
  out[2] = _mm_unpacklo_epi64(b1, b5);
  out[3] = _mm_unpackhi_epi64(b1, b5);
  out[4] = _mm_unpacklo_epi64(b2, b6);
  out[5] = _mm_unpackhi_epi64(b2, b6);
  out[6] = _mm_unpacklo_epi64(b3, b7);
  out[7] = _mm_unpackhi_epi64(b3, b7);
}

}  // namespace

void InverseDctSse2(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride) {
  __m128i rows[8], work[8], cols[8];
  for (int k = 0; k < 8; ++k) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + k * 8));
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + k * 8));
    rows[k] = _mm_mullo_epi16(c, q);
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i ac_rows = _mm_or_si128(_mm_or_si128(_mm_or_si128(rows[1], rows[2]), _mm_or_si128(rows[3], rows[4])),
                                       _mm_or_si128(_mm_or_si128(rows[5], rows[6]), rows[7]));
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(ac_rows, _mm_srli_si128(rows[0], 2)), zero)) == 0xFFFF) {
    // The DC term alone (common in flat areas): both passes give one value,
    // worked out as they would.
    const int dc = std::clamp(static_cast<std::int16_t>(_mm_cvtsi128_si32(rows[0])) * 4, -32768, 32767);
    const __m128i v = _mm_set1_epi8(static_cast<char>(std::clamp(((dc + 16) >> 5) + 128, 0, 255)));
    for (int r = 0; r < 8; ++r) _mm_storel_epi64(reinterpret_cast<__m128i*>(out + static_cast<std::size_t>(r) * stride), v);
    return;
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(ac_rows, zero)) == 0xFFFF) {
    // Only the first row of coefficients: every column pass gives its input
    // times 4 (saturated) to all eight outputs, and so does Idct8x8.
    const __m128i twice = _mm_adds_epi16(rows[0], rows[0]);
    const __m128i dc4 = _mm_adds_epi16(twice, twice);
    for (int k = 0; k < 8; ++k) work[k] = dc4;
  } else {
    Idct8x8(rows, work, kConstBits - kPass1Bits);  // columns
  }
  Transpose8x8(work, cols);
  Idct8x8(cols, work, kConstBits + kPass1Bits + 3);  // rows, as lanes: work[k] holds output column k
  // To bytes with the level shift (a signed saturation then +128 is the
  // clamp to 0..255), then an 8x8 byte transpose into rows.
  const __m128i centre = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i p0 = _mm_xor_si128(_mm_packs_epi16(work[0], work[1]), centre);
  const __m128i p1 = _mm_xor_si128(_mm_packs_epi16(work[2], work[3]), centre);
  const __m128i p2 = _mm_xor_si128(_mm_packs_epi16(work[4], work[5]), centre);
  const __m128i p3 = _mm_xor_si128(_mm_packs_epi16(work[6], work[7]), centre);
  const __m128i u0 = _mm_unpacklo_epi8(p0, p1), u1 = _mm_unpackhi_epi8(p0, p1);
  const __m128i u2 = _mm_unpacklo_epi8(p2, p3), u3 = _mm_unpackhi_epi8(p2, p3);
  const __m128i v0 = _mm_unpacklo_epi8(u0, u1), v1 = _mm_unpackhi_epi8(u0, u1);  // columns 0-3 of rows 0-3, 4-7
  const __m128i v2 = _mm_unpacklo_epi8(u2, u3), v3 = _mm_unpackhi_epi8(u2, u3);  // columns 4-7
  const __m128i pairs[4] = {_mm_unpacklo_epi32(v0, v2), _mm_unpackhi_epi32(v0, v2), _mm_unpacklo_epi32(v1, v3),
                            _mm_unpackhi_epi32(v1, v3)};
  for (int r = 0; r < 4; ++r) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + static_cast<std::size_t>(2 * r) * stride), pairs[r]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + static_cast<std::size_t>(2 * r + 1) * stride),
                     _mm_srli_si128(pairs[r], 8));
  }
}

#endif

namespace {

// The reduced transforms' own constants, 13 fractional bits.
constexpr std::int32_t kF0211 = 1730;   // 0.211164243
constexpr std::int32_t kF0509 = 4176;   // 0.509795579
constexpr std::int32_t kF0601 = 4926;   // 0.601344887
constexpr std::int32_t kF0720 = 5906;   // 0.720959822
constexpr std::int32_t kF0850 = 6967;   // 0.850430095
constexpr std::int32_t kF1061 = 8697;   // 1.061594337
constexpr std::int32_t kF1272 = 10426;  // 1.272758580
constexpr std::int32_t kF1451 = 11893;  // 1.451774981
constexpr std::int32_t kF2172 = 17799;  // 2.172734803
constexpr std::int32_t kF3624 = 29692;  // 3.624509785

inline std::uint32_t Mul(std::int32_t v, std::int32_t c) {
  return static_cast<std::uint32_t>(v) * static_cast<std::uint32_t>(c);
}

// Eight inputs (the fifth is not used) to the four averages of neighbouring
// output pairs, before descaling.
inline void Idct8To4(const std::int32_t* in, std::uint32_t* out) {
  const std::uint32_t dc = static_cast<std::uint32_t>(in[0]) << (kConstBits + 1);
  const std::uint32_t even = Mul(in[2], kF1847) + Mul(in[6], -kF0765);
  const std::uint32_t t10 = dc + even, t12 = dc - even;
  const std::uint32_t odd0 = Mul(in[7], -kF0211) + Mul(in[5], kF1451) + Mul(in[3], -kF2172) + Mul(in[1], kF1061);
  const std::uint32_t odd2 = Mul(in[7], -kF0509) + Mul(in[5], -kF0601) + Mul(in[3], kF0899) + Mul(in[1], kF2562);
  out[0] = t10 + odd2;
  out[3] = t10 - odd2;
  out[1] = t12 + odd0;
  out[2] = t12 - odd0;
}

// Inputs 0, 1, 3, 5 and 7 to the two averages of four outputs each.
inline void Idct8To2(const std::int32_t* in, std::uint32_t* out) {
  const std::uint32_t dc = static_cast<std::uint32_t>(in[0]) << (kConstBits + 2);
  const std::uint32_t odd = Mul(in[7], -kF0720) + Mul(in[5], kF0850) + Mul(in[3], -kF1272) + Mul(in[1], kF3624);
  out[0] = dc + odd;
  out[1] = dc - odd;
}

inline std::int32_t Saturate16(std::int32_t v) { return std::clamp(v, -32768, 32767); }
inline std::uint8_t Sample(std::int32_t v) { return static_cast<std::uint8_t>(std::clamp(v + 128, 0, 255)); }

// Rows and columns of the block each reduced size reads (bit k: index k).
constexpr std::uint8_t ReducedLines(int size) {
  switch (size) {
    case 8: return 0xFF;
    case 4: return 0xEF;  // all but 4
    case 2: return 0xAB;  // 0, 1, 3, 5, 7
    default: return 0x01;
  }
}

}  // namespace

std::uint64_t ReducedDctInputs(int size) {
  const std::uint8_t lines = ReducedLines(size);
  std::uint64_t mask = 0;
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 8; ++c) {
      if ((lines >> r & 1) && (lines >> c & 1)) mask |= std::uint64_t{1} << (r * 8 + c);
    }
  }
  return mask;
}

void InverseDctReduced(const std::int16_t* coef, const std::uint16_t* quant, int size, std::uint8_t* out,
                       std::size_t stride) {
  // Dequantised values wrap to 16 bits as in the full transform.
  auto dequant = [&](int i) { return static_cast<std::int32_t>(static_cast<std::int16_t>(coef[i] * quant[i])); };
  if (size == 8) {
    InverseDct(coef, quant, out, stride);
    return;
  }
  if (size == 1) {
    out[0] = Sample(Descale(static_cast<std::uint32_t>(dequant(0)), 3));
    return;
  }
  const std::uint8_t lines = ReducedLines(size);
  std::int32_t work[32] = {};  // size rows of 8 columns
  std::int32_t in[8];
  std::uint32_t res[4];
  for (int col = 0; col < 8; ++col) {
    if (!(lines >> col & 1)) continue;
    for (int k = 0; k < 8; ++k) in[k] = (lines >> k & 1) ? dequant(k * 8 + col) : 0;
    if (size == 4) {
      Idct8To4(in, res);
    } else {
      Idct8To2(in, res);
    }
    const int shift = size == 4 ? kConstBits - kPass1Bits + 1 : kConstBits - kPass1Bits + 2;
    for (int r = 0; r < size; ++r) work[r * 8 + col] = Saturate16(Descale(res[r], shift));
  }
  const int shift = size == 4 ? kConstBits + kPass1Bits + 3 + 1 : kConstBits + kPass1Bits + 3 + 2;
  for (int r = 0; r < size; ++r) {
    if (size == 4) {
      Idct8To4(work + r * 8, res);
    } else {
      Idct8To2(work + r * 8, res);
    }
    std::uint8_t* o = out + static_cast<std::size_t>(r) * stride;
    for (int c = 0; c < size; ++c) o[c] = Sample(Saturate16(Descale(res[c], shift)));
  }
}

void InverseDct(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride) {
#if defined(__SSE2__)
  InverseDctSse2(coef, quant, out, stride);
#else
  InverseDctScalar(coef, quant, out, stride);
#endif
}

}  // namespace brisane
