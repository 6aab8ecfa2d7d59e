// The resources of resource_list.inc as constants of the code, with the
// whole list in order and the built-in flags' pictures.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brisane::resource {

enum class Kind { Icon, Scene, Jpeg, Wav, Flag };

struct Entry {
  std::uint16_t number;
  Kind kind;
};

#define BRISANE_NAMED(number, name) inline constexpr std::uint16_t name = number;
#define BRISANE_ICON(number, name) BRISANE_NAMED(number, name)
#define BRISANE_SCENE(number, name) BRISANE_NAMED(number, name)
#define BRISANE_JPEG(number, name) BRISANE_NAMED(number, name)
#define BRISANE_WAV(number, name) BRISANE_NAMED(number, name)
#define BRISANE_FLAG(number)
#include "resources/resource_list.inc"
#undef BRISANE_ICON
#undef BRISANE_SCENE
#undef BRISANE_JPEG
#undef BRISANE_WAV
#undef BRISANE_FLAG
#undef BRISANE_NAMED

// Every entry in list order.
inline constexpr std::array kAll = {
#define BRISANE_ICON(number, name) Entry{number, Kind::Icon},
#define BRISANE_SCENE(number, name) Entry{number, Kind::Scene},
#define BRISANE_JPEG(number, name) Entry{number, Kind::Jpeg},
#define BRISANE_WAV(number, name) Entry{number, Kind::Wav},
#define BRISANE_FLAG(number) Entry{number, Kind::Flag},
#include "resources/resource_list.inc"
#undef BRISANE_ICON
#undef BRISANE_SCENE
#undef BRISANE_JPEG
#undef BRISANE_WAV
#undef BRISANE_FLAG
};

// The built-in flags' pictures, FlagNum kFirstFlagNum onwards (FlagNum 1 is
// the user's own picture). They are numbered in a run, so a FlagNum maps to
// its picture by an offset.
inline constexpr std::array kFlagPictures = {
#define BRISANE_ICON(number, name)
#define BRISANE_SCENE(number, name)
#define BRISANE_JPEG(number, name)
#define BRISANE_WAV(number, name)
#define BRISANE_FLAG(number) std::uint16_t{number},
#include "resources/resource_list.inc"
#undef BRISANE_ICON
#undef BRISANE_SCENE
#undef BRISANE_JPEG
#undef BRISANE_WAV
#undef BRISANE_FLAG
};
inline constexpr std::int32_t kFirstFlagNum = 2;
inline constexpr std::int32_t kLastFlagNum = kFirstFlagNum + static_cast<std::int32_t>(kFlagPictures.size()) - 1;
inline constexpr std::int32_t kFlagPictureOffset = kFlagPictures[0] - kFirstFlagNum;

namespace detail {
constexpr bool NumberedOnceAndFlagsInARun() {
  for (std::size_t i = 0; i < kAll.size(); ++i)
    for (std::size_t j = i + 1; j < kAll.size(); ++j)
      if (kAll[i].number == kAll[j].number) return false;
  for (std::size_t i = 1; i < kFlagPictures.size(); ++i)
    if (kFlagPictures[i] != kFlagPictures[i - 1] + 1) return false;
  return true;
}
}  // namespace detail
static_assert(detail::NumberedOnceAndFlagsInARun(), "resource numbers repeat, or the flags leave a gap");

}  // namespace brisane::resource
