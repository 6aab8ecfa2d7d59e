// The program file's own resources, the multimedia timer and the C
// runtime's random numbers, as the core sees them.
#pragma once

#include <windows.h>

#include "platform/clock.h"
#include "platform/random.h"
#include "platform/resource_source.h"

namespace brisane {

// Resources of one module (the program file by default). Loaded resources
// stay mapped with the module, so the bytes stay valid while it is loaded.
class ModuleResourceSource : public ResourceSource {
 public:
  explicit ModuleResourceSource(HMODULE module = nullptr) : module_(module) {}
  std::optional<std::span<const std::uint8_t>> find(std::uint16_t id, std::string_view type) const override;

 private:
  HMODULE module_;
};

// The C runtime's rand, as the show's random draws.
class CrtRandom : public RandomSource {
 public:
  void Seed(std::uint32_t seed) override;
  std::int32_t Next() override;
};

// timeGetTime: milliseconds since the system started, wrapping at 2^32.
class MultimediaClock : public Clock {
 public:
  std::uint32_t now() const override;
};

}  // namespace brisane
