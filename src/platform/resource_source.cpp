#include "platform/resource_source.h"

namespace brisane {

void MemoryResourceSource::add(std::uint16_t id, std::string type, std::vector<std::uint8_t> bytes) {
  resources_[{id, std::move(type)}] = std::move(bytes);
}

std::optional<std::span<const std::uint8_t>> MemoryResourceSource::find(std::uint16_t id,
                                                                         std::string_view type) const {
  auto it = resources_.find(std::pair<std::uint16_t, std::string>(id, std::string(type)));
  if (it == resources_.end()) return std::nullopt;
  return std::span<const std::uint8_t>(it->second);
}

}  // namespace brisane
