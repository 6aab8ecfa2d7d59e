#include "image/jpeg_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "image/jpeg_idct.h"
#include "image/jpeg_pixels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brisane {

namespace {

// Zigzag position to natural position; the 16 extra entries catch runs that
// damaged data pushes past the end of a block.
constexpr std::array<std::uint8_t, 80> kNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13,
    6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31,
    39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63};

constexpr int kFastBits = 11;
constexpr int kMaxScans = 500;
constexpr int kMaxStarvedScans = 8;

struct Huffman {
  bool defined = false;
  std::uint8_t values[256] = {};
  std::uint16_t fast[1 << kFastBits] = {};    // length << 8 | symbol; 0: longer code
  std::int32_t fast_ac[1 << kFastBits] = {};  // value << 16 | run << 8 | bits used; 0: not a short pair
  std::int32_t maxcode[18] = {};
  std::int32_t valoffset[18] = {};
  bool dc_safe = true;  // every symbol <= 15, as a DC table needs

  // Canonical codes from the counts per length; false for an impossible table.
  // Only AC tables (ac) fill fast_ac. Each look-up run is filled at once: a
  // picture's tables are built twice (parameters, then decode), and small
  // pictures must not pay much for the lookahead.
  bool Build(const std::uint8_t* counts, const std::uint8_t* symbols, int total, bool ac) {
    std::memset(values, 0, sizeof values);
    std::memcpy(values, symbols, static_cast<std::size_t>(total));
    std::memset(fast, 0, sizeof fast);
    if (ac) std::memset(fast_ac, 0, sizeof fast_ac);
    dc_safe = true;
    for (int i = 0; i < total; ++i) dc_safe = dc_safe && values[i] <= 15;
    std::int32_t code = 0;
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
      valoffset[len] = k - code;
      for (int i = 0; i < counts[len - 1]; ++i, ++k, ++code) {
        if (code + 1 >= (std::int32_t{1} << len)) return false;  // too many codes; all-ones is reserved
        if (len > kFastBits) continue;
        const int shift = kFastBits - len, first = code << shift;
        std::fill(fast + first, fast + first + (1 << shift), static_cast<std::uint16_t>(len << 8 | values[k]));
        // Run/size pairs whose magnitude bits also fit in the lookahead.
        const int run = values[k] >> 4, size = values[k] & 15;
        if (!ac || size == 0 || size > shift) continue;
        const int rest = shift - size;
        for (int m = 0; m < (1 << size); ++m) {
          const int v = m < (1 << (size - 1)) ? m + 1 - (1 << size) : m;
          const std::int32_t entry = static_cast<std::int32_t>(
              static_cast<std::uint32_t>(v) << 16 | static_cast<std::uint32_t>(run) << 8 | static_cast<std::uint32_t>(len + size));
          std::fill(fast_ac + first + (m << rest), fast_ac + first + ((m + 1) << rest), entry);
        }
      }
      maxcode[len] = counts[len - 1] ? code - 1 : -1;
      code <<= 1;
    }
    maxcode[17] = 0x7FFFFFFF;
    defined = true;
    return true;
  }
};

// A reduced inverse DCT reads only some coefficients of a block, so a
// multi-scan picture decoded at a reduced scale keeps only those: packed in
// natural order, followed (progressive pictures) by a 64-bit mask of which
// of the others are non-zero, all that refinement scans need of them.
constexpr std::int16_t kMarkedNonZero = 1 << 14;  // stands for a dropped non-zero coefficient

struct Component {
  int id = 0, h = 1, v = 1, tq = 0;
  int blocks_w = 0, blocks_h = 0;          // blocks of the component (a scan of this component alone)
  int grid_w = 0, grid_h = 0;              // blocks padded to whole MCUs
  // At the decode's scale:
  int n = 8;                               // samples a block side gives (8, 4, 2 or 1)
  int width = 0, height = 0;               // samples of the component
  int plane_w = 0, plane_h = 0;            // padded to whole MCUs
  int ring_rows = 0;                       // rows of plane: two MCU rows, reused in turn
  int rh = 1, rv = 1;                      // upsampling to the output
  int kept = 64;                           // coefficients stored a block
  int coef_stride = 64;                    // int16 values stored a block
  std::array<std::int8_t, 64> slot{};      // natural position -> stored index, -1 if dropped
  std::array<std::uint8_t, 64> kept_natural{};
  std::vector<std::uint8_t> plane;         // samples after the inverse DCT
  std::vector<std::int16_t> coefs;         // whole-picture coefficients (multi-scan pictures)
  std::array<std::uint16_t, 64> quant{};   // latched at the component's first scan
  bool quant_latched = false;
  int dc_table = 0, ac_table = 0;
  int pred = 0;

  int ring_mask = -1;                      // ring_rows - 1 where that is a power of two
  std::uint8_t* Row(int r) {
    // A mask rather than a division where it can (once a block).
    const int at = ring_mask >= 0 ? r & ring_mask : r % ring_rows;
    return plane.data() + static_cast<std::size_t>(at) * static_cast<std::size_t>(plane_w);
  }
  bool Packed() const { return n != 8; }
};

// Sizes of a component at a scale, worked out without touching the component.
struct Geometry {
  int n, width, height, plane_w, plane_h, ring_rows, rh, rv, kept, coef_stride;
};

// Entropy-coded data, most significant bit first. At a marker or at the end of
// the data it feeds zero bits, as the usual decoder does, and says so.
struct BitReader {
  const std::uint8_t* p = nullptr;
  const std::uint8_t* end = nullptr;
  std::uint64_t acc = 0;  // left-aligned
  int count = 0;
  int marker = 0;         // a marker met inside the data; p rests on its 0xFF
  bool hit_end = false;   // ran out of data
  int fake = 0;           // zero bits at the tail of acc that no data stands behind
  bool starved = false;   // some of those zero bits were decoded

  // Whole bytes, up to eight at once, when none of them is 0xFF (stuffing or
  // a marker) and no zero bits were fed: most entropy data. False when the
  // byte-wise way must do it.
  [[gnu::always_inline]] static bool FastFill(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t& acc,
                                              int& count) {
    if (end - p < 8) return false;
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
    const std::uint64_t inv = ~w;
    if (((inv - 0x0101010101010101u) & ~inv & 0x8080808080808080u) != 0) return false;
    const int bytes = (64 - count) >> 3;
    acc |= (w >> (64 - 8 * bytes)) << (64 - count - 8 * bytes);
    p += bytes;
    count += 8 * bytes;
    return true;
  }
  // Refill in the caller's own accumulator: the usual case inline, the rest
  // through Fill.
  [[gnu::always_inline]] void Refill(std::uint64_t& a, int& n) {
    if (marker == 0 && !hit_end && fake == 0 && FastFill(p, end, a, n)) return;
    acc = a;
    count = n;
    Fill();
    a = acc;
    n = count;
  }

