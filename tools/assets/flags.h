// The country flags, each drawn from its construction sheet in that sheet's
// own units and supersampled.
#pragma once

#include <string_view>

#include "canvas.h"

namespace brisane::assets {

constexpr int kFlagCount = 25;
constexpr int kFirstFlagId = 1100;

// Country name of flag `index` (0 = Argentina ... 24 = United States), in the
// order of the configuration dialog's list.
std::string_view FlagName(int index);

// Flag `index` at pixelWidth pixels wide, in its official proportions.
Image DrawFlag(int index, int pixelWidth);

}  // namespace brisane::assets
