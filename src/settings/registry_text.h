// The text form of one settings cell as a registry value: "<tag>: <value>".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/node.h"

namespace brisane {

// "1: %f", "2: %i" or "3: %s"; nullopt for cells that are not written
// (child nodes, empty cells and empty strings).
std::optional<std::string> FormatRegistryText(const Value& value);

// Reads "%u: %[^\t]" and then the value by its tag (1 "%f", 2 "%i", 3 text).
// nullopt when the text does not match, the tag is not 1, 2 or 3, or the
// number does not parse: such a value is treated as absent.
std::optional<Value> ParseRegistryText(std::string_view data);

}  // namespace brisane
