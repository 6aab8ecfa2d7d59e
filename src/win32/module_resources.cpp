#include "win32/module_resources.h"

#include <mmsystem.h>

#include <cstdlib>
#include <string>

namespace brisane {

std::optional<std::span<const std::uint8_t>> ModuleResourceSource::find(std::uint16_t id,
                                                                         std::string_view type) const {
  const std::string typeName(type);  // the API wants it terminated
  HRSRC info = FindResourceA(module_, MAKEINTRESOURCEA(id), typeName.c_str());
  if (!info) return std::nullopt;
  HGLOBAL handle = LoadResource(module_, info);
  if (!handle) return std::nullopt;
  const DWORD size = SizeofResource(module_, info);
  const void* bytes = LockResource(handle);
  if (!bytes) return std::nullopt;
  return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes), size);
}

std::uint32_t MultimediaClock::now() const { return timeGetTime(); }

void CrtRandom::Seed(std::uint32_t seed) { std::srand(seed); }

std::int32_t CrtRandom::Next() { return std::rand(); }

}  // namespace brisane
