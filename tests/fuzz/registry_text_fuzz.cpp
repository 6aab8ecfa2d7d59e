// Any registry text parses to a value or to nothing, and a value reads back.
#include <cstdint>
#include <string_view>

#include "settings/registry_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto value = brisane::ParseRegistryText(text)) {
    if (auto again = brisane::FormatRegistryText(*value)) {
      auto back = brisane::ParseRegistryText(*again);
      if (!back || back->Type() != value->Type()) __builtin_trap();
    }
  }
  return 0;
}
