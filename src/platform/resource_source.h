// Where resource-backed storage finds its bytes: the program module's
// resources on Windows, a map in memory for tools, tests and fuzzing.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brisane {

class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  // The bytes of resource (id, type); they stay valid while the source lives.
  virtual std::optional<std::span<const std::uint8_t>> find(std::uint16_t id, std::string_view type) const = 0;
};

class MemoryResourceSource : public ResourceSource {
 public:
  void add(std::uint16_t id, std::string type, std::vector<std::uint8_t> bytes);
  std::optional<std::span<const std::uint8_t>> find(std::uint16_t id, std::string_view type) const override;

 private:
  std::map<std::pair<std::uint16_t, std::string>, std::vector<std::uint8_t>, std::less<>> resources_;
};

}  // namespace brisane
