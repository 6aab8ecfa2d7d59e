#include "image/jpeg_pixels.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisane {

namespace {

// Doubling a row: out[2i] = (3 s[i] + s[i-1] + even_bias) >> shift and
// out[2i+1] = (3 s[i] + s[i+1] + odd_bias) >> shift for i in [0, n); s[-1]
// and s[n] hold the neighbours (the edge sample itself at the row's ends,
// which gives the reference's special cases there).
void Interpolate(const std::int16_t* s, int n, int even_bias, int odd_bias, int shift, std::uint8_t* out,
                 [[maybe_unused]] bool vector) {
  int i = 0;
#if defined(__SSE2__)
  const int vector_end = vector ? n : 0;
  const __m128i eb = _mm_set1_epi16(static_cast<short>(even_bias));
  const __m128i ob = _mm_set1_epi16(static_cast<short>(odd_bias));
  for (; i + 8 <= vector_end; i += 8) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i - 1));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
    const __m128i c3 = _mm_add_epi16(_mm_add_epi16(c, c), c);
    const __m128i e = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, l), eb), shift);
    const __m128i o = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, r), ob), shift);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i),
                     _mm_packus_epi16(_mm_unpacklo_epi16(e, o), _mm_unpackhi_epi16(e, o)));
  }
#endif
  for (; i < n; ++i) {
    const int c3 = s[i] * 3;
    out[2 * i] = static_cast<std::uint8_t>((c3 + s[i - 1] + even_bias) >> shift);
    out[2 * i + 1] = static_cast<std::uint8_t>((c3 + s[i + 1] + odd_bias) >> shift);
  }
}

constexpr int kChunk = 256;

}  // namespace

void UpsampleRowH2V1(const std::uint8_t* in, int in_width, std::uint8_t* out, bool vector) {
  std::int16_t s[kChunk + 2];
  for (int start = 0; start < in_width; start += kChunk) {
    const int n = std::min(kChunk, in_width - start);
    s[0] = in[std::max(start - 1, 0)];
    for (int k = 0; k < n; ++k) s[k + 1] = in[start + k];
    s[n + 1] = in[std::min(start + n, in_width - 1)];
    Interpolate(s + 1, n, 1, 2, 2, out + 2 * start, vector);
  }
}

void UpsampleRowH2V2(const std::uint8_t* near, const std::uint8_t* far, int in_width, std::uint8_t* out,
                     bool vector) {
  // Vertical sums first (3:1), then the same horizontal step in sixteenths.
  std::int16_t s[kChunk + 2];
  auto sum = [&](int i) { return static_cast<std::int16_t>(near[i] * 3 + far[i]); };
  for (int start = 0; start < in_width; start += kChunk) {
    const int n = std::min(kChunk, in_width - start);
    s[0] = sum(std::max(start - 1, 0));
    int k = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; vector && k + 8 <= n; k += 8) {
      const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near + start + k)), zero);
      const __m128i f = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(far + start + k)), zero);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(s + k + 1), _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(a, a), a), f));
    }
#endif
    for (; k < n; ++k) s[k + 1] = sum(start + k);
    s[n + 1] = sum(std::min(start + n, in_width - 1));
    Interpolate(s + 1, n, 8, 7, 4, out + 2 * start, vector);
  }
}

void UpsampleRowH1V2(const std::uint8_t* near, const std::uint8_t* far, int in_width, bool upper, std::uint8_t* out) {
  const int bias = upper ? 1 : 2;
  for (int i = 0; i < in_width; ++i) out[i] = static_cast<std::uint8_t>((near[i] * 3 + far[i] + bias) >> 2);
}

void ReplicateRow(const std::uint8_t* in, int in_width, int factor, std::uint8_t* out) {
  if (factor == 1) {
    std::memcpy(out, in, static_cast<std::size_t>(in_width));
    return;
  }
  for (int i = 0; i < in_width; ++i) {
    for (int k = 0; k < factor; ++k) *out++ = in[i];
  }
}

