// Shared by the drivers that read the program file's resources.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The module is mapped as data only: nothing of it runs.
class DataModule {
 public:
  explicit DataModule(const char* path) : module_(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (module_) FreeLibrary(module_);
  }
  DataModule(const DataModule&) = delete;
  DataModule& operator=(const DataModule&) = delete;
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// FNV-1a, so the tests can compare bytes with the generated files by hash.
inline std::uint64_t Fnv1a(const std::uint8_t* p, std::size_t n) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ull;
  }
  return h;
}
