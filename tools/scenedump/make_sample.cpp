// Writes the sample archive of the scene tests, whole and cut short, for
// the scenedump check.
#include <cstdio>
#include <fstream>

#include "tests/unit/support/scene_fixtures.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: scenedump_sample WHOLE CUT\n");
    return 1;
  }
  const auto bytes = brisane::testing::SampleArchive();
  std::ofstream(argv[1], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size() - 10));
  return 0;
}
