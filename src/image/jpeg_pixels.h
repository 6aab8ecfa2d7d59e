// Row operations after the inverse DCT: chroma upsampling and colour
// conversion, with the reference decoder's default ("fancy") rounding.
#pragma once

#include <cstdint>

namespace brisane {

// Doubles a row horizontally with 3/4 - 1/4 weights; in_width >= 1 samples in,
// 2 * in_width out.
void UpsampleRowH2V1(const std::uint8_t* in, int in_width, std::uint8_t* out, bool vector = true);

// Doubles a row both ways at once: near is the sample row this output row
// lies in, far the neighbouring one above or below it.
void UpsampleRowH2V2(const std::uint8_t* near, const std::uint8_t* far, int in_width, std::uint8_t* out,
                     bool vector = true);

// Vertical doubling only; upper is true for the upper output row of a pair.
void UpsampleRowH1V2(const std::uint8_t* near, const std::uint8_t* far, int in_width, bool upper, std::uint8_t* out);

// Replicates each sample factor times.
void ReplicateRow(const std::uint8_t* in, int in_width, int factor, std::uint8_t* out);

enum class JpegColourSpace { Grey, YCbCr, Rgb, Cmyk, Ycck };

// Converts width pixels from per-component rows into interleaved output:
// bgr (3 bytes a pixel, blue first) or rgba (4 bytes, alpha 255).
// Four-component data is taken as stored by the usual print software
// (inverted CMYK); red = C * K / 255 and so on, rounded.
// vector false: the portable arithmetic alone, as where SSE2 is missing
// (the same bytes; for tests). So too for the upsampling above.
void ConvertRow(JpegColourSpace space, const std::uint8_t* const* rows, int width, bool rgba, std::uint8_t* out,
                bool vector = true);

}  // namespace brisane
