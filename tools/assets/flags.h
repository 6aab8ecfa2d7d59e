// The country flags, each drawn from its construction sheet in that sheet's
// own units and supersampled.
#pragma once

#include <string_view>

#include "canvas.h"
#include "show/ship_contract.h"

namespace brisane::assets {

// The built-in flags are FlagNum 2 to 26, resource FlagNum + 1098 each.
constexpr int kFlagCount = contract::kLastBuiltInFlag - contract::kCustomFlag;
constexpr int kFirstFlagId = contract::kCustomFlag + 1 + contract::kFlagResourceOffset;
static_assert(kFlagCount == 25 && kFirstFlagId == 1100);

// Country name of flag `index` (0 = Argentina ... 24 = United States), in the
// order of the configuration dialog's list.
std::string_view FlagName(int index);

// Flag `index` at pixelWidth pixels wide, in its official proportions.
Image DrawFlag(int index, int pixelWidth);

}  // namespace brisane::assets