  // The byte-wise way, kept out of line: the block loops stay small.
  [[gnu::noinline]] void Fill() {
    if (fake > count) {
      starved = true;
      fake = count;
    }
    while (count <= 56) {
      std::uint32_t byte = 0;
      if (marker == 0 && !hit_end) {
        if (p >= end) {
          hit_end = true;
        } else if (*p != 0xFF) {
          byte = *p++;
        } else {
          const std::uint8_t* q = p + 1;
          while (q < end && *q == 0xFF) ++q;  // fill bytes
          if (q >= end) {
            hit_end = true;
            p = q;
          } else if (*q == 0) {
            byte = 0xFF;
            p = q + 1;
          } else {
            marker = *q;
            p = q - 1;
          }
        }
      }
      if (marker != 0 || hit_end) fake += 8;
      acc |= static_cast<std::uint64_t>(byte) << (56 - count);
      count += 8;
    }
  }
  // One Huffman symbol from the caller's accumulator, which holds at least 16
  // bits. A code the table does not hold marks the data corrupt and reads as 0.
  static int DecodeSymbol(std::uint64_t& acc, int& count, const Huffman& h, bool& corrupt) {
    const std::uint16_t f = h.fast[acc >> (64 - kFastBits)];
    if (f) {
      acc <<= f >> 8;
      count -= f >> 8;
      return f & 0xFF;
    }
    const std::int32_t code16 = static_cast<std::int32_t>(acc >> 48);
    for (int len = kFastBits + 1; len <= 16; ++len) {
      const std::int32_t code = code16 >> (16 - len);
      if (code <= h.maxcode[len]) {
        acc <<= len;
        count -= len;
        return h.values[(h.valoffset[len] + code) & 0xFF];
      }
    }
    acc <<= 16;
    count -= 16;
    corrupt = true;
    return 0;
  }
  // Whether the decoding so far needed bits the data did not have.
  bool Starved() const { return starved || fake > count; }
  void Reset() {
    acc = 0;
    count = 0;
    fake = 0;
    starved = false;
  }
};

// For each row of a block and each pattern of non-zero coefficients in it,
// the same coefficients as zigzag positions (bit k: position k).
constexpr auto kRowZigzag = [] {
  std::array<int, 64> zigzag{};  // natural position -> zigzag position
  for (int k = 0; k < 64; ++k) zigzag[kNatural[static_cast<std::size_t>(k)]] = k;
  std::array<std::array<std::uint64_t, 256>, 8> t{};
  for (std::size_t r = 0; r < 8; ++r) {
    for (std::size_t bits = 0; bits < 256; ++bits) {
      for (std::size_t c = 0; c < 8; ++c) {
        if (bits >> c & 1) t[r][bits] |= std::uint64_t{1} << zigzag[r * 8 + c];
      }
    }
  }
  return t;
}();

// The non-zero coefficients of a block as zigzag positions.
inline std::uint64_t NonZeroZigzag(const std::int16_t* block) {
  std::uint64_t mask = 0;
  for (int r = 0; r < 8; ++r) {
    unsigned bits = 0;
#if defined(__SSE2__)
    const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * r));
    const __m128i zero16 = _mm_cmpeq_epi16(row, _mm_setzero_si128());
    bits = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(zero16, zero16))) & 0xFF;
#else
    for (int c = 0; c < 8; ++c) bits |= static_cast<unsigned>(block[8 * r + c] != 0) << c;
#endif
    mask |= kRowZigzag[static_cast<std::size_t>(r)][bits];
  }
  return mask;
}

// Zeroes the 64 coefficients of a block: plain vector stores, where the
// compiler's own memset of this size is a slow string instruction.
inline void ClearBlock(std::int16_t* block) {
#if defined(__SSE2__)
  __m128i zero = _mm_setzero_si128();
#if defined(__GNUC__)
  __asm__("" : "+x"(zero));  // an opaque zero: the stores stay stores
#endif
  __m128i* const at = reinterpret_cast<__m128i*>(block);
  _mm_storeu_si128(at, zero);
  _mm_storeu_si128(at + 1, zero);
  _mm_storeu_si128(at + 2, zero);
  _mm_storeu_si128(at + 3, zero);
  _mm_storeu_si128(at + 4, zero);
  _mm_storeu_si128(at + 5, zero);
  _mm_storeu_si128(at + 6, zero);
  _mm_storeu_si128(at + 7, zero);
#else
  std::memset(block, 0, 64 * sizeof(std::int16_t));
#endif
}

inline int Extend(int v, int n) { return v < (1 << (n - 1)) ? v + 1 - (1 << n) : v; }

// The same without branches (the sign of a difference is anybody's guess),
// and for n = 0 too: 0 then.
inline int ExtendAny(int v, int n) {
  const int negative = (((v << 1) >> n) & 1) - 1;  // -1 when the top bit is clear
  return v + (negative & (1 - (1 << n)));
}

bool ValidScale(int scale) { return scale == 1 || scale == 2 || scale == 4 || scale == 8; }

}  // namespace

struct JpegDecoder::State {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  bool have_parameters = false;

  int width = 0, height = 0;
  bool progressive = false;
  std::vector<Component> comps;
  int hmax = 1, vmax = 1, mcus_x = 0, mcus_y = 0;
  int first_scan_count = 0;  // components of the first scan; fewer than all: coefficients are kept

  // The decode's scale: output size and the smallest block size.
  int min_n = 8, out_w = 0, out_h = 0;
  JpegColourSpace space = JpegColourSpace::YCbCr;
  bool saw_jfif = false, saw_adobe = false;
  int adobe_transform = -1;

  std::array<std::array<std::uint16_t, 64>, 4> qt{};
  std::array<bool, 4> qt_defined{};
  Huffman dc[4], ac[4];
  int restart_interval = 0;

  // Current scan.
  int scan_comps[4] = {};
  int scan_count = 0;
  int ss = 0, se = 63, ah = 0, al = 0;
  int eobrun = 0;
  BitReader br;
  bool corrupt = false;
  bool scan_starved = false;  // the current scan ran out of data somewhere
  bool buffered = false;
  int rows_emitted = 0;

  // Output.
  JpegOutput out;
  bool vector = true;  // SSE2 forms where built for them
  std::vector<std::vector<std::uint8_t>> upsampled;