namespace {

// YCbCr to RGB with 16 fractional bits, rounding as the reference tables do.
constexpr int kCrR = 91881;   // 1.40200
constexpr int kCbB = 116130;  // 1.77200
constexpr int kCrG = 46802;   // 0.71414
constexpr int kCbG = 22554;   // 0.34414
constexpr int kHalf = 1 << 15;

inline std::uint8_t Clamp255(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline void YccToRgb(int y, int cb, int cr, int& r, int& g, int& b) {
  cb -= 128;
  cr -= 128;
  r = Clamp255(y + ((kCrR * cr + kHalf) >> 16));
  g = Clamp255(y + ((-kCbG * cb + kHalf - kCrG * cr) >> 16));
  b = Clamp255(y + ((kCbB * cb + kHalf) >> 16));
}

inline std::uint8_t Ink(int value, int k) { return static_cast<std::uint8_t>((value * k + 127) / 255); }

#if defined(__SSE2__)
// Eight pixels of YCbCr (chroma less 128) to red, green and blue words, the
// same arithmetic as YccToRgb. Red: kCrR = 65536 + 26345, so the term is
// cr + ((26345 * cr + kHalf) >> 16), and that shift is exactly
// ((2 * cr * 26345 >> 16) + 1) >> 1, a pmulhw. Blue likewise with
// kCbB = 2 * 65536 - 14942. Green: -kCrG = -65536 + 18734, the rest by
// pmaddwd.
[[gnu::always_inline]] inline void YccToRgb8(__m128i y, __m128i cb, __m128i cr, __m128i& r, __m128i& g, __m128i& b) {
  static_assert(kCrR == 65536 + 26345 && kCbB == 2 * 65536 - 14942 && kCrG == 65536 - 18734);
  const __m128i one = _mm_set1_epi16(1);
  const __m128i cr2 = _mm_add_epi16(cr, cr), cb2 = _mm_add_epi16(cb, cb);
  const __m128i rterm =
      _mm_add_epi16(cr, _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(cr2, _mm_set1_epi16(26345)), one), 1));
  const __m128i bterm =
      _mm_add_epi16(cb2, _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(cb2, _mm_set1_epi16(-14942)), one), 1));
  const __m128i kg = _mm_set_epi16(18734, -kCbG, 18734, -kCbG, 18734, -kCbG, 18734, -kCbG);
  const __m128i half = _mm_set1_epi32(kHalf);
  const __m128i glo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb, cr), kg), half), 16);
  const __m128i ghi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb, cr), kg), half), 16);
  const __m128i gterm = _mm_sub_epi16(_mm_packs_epi32(glo, ghi), cr);
  r = _mm_add_epi16(y, rterm);
  g = _mm_add_epi16(y, gterm);
  b = _mm_add_epi16(y, bterm);
}

