#include "native/embedded_resources.h"

#include <array>

namespace brisane {

// Each resource lies between two symbols of the program's read-only data
// (the assembler file the build generates from the same list).
#define BRISANE_DECLARE(number) \
  extern "C" const std::uint8_t brisane_resource_##number[], brisane_resource_##number##_end[];
#define BRISANE_ICON(number, name) BRISANE_DECLARE(number)
#define BRISANE_SCENE(number, name) BRISANE_DECLARE(number)
#define BRISANE_JPEG(number, name) BRISANE_DECLARE(number)
#define BRISANE_WAV(number, name) BRISANE_DECLARE(number)
#define BRISANE_FLAG(number) BRISANE_DECLARE(number)
#include "resources/resource_list.inc"
#undef BRISANE_ICON
#undef BRISANE_SCENE
#undef BRISANE_JPEG
#undef BRISANE_WAV
#undef BRISANE_FLAG

namespace {

struct Embedded {
  std::uint16_t id;
  std::string_view type;  // the Windows resource type's name
  const std::uint8_t* begin;
  const std::uint8_t* end;
};

#define BRISANE_ENTRY(number, type) Embedded{number, type, brisane_resource_##number, brisane_resource_##number##_end},
#define BRISANE_ICON(number, name) BRISANE_ENTRY(number, "ICON")
#define BRISANE_SCENE(number, name) BRISANE_ENTRY(number, "SSSFILE")
#define BRISANE_JPEG(number, name) BRISANE_ENTRY(number, "JPEGFILE")
#define BRISANE_WAV(number, name) BRISANE_ENTRY(number, "WAVFILE")
#define BRISANE_FLAG(number) BRISANE_ENTRY(number, "JPEGFILE")
const std::array kEmbedded = {
#include "resources/resource_list.inc"
};
#undef BRISANE_ICON
#undef BRISANE_SCENE
#undef BRISANE_JPEG
#undef BRISANE_WAV
#undef BRISANE_FLAG
#undef BRISANE_ENTRY

// Resource types are names without regard to ASCII case, as on Windows.
bool SameType(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::span<const std::uint8_t>> EmbeddedResources::find(std::uint16_t id, std::string_view type) const {
  for (const Embedded& entry : kEmbedded)
    if (entry.id == id && SameType(entry.type, type))
      return std::span<const std::uint8_t>(entry.begin, static_cast<std::size_t>(entry.end - entry.begin));
  return std::nullopt;
}

std::size_t EmbeddedResources::Count() { return kEmbedded.size(); }

}  // namespace brisane