  void ResetHeaders() {
    pos = 0;
    width = height = 0;
    progressive = false;
    comps.clear();
    first_scan_count = 0;
    saw_jfif = saw_adobe = false;
    adobe_transform = -1;
    qt_defined = {};
    for (auto& h : dc) h.defined = false;
    for (auto& h : ac) h.defined = false;
    restart_interval = 0;
    corrupt = false;
  }

  bool Has(std::size_t n) const { return pos <= size && size - pos >= n; }
  int U8() { return data[pos++]; }
  int U16() {
    const int v = data[pos] << 8 | data[pos + 1];
    pos += 2;
    return v;
  }

  // The next marker code at or after pos, skipping stray bytes; 0 at the end.
  int NextMarker() {
    while (pos < size) {
      if (data[pos] != 0xFF) {
        ++pos;
        continue;
      }
      while (pos < size && data[pos] == 0xFF) ++pos;
      if (pos >= size) break;
      const int code = data[pos++];
      if (code != 0) return code;
    }
    return 0;
  }

  static int Scaled(int size, int scale) { return (size + scale - 1) / scale; }
  Geometry GeometryOf(const Component& c, int scale) const;
  std::uint64_t WorkBytes(int scale) const;
  bool WithinLimits(int scale) const;
  void ApplyScale(int scale);

  JpegResult ReadHeaders();
  JpegResult ReadSegment(int marker, int length);
  JpegResult ReadFrame(int marker, int length);
  JpegResult ReadScanHeader(int length);
  JpegResult Allocate();
  JpegResult RunScans();
  JpegResult DecodeScan();
  bool Restart(int& expected);
  void DecodeBlockSequential(Component& c, std::int16_t* block);
  void DecodeBlockProgressive(Component& c, std::int16_t* block);
  void DecodeStoredBlock(Component& c, std::int16_t* stored);
  void Transform(Component& c, const std::int16_t* block, int row, int col);
  // Rows of output whose samples (and the row below, for smoothing) are in
  // once MCU row my is through the inverse DCT.
  int RowsReady(int my, int my_count, bool single, const Component& first) const;
  void EmitRows(int limit);
  void EmitRow(int y);
};

Geometry JpegDecoder::State::GeometryOf(const Component& c, int scale) const {
  Geometry g{};
  const int min = 8 / scale;
  // Subsampled components take a larger block where that spares upsampling,
  // as the usual decoder does: chroma of 4:2:0 at 1/2 comes out of full
  // 8x8 blocks, already at the luma's size.
  g.n = min;
  while (g.n < 8 && (hmax * min) % (c.h * g.n * 2) == 0 && (vmax * min) % (c.v * g.n * 2) == 0) g.n *= 2;
  const auto cover = [](int size, int factor, int n, int max) {
    return static_cast<int>((static_cast<std::int64_t>(size) * factor * n + max * 8 - 1) / (max * 8));
  };
  g.width = cover(width, c.h, g.n, hmax);
  g.height = cover(height, c.v, g.n, vmax);
  g.plane_w = mcus_x * c.h * g.n;
  g.plane_h = mcus_y * c.v * g.n;
  g.ring_rows = std::min(g.plane_h, 2 * c.v * g.n);
  g.rh = hmax * min / (c.h * g.n);
  g.rv = vmax * min / (c.v * g.n);
  g.kept = std::popcount(ReducedDctInputs(g.n));
  g.coef_stride = g.n == 8 ? 64 : g.kept + (progressive ? 4 : 0);
  return g;
}

std::uint64_t JpegDecoder::State::WorkBytes(int scale) const {
  const bool keeps_coefficients = progressive || first_scan_count != static_cast<int>(comps.size());
  std::uint64_t bytes = 0;
  for (const Component& c : comps) {
    const Geometry g = GeometryOf(c, scale);
    // Sample rings and the upsampled row.
    bytes += static_cast<std::uint64_t>(g.plane_w) * static_cast<std::uint64_t>(g.ring_rows + g.rh) + 16;
    if (keeps_coefficients) {
      bytes += static_cast<std::uint64_t>(c.grid_w) * static_cast<std::uint64_t>(c.grid_h) *
               static_cast<std::uint64_t>(g.coef_stride) * sizeof(std::int16_t);
    }
  }
  return bytes;
}

bool JpegDecoder::State::WithinLimits(int scale) const {
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(Scaled(width, scale)) * static_cast<std::uint64_t>(Scaled(height, scale));
  return pixels <= kJpegMaxPixels && WorkBytes(scale) <= kJpegMaxWorkBytes;
}

void JpegDecoder::State::ApplyScale(int scale) {
  min_n = 8 / scale;
  out_w = Scaled(width, scale);
  out_h = Scaled(height, scale);
  for (Component& c : comps) {
    const Geometry g = GeometryOf(c, scale);
    c.n = g.n;
    c.width = g.width;
    c.height = g.height;
    c.plane_w = g.plane_w;
    c.plane_h = g.plane_h;
    c.ring_rows = g.ring_rows;
    c.ring_mask = std::has_single_bit(static_cast<unsigned>(g.ring_rows)) ? g.ring_rows - 1 : -1;
    c.rh = g.rh;
    c.rv = g.rv;
    c.kept = g.kept;
    c.coef_stride = g.coef_stride;
    const std::uint64_t inputs = ReducedDctInputs(g.n);
    int next = 0;
    for (int i = 0; i < 64; ++i) {
      const bool keep = (inputs >> i & 1) != 0;
      c.slot[static_cast<std::size_t>(i)] = static_cast<std::int8_t>(keep ? next : -1);
      if (keep) c.kept_natural[static_cast<std::size_t>(next++)] = static_cast<std::uint8_t>(i);
    }
  }
}

const char* JpegResultText(JpegResult result) {
  switch (result) {
    case JpegResult::Ok: return "ok";
    case JpegResult::NoParameters: return "the picture's parameters were not read";
    case JpegResult::NotJpeg: return "not JPEG data (no start-of-image marker)";
    case JpegResult::Truncated: return "the data ends before the picture starts";
    case JpegResult::BadHeader: return "malformed JPEG header";
    case JpegResult::Unsupported:
      return "unsupported JPEG kind (arithmetic, lossless, hierarchical, 12-bit, fractional sampling or 2 or more "
             "than 4 components)";
    case JpegResult::TooLarge: return "picture too large to decode at this scale";
    case JpegResult::OutOfMemory: return "out of memory";
    case JpegResult::BadLayout: return "the output layout does not fit the picture or the buffer";
    case JpegResult::CorruptData: return "damaged or truncated picture data";
  }
  return "unknown result";
}