// Sixteen pixels to 48 bytes of blue-green-red at out, and up to 2 bytes
// after them written with junk.
[[gnu::always_inline]] inline void YccToBgr16(const std::uint8_t* yp, const std::uint8_t* cbp, const std::uint8_t* crp, std::uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i c128 = _mm_set1_epi16(128);
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yp));
  const __m128i cb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cbp));
  const __m128i cr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(crp));
  __m128i r0, g0, b0, r1, g1, b1;
  YccToRgb8(_mm_unpacklo_epi8(y, zero), _mm_sub_epi16(_mm_unpacklo_epi8(cb, zero), c128),
            _mm_sub_epi16(_mm_unpacklo_epi8(cr, zero), c128), r0, g0, b0);
  YccToRgb8(_mm_unpackhi_epi8(y, zero), _mm_sub_epi16(_mm_unpackhi_epi8(cb, zero), c128),
            _mm_sub_epi16(_mm_unpackhi_epi8(cr, zero), c128), r1, g1, b1);
  const __m128i bb = _mm_packus_epi16(b0, b1), gg = _mm_packus_epi16(g0, g1), rr = _mm_packus_epi16(r0, r1);
  const __m128i bg_lo = _mm_unpacklo_epi8(bb, gg), bg_hi = _mm_unpackhi_epi8(bb, gg);
  const __m128i r_lo = _mm_unpacklo_epi8(rr, zero), r_hi = _mm_unpackhi_epi8(rr, zero);
  // Blue-green-red-zero words to 3-byte pixels: two pixels per 64-bit lane,
  // stored 6 bytes apart; the 2 spare bytes of each store are overwritten by
  // the next one.
  const __m128i low = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i high = _mm_set_epi32(0xFFFF, static_cast<int>(0xFF000000u), 0xFFFF, static_cast<int>(0xFF000000u));
  auto store4 = [&](__m128i px, std::uint8_t* at) {
    const __m128i q = _mm_or_si128(_mm_and_si128(px, low), _mm_and_si128(_mm_srli_epi64(px, 8), high));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at), q);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 6), _mm_srli_si128(q, 8));
  };
  store4(_mm_unpacklo_epi16(bg_lo, r_lo), out);
  store4(_mm_unpackhi_epi16(bg_lo, r_lo), out + 12);
  store4(_mm_unpacklo_epi16(bg_hi, r_hi), out + 24);
  store4(_mm_unpackhi_epi16(bg_hi, r_hi), out + 36);
}
#endif

}  // namespace

void ConvertRow(JpegColourSpace space, const std::uint8_t* const* rows, int width, bool rgba, std::uint8_t* out,
                [[maybe_unused]] bool vector) {
  const int step = rgba ? 4 : 3;
  const int ri = rgba ? 0 : 2, bi = rgba ? 2 : 0;
  switch (space) {
    case JpegColourSpace::Grey: {
      const std::uint8_t* y = rows[0];
      for (int i = 0; i < width; ++i, out += step) {
        out[0] = out[1] = out[2] = y[i];
        if (rgba) out[3] = 255;
      }
      return;
    }
    case JpegColourSpace::YCbCr: {
      const std::uint8_t *y = rows[0], *cb = rows[1], *cr = rows[2];
      int i = 0;
#if defined(__SSE2__)
      if (!rgba && vector && width >= 16) {
        // Sixteen pixels a round while at least one pixel follows them (the
        // stores run 2 bytes over); the last 16 go through a scratch copy.
        for (; i + 16 < width; i += 16, out += 48) YccToBgr16(y + i, cb + i, cr + i, out);
        alignas(16) std::uint8_t last[48 + 2];
        const int from = width - 16;
        YccToBgr16(y + from, cb + from, cr + from, last);
        std::memcpy(out, last + 3 * (i - from), static_cast<std::size_t>(3 * (width - i)));
        return;
      }
#endif
      for (; i < width; ++i, out += step) {
        int r, g, b;
        YccToRgb(y[i], cb[i], cr[i], r, g, b);
        out[ri] = static_cast<std::uint8_t>(r);
        out[1] = static_cast<std::uint8_t>(g);
        out[bi] = static_cast<std::uint8_t>(b);
        if (rgba) out[3] = 255;
      }
      return;
    }
    case JpegColourSpace::Rgb:
      for (int i = 0; i < width; ++i, out += step) {
        out[ri] = rows[0][i];
        out[1] = rows[1][i];
        out[bi] = rows[2][i];
        if (rgba) out[3] = 255;
      }
      return;
    case JpegColourSpace::Cmyk:
    case JpegColourSpace::Ycck:
      for (int i = 0; i < width; ++i, out += step) {
        int c = rows[0][i], m = rows[1][i], yel = rows[2][i];
        const int k = rows[3][i];
        if (space == JpegColourSpace::Ycck) {
          int r, g, b;
          YccToRgb(c, m, yel, r, g, b);
          c = 255 - r;
          m = 255 - g;
          yel = 255 - b;
        }
        out[ri] = Ink(c, k);
        out[1] = Ink(m, k);
        out[bi] = Ink(yel, k);
        if (rgba) out[3] = 255;
      }
      return;
  }
}

}  // namespace brisane
