// Review sheets for a person to look over the generated content: one contact
// sheet of every picture with its number, and per sound its waveform over its
// spectrogram (PNG files), and an index of numbers, files and titles.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "generator.h"

namespace brisane::assets {

std::vector<std::pair<std::string, Bytes>> ReviewSheets(const std::vector<Asset>& assets);

// Magnitude spectrum (bins 0..n/2-1) of n samples from `start` under a Hann
// window; n a power of two.
std::vector<double> Spectrum(const std::vector<float>& samples, std::size_t start, std::size_t n);

}  // namespace brisane::assets