JpegResult JpegDecoder::State::ReadHeaders() {
  ResetHeaders();
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return JpegResult::NotJpeg;
  pos = 2;
  for (;;) {
    const int marker = NextMarker();
    if (marker == 0) return JpegResult::Truncated;
    if (marker == 0xD9) return comps.empty() ? JpegResult::Truncated : JpegResult::BadHeader;  // no image
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length
    if (marker == 0xD8) return JpegResult::BadHeader;
    if (!Has(2)) return JpegResult::Truncated;
    const int length = U16();
    if (length < 2) return JpegResult::BadHeader;
    if (!Has(static_cast<std::size_t>(length - 2))) return JpegResult::Truncated;
    const std::size_t next = pos + static_cast<std::size_t>(length - 2);
    if (marker == 0xDA) {
      if (comps.empty()) return JpegResult::BadHeader;  // a scan before the frame
      first_scan_count = length > 2 ? data[pos] : 0;
      pos -= 4;  // the scan is read again by the decode
      // Refused when even the smallest output would not fit the limits.
      return WithinLimits(8) ? JpegResult::Ok : JpegResult::TooLarge;
    }
    const JpegResult r = ReadSegment(marker, length - 2);
    if (r != JpegResult::Ok) return r;
    pos = next;
  }
}

// Any marker segment but SOS; pos is just after its length field.
JpegResult JpegDecoder::State::ReadSegment(int marker, int length) {
  const std::size_t end = pos + static_cast<std::size_t>(length);
  switch (marker) {
    case 0xC0: case 0xC1: case 0xC2:
      if (!comps.empty()) return JpegResult::BadHeader;  // a second frame
      return ReadFrame(marker, length);
    case 0xC3: case 0xC5: case 0xC6: case 0xC7: case 0xC9: case 0xCA: case 0xCB:
    case 0xCD: case 0xCE: case 0xCF: case 0xCC:
      return JpegResult::Unsupported;  // lossless, hierarchical or arithmetic
    case 0xC4:  // DHT
      while (pos < end) {
        if (end - pos < 17) return JpegResult::BadHeader;
        const int tc_th = U8();
        const int tc = tc_th >> 4, th = tc_th & 15;
        if (tc > 1 || th > 3) return JpegResult::BadHeader;
        std::uint8_t counts[16];
        int total = 0;
        for (int i = 0; i < 16; ++i) total += counts[i] = static_cast<std::uint8_t>(U8());
        if (total > 256 || end - pos < static_cast<std::size_t>(total)) return JpegResult::BadHeader;
        Huffman& h = tc == 0 ? dc[th] : ac[th];
        if (!h.Build(counts, data + pos, total, tc == 1)) return JpegResult::BadHeader;
        pos += static_cast<std::size_t>(total);
      }
      return JpegResult::Ok;
    case 0xDB:  // DQT
      while (pos < end) {
        const int pq_tq = U8();
        const int pq = pq_tq >> 4, tq = pq_tq & 15;
        if (pq > 1 || tq > 3) return JpegResult::BadHeader;
        if (end - pos < static_cast<std::size_t>(pq ? 128 : 64)) return JpegResult::BadHeader;
        for (int i = 0; i < 64; ++i) qt[tq][kNatural[i]] = static_cast<std::uint16_t>(pq ? U16() : U8());
        qt_defined[tq] = true;
      }
      return JpegResult::Ok;
    case 0xDD:  // DRI
      if (length < 2) return JpegResult::BadHeader;
      restart_interval = U16();
      return JpegResult::Ok;
    case 0xE0:  // APP0: JFIF
      if (length >= 14 && std::memcmp(data + pos, "JFIF\0", 5) == 0) saw_jfif = true;
      return JpegResult::Ok;
    case 0xEE:  // APP14: Adobe, with the colour transform flag
      if (length >= 12 && std::memcmp(data + pos, "Adobe", 5) == 0) {
        saw_adobe = true;
        adobe_transform = data[pos + 11];
      }
      return JpegResult::Ok;
    default:  // comments, other application data, DNL, ...
      return JpegResult::Ok;
  }
}

JpegResult JpegDecoder::State::ReadFrame(int marker, int length) {
  if (length < 6) return JpegResult::BadHeader;
  const int precision = U8();
  height = U16();
  width = U16();
  const int count = U8();
  if (precision != 8) return JpegResult::Unsupported;
  if (count != 1 && count != 3 && count != 4) return count == 0 ? JpegResult::BadHeader : JpegResult::Unsupported;
  if (length < 6 + 3 * count) return JpegResult::BadHeader;
  if (width == 0) return JpegResult::BadHeader;
  if (height == 0) return JpegResult::Unsupported;  // height given later by a DNL marker
  const std::uint64_t smallest =
      static_cast<std::uint64_t>(Scaled(width, 8)) * static_cast<std::uint64_t>(Scaled(height, 8));
  if (smallest > kJpegMaxPixels) return JpegResult::TooLarge;  // even at 1/8
  progressive = marker == 0xC2;
  comps.resize(static_cast<std::size_t>(count));
  hmax = vmax = 1;
  for (int i = 0; i < count; ++i) {
    Component& c = comps[static_cast<std::size_t>(i)];
    c.id = U8();
    const int hv = U8();
    c.h = hv >> 4;
    c.v = hv & 15;
    c.tq = U8();
    if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.tq > 3) return JpegResult::BadHeader;
    for (int j = 0; j < i; ++j) {
      if (comps[static_cast<std::size_t>(j)].id == c.id) return JpegResult::BadHeader;
    }
    hmax = std::max(hmax, c.h);
    vmax = std::max(vmax, c.v);
  }
  mcus_x = (width + 8 * hmax - 1) / (8 * hmax);
  mcus_y = (height + 8 * vmax - 1) / (8 * vmax);
  for (Component& c : comps) {
    if (hmax % c.h != 0 || vmax % c.v != 0) return JpegResult::Unsupported;  // fractional sampling
    c.blocks_w = ((width * c.h + hmax - 1) / hmax + 7) / 8;
    c.blocks_h = ((height * c.v + vmax - 1) / vmax + 7) / 8;
    c.grid_w = mcus_x * c.h;
    c.grid_h = mcus_y * c.v;
  }
  return JpegResult::Ok;
}

