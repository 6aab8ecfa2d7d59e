// The program file's resources as the system hands them out:
//   resource_driver PROGRAM TYPE ID...  res=TYPE|ID|SIZE|FNV-1a 64  or  missing=TYPE|ID
//   resource_driver PROGRAM icon ID     icon=WIDTH|HEIGHT|BITS|SIZE|HASH per image, then
//                                       loaded=1 when the system makes a 32-pixel icon of it
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

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

std::uint64_t Fnv1a(const std::uint8_t* p, std::size_t n) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

bool Bytes(HMODULE module, LPCSTR type, LPCSTR name, const BYTE** data, DWORD* size) {
  HRSRC info = FindResourceA(module, name, type);
  if (!info) return false;
  HGLOBAL handle = LoadResource(module, info);
  if (!handle) return false;
  *data = static_cast<const BYTE*>(LockResource(handle));
  *size = SizeofResource(module, info);
  return *data != nullptr;
}

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bits;
  DWORD size;
  WORD id;
};
#pragma pack(pop)

int Icon(HMODULE module, int id) {
  const BYTE* group = nullptr;
  DWORD size = 0;
  if (!Bytes(module, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, MAKEINTRESOURCEA(id), &group, &size) || size < 6) {
    std::printf("missing=icon|%d\n", id);
    return 0;
  }
  const WORD count = *reinterpret_cast<const WORD*>(group + 4);
  if (6 + count * sizeof(GroupEntry) > size) {
    std::printf("error=short icon group\n");
    return 1;
  }
  for (WORD k = 0; k < count; ++k) {
    GroupEntry e;
    std::memcpy(&e, group + 6 + k * sizeof(GroupEntry), sizeof e);
    const BYTE* image = nullptr;
    DWORD imageSize = 0;
    if (!Bytes(module, MAKEINTRESOURCEA(3) /* RT_ICON */, MAKEINTRESOURCEA(e.id), &image, &imageSize)) {
      std::printf("missing=icon image|%u\n", e.id);
      continue;
    }
    std::printf("icon=%d|%d|%u|%lu|%016llx\n", e.width ? e.width : 256, e.height ? e.height : 256, e.bits,
                static_cast<unsigned long>(imageSize), static_cast<unsigned long long>(Fnv1a(image, imageSize)));
  }
  const int pick = LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group), TRUE, 32, 32, LR_DEFAULTCOLOR);
  const BYTE* image = nullptr;
  DWORD imageSize = 0;
  HICON icon = nullptr;
  if (pick && Bytes(module, MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(pick), &image, &imageSize)) {
    icon = CreateIconFromResourceEx(const_cast<BYTE*>(image), imageSize, TRUE, 0x00030000, 32, 32, LR_DEFAULTCOLOR);
  }
  std::printf("loaded=%d\n", icon ? 1 : 0);
  if (icon) DestroyIcon(icon);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: resource_driver PROGRAM TYPE|icon ID...\n");
    return 2;
  }
  DataModule module(argv[1]);
  if (!module.get()) {
    std::printf("error=cannot load %s (%lu)\n", argv[1], static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  const std::string type = argv[2];
  if (type == "icon") return Icon(module.get(), std::atoi(argv[3]));
  for (int i = 3; i < argc; ++i) {
    const int id = std::atoi(argv[i]);
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (Bytes(module.get(), type.c_str(), MAKEINTRESOURCEA(id), &data, &size)) {
      std::printf("res=%s|%d|%lu|%016llx\n", type.c_str(), id, static_cast<unsigned long>(size),
                  static_cast<unsigned long long>(Fnv1a(data, size)));
    } else {
      std::printf("missing=%s|%d\n", type.c_str(), id);
    }
  }
  return 0;
}
