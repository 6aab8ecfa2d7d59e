// The generated pictures, sounds, scene and icon carried inside the native
// program, found by number and resource type as the Windows program finds
// its module's resources: the one file runs wherever it is copied.
#pragma once

#include <cstddef>

#include "platform/resource_source.h"

namespace brisane {

class EmbeddedResources final : public ResourceSource {
 public:
  std::optional<std::span<const std::uint8_t>> find(std::uint16_t id, std::string_view type) const override;
  // How many resources the program carries.
  static std::size_t Count();
};

}  // namespace brisane
