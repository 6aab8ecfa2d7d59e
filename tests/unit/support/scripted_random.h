// A random source that answers from a script, so a test knows every draw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/random.h"

namespace brisane::testing {

class ScriptedRandom : public RandomSource {
 public:
  explicit ScriptedRandom(std::vector<std::int32_t> draws) : draws_(std::move(draws)) {}
  void Seed(std::uint32_t seed) override { seeds.push_back(seed); }
  // The script in a loop; 0 when it is empty.
  std::int32_t Next() override {
    if (draws_.empty()) return 0;
    return draws_[next_++ % draws_.size()];
  }
  std::vector<std::uint32_t> seeds;

 private:
  std::vector<std::int32_t> draws_;
  std::size_t next_ = 0;
};

}  // namespace brisane::testing
