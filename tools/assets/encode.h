// File formats the generator writes: baseline JFIF JPEG (through libjpeg),
// PCM WAV, PNG (stored deflate, for the review sheet) and Windows icons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canvas.h"

namespace brisane::assets {

using Bytes = std::vector<std::uint8_t>;

// Baseline, three components (YCbCr, no chroma subsampling), JFIF.
Bytes EncodeJpeg(const Image& image, int quality = 92);

// Mono PCM; samples in -1..1, clamped. bits is 8 (unsigned) or 16 (signed).
Bytes EncodeWav(const std::vector<float>& samples, int sampleRate, int bits);

// RGB PNG, 8 bits a channel.
Bytes EncodePng(const Image& image);

// One icon file with an image of each given size, 32-bit BGRA with its mask.
Bytes EncodeIcon(const std::vector<Image>& images);

}  // namespace brisane::assets
