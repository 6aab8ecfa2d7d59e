// The program's resource reader, clock and preview bitmap, driven directly.
//   picture_driver find PROGRAM TYPE ID     found=SIZE|HASH (FNV-1a 64, hex) or missing=1
//   picture_driver bitmap PROGRAM ID        bitmap=WIDTH|HEIGHT|BITS or none=1
//   picture_driver broken                   a damaged picture: none=1 expected
//   picture_driver clock                    elapsed=MS across a 200 ms sleep
#include <windows.h>

#include "data_module.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/module_resources.h"
#include "platform/win32/preview_picture.h"

namespace {

using brisane::CreateBitmapFromJpegResource;
using brisane::MemoryResourceSource;
using brisane::ModuleResourceSource;
using brisane::MultimediaClock;



void PrintBitmap(HBITMAP bitmap) {
  if (!bitmap) {
    std::printf("none=1\n");
    return;
  }
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  std::printf("bitmap=%ld|%ld|%d\n", info.bmWidth, info.bmHeight, info.bmBitsPixel);
  DeleteObject(bitmap);
}

int Bitmap(const brisane::ResourceSource& source, std::uint16_t id) {
  HDC screen = GetDC(nullptr);
  PrintBitmap(CreateBitmapFromJpegResource(screen, id, source));
  ReleaseDC(nullptr, screen);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "find" && argc > 4) {
    DataModule module(argv[2]);
    if (!module.get()) return 3;
    const ModuleResourceSource source(module.get());
    const auto bytes = source.find(static_cast<std::uint16_t>(std::atoi(argv[4])), argv[3]);
    if (bytes)
      std::printf("found=%zu|%016llx\n", bytes->size(),
                  static_cast<unsigned long long>(Fnv1a(bytes->data(), bytes->size())));
    else
      std::printf("missing=1\n");
    return 0;
  }
  if (command == "bitmap" && argc > 3) {
    DataModule module(argv[2]);
    if (!module.get()) return 3;
    return Bitmap(ModuleResourceSource(module.get()), static_cast<std::uint16_t>(std::atoi(argv[3])));
  }
  if (command == "broken") {
    // A picture header that promises more than the stream holds.
    MemoryResourceSource source;
    source.add(1, "JPEGFILE", {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x10, 0x00});
    source.add(2, "JPEGFILE", {});
    Bitmap(source, 1);
    Bitmap(source, 2);
    return 0;
  }
  if (command == "clock") {
    const MultimediaClock clock;
    const std::uint32_t start = clock.now();
    Sleep(200);
    std::printf("elapsed=%lu\n", static_cast<unsigned long>(clock.now() - start));
    return 0;
  }
  std::fprintf(stderr, "usage: picture_driver find|bitmap|broken|clock ...\n");
  return 2;
}