JpegResult JpegDecoder::State::ReadScanHeader(int length) {
  if (length < 1) return JpegResult::BadHeader;
  scan_count = U8();
  if (scan_count < 1 || scan_count > 4 || length != 4 + 2 * scan_count) return JpegResult::BadHeader;
  int blocks = 0;
  for (int i = 0; i < scan_count; ++i) {
    const int id = U8(), tables = U8();
    int index = -1;
    for (std::size_t j = 0; j < comps.size(); ++j) {
      if (comps[j].id == id) index = static_cast<int>(j);
    }
    if (index < 0) return JpegResult::BadHeader;
    for (int j = 0; j < i; ++j) {
      if (scan_comps[j] == index) return JpegResult::BadHeader;
    }
    scan_comps[i] = index;
    Component& c = comps[static_cast<std::size_t>(index)];
    c.dc_table = tables >> 4;
    c.ac_table = tables & 15;
    if (c.dc_table > 3 || c.ac_table > 3) return JpegResult::BadHeader;
    blocks += c.h * c.v;
  }
  ss = U8();
  se = U8();
  const int a = U8();
  ah = a >> 4;
  al = a & 15;
  if (scan_count > 1 && blocks > 10) return JpegResult::BadHeader;
  if (progressive) {
    const bool dc_scan = ss == 0;
    if (se > 63 || ss > se || (dc_scan && se != 0) || (!dc_scan && scan_count != 1) || al > 13 ||
        (ah != 0 && al != ah - 1)) {
      return JpegResult::BadHeader;
    }
  } else {
    ss = 0;
    se = 63;
    ah = al = 0;
  }
  // Tables this scan reads must exist, and DC tables must give sizes <= 15.
  for (int i = 0; i < scan_count; ++i) {
    Component& c = comps[static_cast<std::size_t>(scan_comps[i])];
    const bool needs_dc = ss == 0 && ah == 0;
    const bool needs_ac = se > 0;
    if (needs_dc && (!dc[c.dc_table].defined || !dc[c.dc_table].dc_safe)) return JpegResult::BadHeader;
    if (needs_ac && !ac[c.ac_table].defined) return JpegResult::BadHeader;
    if (!c.quant_latched) {
      if (!qt_defined[static_cast<std::size_t>(c.tq)]) return JpegResult::BadHeader;
      c.quant = qt[static_cast<std::size_t>(c.tq)];
      c.quant_latched = true;
    }
    c.pred = 0;
  }
  return JpegResult::Ok;
}

JpegResult JpegDecoder::State::Allocate() {
  try {
    std::size_t row_bytes = 0;
    for (Component& c : comps) {
      c.plane.assign(static_cast<std::size_t>(c.plane_w) * static_cast<std::size_t>(c.ring_rows), 0);
      if (buffered) {
        c.coefs.assign(static_cast<std::size_t>(c.grid_w) * static_cast<std::size_t>(c.grid_h) *
                           static_cast<std::size_t>(c.coef_stride),
                       0);
      }
      row_bytes = std::max(row_bytes, static_cast<std::size_t>(c.plane_w) * static_cast<std::size_t>(c.rh) + 16);
    }
    upsampled.assign(comps.size(), std::vector<std::uint8_t>(row_bytes, 0));
  } catch (const std::bad_alloc&) {
    return JpegResult::OutOfMemory;
  }
  return JpegResult::Ok;
}

void JpegDecoder::State::DecodeBlockSequential(Component& c, std::int16_t* block) {
  // The accumulator lives in locals so that it stays in registers; the
  // reader sees it again only to refill.
  std::uint64_t acc = br.acc;
  int count = br.count;
  auto ensure = [&] {
    if (count < 32) br.Refill(acc, count);
  };
  auto bits = [&](int n) {  // n in 1..16
    const int v = static_cast<int>(acc >> (64 - n));
    acc <<= n;
    count -= n;
    return v;
  };
  const Huffman& hd = dc[c.dc_table];
  const Huffman& ha = ac[c.ac_table];
  ensure();
  const int s = BitReader::DecodeSymbol(acc, count, hd, corrupt);  // at most 15
  const int diff = ExtendAny(static_cast<int>((acc >> 1) >> (63 - s)), s);
  acc <<= s;
  count -= s;
  c.pred = static_cast<int>(static_cast<unsigned>(c.pred) + static_cast<unsigned>(diff));
  block[0] = static_cast<std::int16_t>(c.pred);
  // The table through a plain pointer: a simpler address in the loop's
  // critical chain (look-up, shift, look-up).
  const std::int32_t* const fast_ac = ha.fast_ac;
  for (int k = 1; k < 64;) {
    ensure();
    const std::int32_t fa = fast_ac[acc >> (64 - kFastBits)];
    if (fa) {
      acc <<= fa & 0xFF;
      count -= fa & 0xFF;
      k += (fa >> 8) & 0xFF;
      block[kNatural[static_cast<std::size_t>(k)]] = static_cast<std::int16_t>(fa >> 16);
      ++k;
      continue;
    }
    const int rs = BitReader::DecodeSymbol(acc, count, ha, corrupt);
    const int run = rs >> 4, size = rs & 15;
    if (size) {
      k += run;
      block[kNatural[static_cast<std::size_t>(k)]] = static_cast<std::int16_t>(Extend(bits(size), size));
      ++k;
    } else {
      if (run != 15) break;
      k += 16;
    }
  }
  br.acc = acc;
  br.count = count;
}

