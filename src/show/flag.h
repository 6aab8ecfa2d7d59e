// The flag the ship flies: the scene's own, one of the built-in country
// flags or a picture of the user's, put on the flag's material once after
// the scene is loaded and before the flag is copied onto the other masts,
// so the copies fly it too.
#pragma once

#include <cstdint>

#include "platform/resource_source.h"
#include "scene/scene.h"
#include "settings/node.h"

namespace brisane {

enum class FlagOutcome {
  SceneFlag,     // FlagNum 0 or below: nothing read
  Applied,       // the chosen picture is on the flag
  UnknownFlag,   // FlagNum beyond the built-in flags
  NoPicture,     // no path, or the file or resource is missing, unreadable, empty or too large
  NotDecoded,    // the bytes gave no texture
  NoFlag,        // the scene has no flag material
};

// A user's picture file above this size is not read: no camera writes a
// JPEG that large, and reading it whole would only exhaust memory.
inline constexpr std::uint32_t kMaxFlagFileBytes = 64u << 20;

// Puts the picture chosen by FlagNum (and FlagPath for the user's own) on
// the flag material as a new diffuse layer with that one frame, decoded by
// the scene's texture loader. Whatever goes wrong leaves the material as it
// was: the scene's own flag stays and the show goes on. Reads the settings
// without adding to them.
FlagOutcome ApplyFlag(Scene& scene, Node& settings, const ResourceSource& resources);

}  // namespace brisane
