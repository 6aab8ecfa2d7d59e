// The accurate integer inverse DCT of an 8x8 block (the reference decoder's
// "islow" arithmetic), with dequantisation folded in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisane {

// coef: 64 quantised coefficients in natural (row-major) order; quant: the
// matching quantisation table. Writes 8 rows of 8 samples, stride bytes apart.
// Dequantised values wrap to 16 bits and the intermediate rows saturate to 16
// bits, so damaged coefficients give some output but never undefined arithmetic.
void InverseDct(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride);

// The portable form; InverseDct uses SSE2 where the compiler targets it. Both
// give the same samples for any block a valid picture can hold.
void InverseDctScalar(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride);
#if defined(__SSE2__)
void InverseDctSse2(const std::int16_t* coef, const std::uint16_t* quant, std::uint8_t* out, std::size_t stride);
#endif

// Scaled decoding: the block straight to size x size samples (size 4, 2 or
// 1), each the average of the full-size samples it stands for, in the
// reference decoder's reduced arithmetic. Size 8 is InverseDct.
void InverseDctReduced(const std::int16_t* coef, const std::uint16_t* quant, int size, std::uint8_t* out,
                       std::size_t stride);

// The coefficients (bit i: natural position i) the transform of that size
// reads; the rest of a block can be dropped before it.
std::uint64_t ReducedDctInputs(int size);

}  // namespace brisane