void JpegDecoder::State::DecodeBlockProgressive(Component& c, std::int16_t* block) {
  // As in DecodeBlockSequential, the accumulator is kept in locals.
  std::uint64_t acc = br.acc;
  int count = br.count;
  auto ensure = [&] {
    if (count < 32) br.Refill(acc, count);
  };
  auto bits = [&](int n) {  // n in 1..16
    const int v = static_cast<int>(acc >> (64 - n));
    acc <<= n;
    count -= n;
    return v;
  };
  auto decode = [&](const Huffman& h) {
    ensure();
    return BitReader::DecodeSymbol(acc, count, h, corrupt);
  };
  auto shifted = [&](int v) { return static_cast<std::int16_t>(static_cast<unsigned>(v) << al); };
  auto done = [&] {
    br.acc = acc;
    br.count = count;
  };

  if (ss == 0) {  // DC scans
    if (ah == 0) {
      const int s = decode(dc[c.dc_table]);
      ensure();
      const int diff = s ? Extend(bits(s), s) : 0;
      c.pred = static_cast<int>(static_cast<unsigned>(c.pred) + static_cast<unsigned>(diff));
      block[0] = shifted(c.pred);
    } else {
      ensure();
      if (bits(1)) block[0] = static_cast<std::int16_t>(block[0] | (1 << al));
    }
    done();
    return;
  }
  const Huffman& h = ac[c.ac_table];
  if (ah == 0) {  // first AC scan of a band
    if (eobrun > 0) {
      --eobrun;
      return;
    }
    for (int k = ss; k <= se; ++k) {
      ensure();
      // Short run/size pairs with their magnitude bits in one look-up.
      const std::int32_t fa = h.fast_ac[acc >> (64 - kFastBits)];
      if (fa) {
        acc <<= fa & 0xFF;
        count -= fa & 0xFF;
        k += (fa >> 8) & 0xFF;
        block[kNatural[static_cast<std::size_t>(k)]] = shifted(fa >> 16);
        continue;
      }
      const int rs = BitReader::DecodeSymbol(acc, count, h, corrupt);
      const int run = rs >> 4, size = rs & 15;
      if (size) {
        k += run;
        ensure();
        block[kNatural[static_cast<std::size_t>(k)]] = shifted(Extend(bits(size), size));
      } else if (run == 15) {
        k += 15;
      } else {
        eobrun = 1 << run;
        ensure();
        if (run) eobrun += bits(run);
        --eobrun;
        break;
      }
    }
    done();
    return;
  }
  // Refinement of an AC band: one more bit of every coefficient already
  // non-zero, and new coefficients of magnitude 1.
  const int p1 = 1 << al, m1 = -1 * (1 << al);
  auto refine = [&](std::int16_t& coef) {
    ensure();
    if (bits(1) && (coef & p1) == 0) coef = static_cast<std::int16_t>(coef >= 0 ? coef + p1 : coef + m1);
  };
  int k = ss;
  if (eobrun == 0) {
    for (; k <= se; ++k) {
      const int rs = decode(h);
      int run = rs >> 4;
      int value = 0;
      if (rs & 15) {
        ensure();
        value = bits(1) ? p1 : m1;
      } else if (run != 15) {
        eobrun = 1 << run;
        ensure();
        if (run) eobrun += bits(run);
        break;
      }
      do {
        std::int16_t& coef = block[kNatural[static_cast<std::size_t>(k)]];
        if (coef != 0) {
          refine(coef);
        } else {
          if (--run < 0) break;
        }
        ++k;
      } while (k <= se);
      if (value) block[kNatural[static_cast<std::size_t>(k)]] = static_cast<std::int16_t>(value);
    }
  }
  if (eobrun > 0) {
    // Only the non-zero coefficients take a bit: straight to each of them.
    if (k <= se) {
      std::uint64_t pending = NonZeroZigzag(block) & (~std::uint64_t{0} << k) & (~std::uint64_t{0} >> (63 - se));
      while (pending != 0) {
        refine(block[kNatural[static_cast<std::size_t>(std::countr_zero(pending))]]);
        pending &= pending - 1;
      }
    }
    --eobrun;
  }
  done();
}

void JpegDecoder::State::DecodeStoredBlock(Component& c, std::int16_t* stored) {
  if (!c.Packed()) {
    if (progressive) {
      DecodeBlockProgressive(c, stored);
    } else {
      ClearBlock(stored);
      DecodeBlockSequential(c, stored);
    }
    return;
  }
  if (progressive && ss == 0) {
    DecodeBlockProgressive(c, stored);  // DC scans touch coefficient 0 alone, stored first
    return;
  }
  if (progressive && ah == 0 && eobrun > 0) {
    --eobrun;  // inside an end-of-band run: nothing to read or store
    return;
  }
  alignas(16) std::int16_t block[64] = {};
  if (!progressive) {
    DecodeBlockSequential(c, block);
    for (int i = 0; i < c.kept; ++i) stored[i] = block[c.kept_natural[static_cast<std::size_t>(i)]];
    return;
  }
  // Only the scan's band is read and written back: coefficients outside it
  // that damaged data reaches are dropped.
  std::uint64_t mask;
  std::memcpy(&mask, stored + c.kept, sizeof mask);
  for (int k = ss; k <= se; ++k) {
    const int at = kNatural[static_cast<std::size_t>(k)];
    const int slot = c.slot[static_cast<std::size_t>(at)];
    block[at] = slot >= 0 ? stored[slot] : ((mask >> at & 1) ? kMarkedNonZero : std::int16_t{0});
  }
  DecodeBlockProgressive(c, block);
  for (int k = ss; k <= se; ++k) {
    const int at = kNatural[static_cast<std::size_t>(k)];
    const int slot = c.slot[static_cast<std::size_t>(at)];
    if (slot >= 0) {
      stored[slot] = block[at];
    } else if (block[at] != 0) {
      mask |= std::uint64_t{1} << at;
    } else {
      mask &= ~(std::uint64_t{1} << at);
    }
  }
  std::memcpy(stored + c.kept, &mask, sizeof mask);
}

void JpegDecoder::State::Transform(Component& c, const std::int16_t* block, int row, int col) {
  std::uint8_t* out = c.Row(row * c.n) + static_cast<std::size_t>(col) * static_cast<std::size_t>(c.n);
  if (c.n == 8) {
    (vector ? InverseDct : InverseDctScalar)(block, c.quant.data(), out, static_cast<std::size_t>(c.plane_w));
  } else {
    InverseDctReduced(block, c.quant.data(), c.n, out, static_cast<std::size_t>(c.plane_w));
  }
}

int JpegDecoder::State::RowsReady(int my, int my_count, bool single, const Component& first) const {
  if (my + 1 == my_count) return out_h;
  return single ? (my + 1) * first.n : (my + 1) * vmax * min_n - vmax;
}

// At the end of a restart interval: the marker should be the expected RSTn.
// Mirrors the usual decoder's resynchronisation, so a damaged interval costs
// that interval only. Returns false at the end of the data.
bool JpegDecoder::State::Restart(int& expected) {
  if (br.Starved()) scan_starved = true;
  br.Reset();
  int marker = br.marker;
  if (marker != 0) {
    pos = static_cast<std::size_t>(br.p - data) + 2;
  } else {
    pos = static_cast<std::size_t>(br.p - data);
    marker = NextMarker();
  }
  const int want = 0xD0 + expected;
  while (marker != 0 && marker != want) {
    corrupt = true;
    int action;
    if (marker < 0xC0) {
      action = 2;  // not a real marker: look further
    } else if (marker < 0xD0 || marker > 0xD7) {
      action = 3;  // a marker that ends the scan
    } else if (marker == 0xD0 + ((expected + 1) & 7) || marker == 0xD0 + ((expected + 2) & 7)) {
      action = 3;  // a later restart: this interval is lost
    } else if (marker == 0xD0 + ((expected - 1) & 7) || marker == 0xD0 + ((expected - 2) & 7)) {
      action = 2;  // an earlier one: skip ahead
    } else {
      action = 1;  // too far off to tell: take it as the expected one
    }
    if (action == 1) break;
    if (action == 3) {
      // Left in place: the reader feeds zeros until it is dealt with.
      br.marker = marker;
      br.p = data + pos - 2;
      expected = (expected + 1) & 7;
      eobrun = 0;
      for (int i = 0; i < scan_count; ++i) comps[static_cast<std::size_t>(scan_comps[i])].pred = 0;
      return true;
    }
    marker = NextMarker();
  }
  if (marker == 0) {
    corrupt = true;
    br.p = data + size;
    br.marker = 0;
    br.hit_end = true;
    return false;
  }
  br.p = data + pos;
  br.marker = 0;
  expected = (expected + 1) & 7;
  eobrun = 0;
  for (int i = 0; i < scan_count; ++i) comps[static_cast<std::size_t>(scan_comps[i])].pred = 0;
  return true;
}

