// JPEG decoding from memory into an interleaved pixel buffer whose layout the
// caller prescribes.
//
// Takes baseline and extended sequential (8-bit) and progressive Huffman JPEG
// with 1, 3 or 4 components, any integral sampling factors up to 4x4 and
// restart intervals. Arithmetic coding, lossless, hierarchical and 12-bit data
// are refused with kUnsupported. The inverse DCT, chroma upsampling and colour
// conversion are the integer ones of the usual reference decoder's defaults,
// so outputs agree with it sample for sample on ordinary pictures.
//
// Use: ReadParameters, then Decode with a layout (Layout() gives the usual
// one), then Release (or let the object go). The input bytes are not copied:
// they must outlive the calls that read them.
//
// Damaged data never makes it read or write outside the input and the
// caller's buffer: sizes are checked before anything is allocated, missing
// entropy data reads as zero bits (as in the usual decoder, so a truncated
// picture keeps its decoded part), a lost restart marker costs its interval
// only, and at most 500 scans are read (none after 8 that ran out of data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace brisane {

enum class JpegResult : int {
  kOk = 0,
  kNoParameters,   // Decode before a successful ReadParameters
  kNotJpeg,        // no start-of-image marker
  kTruncated,      // the data ends before the first scan
  kBadHeader,      // a malformed marker segment, table or frame
  kUnsupported,    // arithmetic, lossless, 12-bit, 2 or >4 components, fractional sampling
  kTooLarge,       // beyond kJpegMaxPixels
  kOutOfMemory,
  kBadLayout,      // the requested output does not fit the image or the buffer
  kCorruptData,    // damaged or truncated scan data: the picture is decoded as far as
                   // the data allows, missing coefficients read as zero
};

// A readable reason for a result, for tools and logs.
const char* JpegResultText(JpegResult result);

// Pictures above this many pixels are refused before anything is allocated:
// 32 Mi pixels (say 8192 x 4096) keeps the worst case — output, sample planes
// and progressive coefficients — within a 32-bit process.
inline constexpr std::uint64_t kJpegMaxPixels = std::uint64_t{1} << 25;

enum class JpegColourOrder : int {
  kBgr = 0,   // 3 channels: blue, green, red
  kRgba = 1,  // 4 channels: red, green, blue, alpha (always 255)
};

struct JpegOutput {
  std::uint8_t* pixels = nullptr;
  std::size_t size = 0;  // bytes available at pixels
  int width = 0;         // must equal the image width
  int height = 0;        // |height| must equal the image height; negative gives bottom-up rows
  int padding = 0;       // bytes after each row's pixels (left untouched)
  int channels = 0;      // 3 for kBgr, 4 for kRgba
  JpegColourOrder order = JpegColourOrder::kBgr;

  std::size_t Stride() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(padding);
  }
  std::size_t Bytes() const { return Stride() * static_cast<std::size_t>(height < 0 ? -height : height); }
};

class JpegDecoder {
 public:
  JpegDecoder();
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Reads the headers up to the first scan; pixels are not decoded.
  JpegResult ReadParameters(const std::uint8_t* data, std::size_t size);

  int Width() const;
  int Height() const;
  int Components() const;  // 1, 3 or 4
  bool Progressive() const;

  // The program's layout: bottom-up rows padded to a multiple of 4 bytes;
  // grey and three-component pictures as blue, green, red; four-component
  // (CMYK, YCCK) pictures converted to red, green, blue, alpha 255.
  // pixels and size are left for the caller.
  JpegOutput Layout() const;

  // Decodes the whole picture. The padding bytes are never written. kOk and
  // kCorruptData both leave every pixel of the buffer written; other results
  // leave the buffer as it was.
  JpegResult Decode(const JpegOutput& output);

  // Frees the tables and working memory; the object may be used again.
  void Release();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brisane
