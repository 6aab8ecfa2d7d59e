// JPEG decoding from memory into an interleaved pixel buffer whose layout the
// caller prescribes.
//
// Takes baseline and extended sequential (8-bit) and progressive Huffman JPEG
// with 1, 3 or 4 components, any integral sampling factors up to 4x4 and
// restart intervals. Arithmetic coding, lossless, hierarchical and 12-bit data
// are refused with Unsupported. The inverse DCT, chroma upsampling and colour
// conversion are the integer ones of the usual reference decoder's defaults,
// so outputs agree with it sample for sample on ordinary pictures.
//
// Use: ReadParameters, then Decode with a layout (Layout() gives the usual
// one), then Release (or let the object go). The input bytes are not copied:
// they must outlive the calls that read them.
//
// Large pictures can be decoded at 1/2, 1/4 or 1/8 of their size straight
// from the coefficients (ScaleFor picks the scale for a size limit), with the
// usual decoder's reduced transforms; multi-scan pictures then keep only the
// coefficients those transforms read.
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
  Ok = 0,
  NoParameters,    // Decode before a successful ReadParameters
  NotJpeg,         // no start-of-image marker
  Truncated,       // the data ends before the first scan
  BadHeader,       // a malformed marker segment, table or frame
  Unsupported,     // arithmetic, lossless, 12-bit, 2 or >4 components, fractional sampling
  TooLarge,        // beyond kJpegMaxPixels or kJpegMaxWorkBytes
  OutOfMemory,
  BadLayout,       // the requested output does not fit the image or the buffer
  CorruptData,     // damaged or truncated scan data: the picture is decoded as far as
                   // the data allows, missing coefficients read as zero
};

// A readable reason for a result, for tools and logs.
const char* JpegResultText(JpegResult result);

// Outputs above this many pixels are refused before anything is allocated,
// and pictures whose smallest output (1/8) is above it already when their
// parameters are read: 32 Mi pixels, say 8192 x 4096.
inline constexpr std::uint64_t kJpegMaxPixels = std::uint64_t{1} << 25;

// Working memory of one decode besides the caller's buffer: progressive and
// multi-scan pictures hold their coefficients until the last scan, and their
// declared size alone must not make that huge. A decode that would need more
// is refused before anything is allocated (TooLarge); a reduced scale needs
// less. 128 MiB holds a 24-megapixel 4:2:0 progressive picture whole
// (72 MB); at 1/8 the same picture needs 15 MB.
inline constexpr std::uint64_t kJpegMaxWorkBytes = std::uint64_t{1} << 27;

enum class JpegColourOrder : int {
  Bgr = 0,    // 3 channels: blue, green, red
  Rgba = 1,   // 4 channels: red, green, blue, alpha (always 255)
};

struct JpegOutput {
  std::uint8_t* pixels = nullptr;
  std::size_t size = 0;  // bytes available at pixels
  int scale = 1;         // 1, 2, 4 or 8: the picture at 1/scale of its size
  int width = 0;         // must equal the image width at that scale (ScaledWidth)
  int height = 0;        // |height| must equal ScaledHeight; negative gives bottom-up rows
  int padding = 0;       // bytes after each row's pixels (left untouched)
  int channels = 0;      // 3 for Bgr, 4 for Rgba
  JpegColourOrder order = JpegColourOrder::Bgr;

  std::size_t Stride() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(padding);
  }
  std::size_t Bytes() const { return Stride() * static_cast<std::size_t>(height < 0 ? -height : height); }
};

// The arithmetic a decode uses: the SSE2 forms where the build targets SSE2,
// or the portable forms alone. Both give the same bytes; Portable is there
// so that tests can hold the two side by side.
enum class JpegArithmetic : int { Fastest = 0, Portable = 1 };

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
  // The output size at 1/scale (1, 2, 4 or 8), rounded up; 0 for other scales.
  int ScaledWidth(int scale) const;
  int ScaledHeight(int scale) const;
  // The least reduction whose output fits max_width x max_height (0: no
  // bound) and the memory limits; 8 where no scale fits the bounds. 0 before
  // the parameters were read.
  int ScaleFor(int max_width, int max_height) const;
  int Components() const;  // 1, 3 or 4
  bool Progressive() const;

  // The program's layout: bottom-up rows padded to a multiple of 4 bytes;
  // grey and three-component pictures as blue, green, red; four-component
  // (CMYK, YCCK) pictures converted to red, green, blue, alpha 255.
  // pixels and size are left for the caller. At a scale other than 1, 2, 4
  // or 8 the layout is empty.
  JpegOutput Layout(int scale = 1) const;

  // Decodes the whole picture at the layout's scale. The padding bytes are
  // never written. Ok and CorruptData both leave every pixel of the buffer
  // written; other results leave the buffer as it was.
  JpegResult Decode(const JpegOutput& output, JpegArithmetic arithmetic = JpegArithmetic::Fastest);

  // Frees the tables and working memory; the object may be used again.
  void Release();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace brisane