JpegResult JpegDecoder::State::DecodeScan() {
  br = BitReader{};
  scan_starved = false;
  br.p = data + pos;
  br.end = data + size;
  eobrun = 0;
  int expected = 0;
  int since_restart = 0;
  const bool single = scan_count == 1;
  const Component& first = comps[static_cast<std::size_t>(scan_comps[0])];
  const int mx_count = single ? first.blocks_w : mcus_x;
  const int my_count = single ? first.blocks_h : mcus_y;
  alignas(16) std::int16_t block[64];

  for (int my = 0; my < my_count; ++my) {
    for (int mx = 0; mx < mx_count; ++mx) {
      if (restart_interval && since_restart == restart_interval) {
        Restart(expected);
        since_restart = 0;
      }
      ++since_restart;
      for (int i = 0; i < scan_count; ++i) {
        Component& c = comps[static_cast<std::size_t>(scan_comps[i])];
        const int bh = single ? 1 : c.h, bv = single ? 1 : c.v;
        for (int by = 0; by < bv; ++by) {
          for (int bx = 0; bx < bh; ++bx) {
            const int col = single ? mx : mx * c.h + bx;
            const int row = single ? my : my * c.v + by;
            if (buffered) {
              const std::size_t index =
                  static_cast<std::size_t>(row) * static_cast<std::size_t>(c.grid_w) + static_cast<std::size_t>(col);
              DecodeStoredBlock(c, c.coefs.data() + index * static_cast<std::size_t>(c.coef_stride));
            } else {
              ClearBlock(block);
              DecodeBlockSequential(c, block);
              Transform(c, block, row, col);
            }
          }
        }
      }
    }
    if (!buffered) EmitRows(RowsReady(my, my_count, single, first));
  }
  if (br.Starved()) scan_starved = true;
  if (scan_starved) corrupt = true;
  // The reader never passes a marker: the scan's end marker is at or after p.
  pos = static_cast<std::size_t>(br.p - data);
  return JpegResult::Ok;
}

JpegResult JpegDecoder::State::RunScans() {
  bool first_scan = true;
  int scans = 0, starved_scans = 0;
  for (;;) {
    const int marker = NextMarker();
    if (marker == 0) {
      corrupt = true;  // no end-of-image marker
      break;
    }
    if (marker == 0xD9) break;
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    if (!Has(2)) {
      corrupt = true;
      break;
    }
    const int length = U16();
    if (length < 2 || !Has(static_cast<std::size_t>(length - 2))) {
      corrupt = true;
      break;
    }
    const std::size_t next = pos + static_cast<std::size_t>(length - 2);
    if (marker == 0xDA) {
      const JpegResult r = ReadScanHeader(length - 2);
      if (r != JpegResult::Ok) {
        if (first_scan) return r;
        corrupt = true;
        break;
      }
      if (first_scan) {
        buffered = progressive || scan_count != static_cast<int>(comps.size());
        const JpegResult a = Allocate();
        if (a != JpegResult::Ok) return a;
        first_scan = false;
      }
      // Each scan walks the whole picture, data or not: damaged data made of
      // many empty scans must not keep the decoder busy for minutes. Real
      // pictures have a dozen scans or so, and none runs out of data.
      if (++scans > kMaxScans || starved_scans >= kMaxStarvedScans) {
        corrupt = true;
        break;
      }
      pos = next;
      DecodeScan();
      if (scan_starved) ++starved_scans;
      if (!buffered) {
        const int after = NextMarker();
        if (after != 0xD9) corrupt = true;
        return JpegResult::Ok;
      }
      continue;
    }
    if ((marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)) {
      corrupt = true;  // a second frame
      break;
    }
    if (marker == 0xCC) {
      corrupt = true;
      break;
    }
    if (ReadSegment(marker, length - 2) != JpegResult::Ok) {
      corrupt = true;
      break;
    }
    pos = next;
  }
  if (first_scan) return JpegResult::CorruptData;  // never reached a scan
  return JpegResult::Ok;
}

void JpegDecoder::State::EmitRows(int limit) {
  limit = std::min(limit, out_h);
  while (rows_emitted < limit) EmitRow(rows_emitted++);
}

void JpegDecoder::State::EmitRow(int y) {
  const std::uint8_t* rows[4] = {};
  // Smoothing reads neighbouring sample rows, which the usual decoder does
  // not keep at 1/8; samples are replicated there.
  const bool fancy = min_n > 1;
  for (std::size_t i = 0; i < comps.size(); ++i) {
    Component& c = comps[i];
    const int rh = c.rh, rv = c.rv;
    auto plane_row = [&](int r) { return c.Row(std::clamp(r, 0, c.height - 1)); };
    std::uint8_t* buf = upsampled[i].data();
    if (rh == 1 && rv == 1) {
      rows[i] = plane_row(y);
      continue;
    }
    const bool fancy_h = fancy && c.width > 2;
    if (rh == 2 && rv == 1 && fancy_h) {
      UpsampleRowH2V1(plane_row(y), c.width, buf, vector);
    } else if (rh == 1 && rv == 2 && fancy) {
      const int cy = y / 2;
      const bool upper = (y & 1) == 0;
      UpsampleRowH1V2(plane_row(cy), plane_row(upper ? cy - 1 : cy + 1), c.width, upper, buf);
    } else if (rh == 2 && rv == 2 && fancy_h) {
      const int cy = y / 2;
      const bool upper = (y & 1) == 0;
      UpsampleRowH2V2(plane_row(cy), plane_row(upper ? cy - 1 : cy + 1), c.width, buf, vector);
    } else {
      ReplicateRow(plane_row(y / rv), c.width, rh, buf);
    }
    rows[i] = buf;
  }
  const int out_row = out.height < 0 ? out_h - 1 - y : y;
  ConvertRow(space, rows, out_w, out.order == JpegColourOrder::Rgba,
             out.pixels + static_cast<std::size_t>(out_row) * out.Stride(), vector);
}

