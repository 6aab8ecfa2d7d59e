// The country flags, each drawn from its construction sheet in that sheet's
// own units and supersampled.
#pragma once

#include <string_view>

#include "canvas.h"
#include "resources/resource_numbers.h"

namespace brisane::assets {

// The built-in flags, resources numbered in a run from kFirstFlagId.
constexpr int kFlagCount = static_cast<int>(resource::kFlagPictures.size());
constexpr int kFirstFlagId = resource::kFlagPictures[0];

// Country name of flag `index` (0 = Argentina ... 24 = United States), in the
// order of the configuration dialog's list.
std::string_view FlagName(int index);

// Flag `index` at pixelWidth pixels wide, in its official proportions.
Image DrawFlag(int index, int pixelWidth);

}  // namespace brisane::assets
