// brisane_assets OUT_DIR [--review REVIEW_DIR]
// Writes every generated resource into OUT_DIR (files whose bytes are already
// there are left untouched, so the program is not re-linked for nothing) and,
// with --review, a contact sheet of the pictures and a sheet per sound.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "generator.h"
#include "review.h"

namespace {

namespace fs = std::filesystem;
using brisane::assets::Bytes;

bool SameContent(const fs::path& path, const Bytes& bytes) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) != bytes.size()) return false;
  std::ifstream in(path, std::ios::binary);
  Bytes old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return old == bytes;
}

void Write(const fs::path& path, const Bytes& bytes) {
  if (SameContent(path, bytes)) return;
  // Written beside and renamed, so a reader never sees half a file.
  fs::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + tmp.string());
  }
  fs::rename(tmp, path);
}

int Usage() {
  std::fprintf(stderr, "usage: brisane_assets OUT_DIR [--review REVIEW_DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) return Usage();
  if (argc == 4 && std::string(argv[2]) != "--review") return Usage();
  try {
    const fs::path outDir = argv[1];
    fs::create_directories(outDir);
    const auto assets = brisane::assets::GenerateAll();
    for (const auto& a : assets) Write(outDir / a.file, a.bytes);
    if (argc == 4) {
      const fs::path reviewDir = argv[3];
      fs::create_directories(reviewDir);
      for (const auto& [name, bytes] : brisane::assets::ReviewSheets(assets)) Write(reviewDir / name, bytes);
      std::printf("review sheets written to %s\n", reviewDir.string().c_str());
    }
    std::printf("%zu resources in %s\n", assets.size(), outDir.string().c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisane_assets: %s\n", e.what());
    return 1;
  }
}