JpegDecoder::JpegDecoder() : state_(std::make_unique<State>()) {}
JpegDecoder::~JpegDecoder() = default;

JpegResult JpegDecoder::ReadParameters(const std::uint8_t* data, std::size_t size) {
  State& s = *state_;
  s.have_parameters = false;
  if (data == nullptr) return JpegResult::NotJpeg;
  s.data = data;
  s.size = size;
  const JpegResult r = s.ReadHeaders();
  if (r != JpegResult::Ok) return r;
  // The colour interpretation, guessed the usual way when no marker says it.
  const std::size_t n = s.comps.size();
  if (n == 1) {
    s.space = JpegColourSpace::Grey;
  } else if (n == 3) {
    if (s.saw_jfif) {
      s.space = JpegColourSpace::YCbCr;
    } else if (s.saw_adobe) {
      s.space = s.adobe_transform == 0 ? JpegColourSpace::Rgb : JpegColourSpace::YCbCr;
    } else {
      const bool rgb_ids = s.comps[0].id == 'R' && s.comps[1].id == 'G' && s.comps[2].id == 'B';
      s.space = rgb_ids ? JpegColourSpace::Rgb : JpegColourSpace::YCbCr;
    }
  } else {
    s.space = s.saw_adobe && s.adobe_transform != 0 ? JpegColourSpace::Ycck : JpegColourSpace::Cmyk;
  }
  s.have_parameters = true;
  return JpegResult::Ok;
}

int JpegDecoder::Width() const { return state_->have_parameters ? state_->width : 0; }
int JpegDecoder::Height() const { return state_->have_parameters ? state_->height : 0; }
int JpegDecoder::Components() const {
  return state_->have_parameters ? static_cast<int>(state_->comps.size()) : 0;
}
bool JpegDecoder::Progressive() const { return state_->have_parameters && state_->progressive; }

int JpegDecoder::ScaledWidth(int scale) const {
  return state_->have_parameters && ValidScale(scale) ? State::Scaled(state_->width, scale) : 0;
}

int JpegDecoder::ScaledHeight(int scale) const {
  return state_->have_parameters && ValidScale(scale) ? State::Scaled(state_->height, scale) : 0;
}

int JpegDecoder::ScaleFor(int max_width, int max_height) const {
  const State& s = *state_;
  if (!s.have_parameters) return 0;
  int scale = 1;
  while (scale < 8 && ((max_width > 0 && State::Scaled(s.width, scale) > max_width) ||
                       (max_height > 0 && State::Scaled(s.height, scale) > max_height))) {
    scale *= 2;
  }
  // Output and working memory shrink with the scale; the smallest always
  // fits once the parameters were read.
  while (scale < 8 && !s.WithinLimits(scale)) scale *= 2;
  return scale;
}

JpegOutput JpegDecoder::Layout(int scale) const {
  JpegOutput o;
  if (!state_->have_parameters || !ValidScale(scale)) return o;
  const bool four = state_->comps.size() == 4;
  o.scale = scale;
  o.width = ScaledWidth(scale);
  o.height = -ScaledHeight(scale);
  o.channels = four ? 4 : 3;
  o.order = four ? JpegColourOrder::Rgba : JpegColourOrder::Bgr;
  const int row = o.width * o.channels;
  o.padding = (4 - row % 4) % 4;
  return o;
}

JpegResult JpegDecoder::Decode(const JpegOutput& output, JpegArithmetic arithmetic) {
  State& s = *state_;
  if (!s.have_parameters) return JpegResult::NoParameters;
  const int expected_channels = output.order == JpegColourOrder::Rgba ? 4 : 3;
  if (!ValidScale(output.scale)) return JpegResult::BadLayout;
  const int width = State::Scaled(s.width, output.scale), height = State::Scaled(s.height, output.scale);
  if (output.pixels == nullptr || output.width != width || (output.height != height && output.height != -height) ||
      output.channels != expected_channels ||
      (output.order != JpegColourOrder::Bgr && output.order != JpegColourOrder::Rgba) || output.padding < 0) {
    return JpegResult::BadLayout;
  }
  const std::uint64_t stride = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(expected_channels) +
                               static_cast<std::uint64_t>(output.padding);
  if (stride * static_cast<std::uint64_t>(height) > output.size) return JpegResult::BadLayout;
  if (!s.WithinLimits(output.scale)) return JpegResult::TooLarge;
  // Tables and frame are read again: Decode may follow any earlier Decode.
  if (s.ReadHeaders() != JpegResult::Ok) return JpegResult::BadHeader;
  s.ApplyScale(output.scale);
  s.out = output;
  s.vector = arithmetic != JpegArithmetic::Portable;
  s.rows_emitted = 0;
  s.buffered = false;
  JpegResult r = s.RunScans();
  if (r == JpegResult::Ok && s.buffered) {
    // Whatever the scans delivered goes through the inverse DCT now, an MCU
    // row at a time into the sample rings, each row passed on when ready.
    alignas(16) std::int16_t block[64];
    for (int my = 0; my < s.mcus_y; ++my) {
      for (Component& c : s.comps) {
        for (int row = my * c.v; row < (my + 1) * c.v; ++row) {
          for (int col = 0; col < c.grid_w; ++col) {
            const std::size_t index =
                static_cast<std::size_t>(row) * static_cast<std::size_t>(c.grid_w) + static_cast<std::size_t>(col);
            const std::int16_t* stored = c.coefs.data() + index * static_cast<std::size_t>(c.coef_stride);
            if (c.Packed()) {
              ClearBlock(block);
              for (int i = 0; i < c.kept; ++i) block[c.kept_natural[static_cast<std::size_t>(i)]] = stored[i];
              stored = block;
            }
            s.Transform(c, stored, row, col);
          }
        }
      }
      s.EmitRows(s.RowsReady(my, s.mcus_y, false, s.comps.front()));
    }
  }
  if (r == JpegResult::Ok || r == JpegResult::CorruptData) {
    if (s.comps.front().plane.empty()) return JpegResult::CorruptData;  // never allocated
    s.EmitRows(s.out_h);
    if (s.corrupt) r = JpegResult::CorruptData;
  }
  for (Component& c : s.comps) {
    c.plane = {};
    c.coefs = {};
  }
  s.upsampled = {};
  return r;
}

void JpegDecoder::Release() { state_ = std::make_unique<State>(); }

}  // namespace brisane
