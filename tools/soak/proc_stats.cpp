// What a long run watches for growth in another process: its kernel handle
// count, its GDI objects and its private and resident memory.
//   proc_stats.exe NAME.EXE   -> key=value lines for the first process so named
// GDI objects are counted from the process's own GDI handle table (the
// PEB points at it), since per-process GDI counters are not available
// everywhere this runs.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// One entry of the GDI handle table as laid out on 64-bit systems.
struct GdiEntry {
  unsigned long long object;
  unsigned int owner;
  unsigned short unique;
  unsigned char type;
  unsigned char flags;
  unsigned long long user;
};
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t kGdiEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;

DWORD FindProcess(const char* name) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
    if (_stricmp(entry.szExeFile, name) == 0) found = entry.th32ProcessID;
  CloseHandle(snapshot);
  return found;
}

// -1 when the table cannot be read.
long CountGdiObjects(HANDLE process) {
  using Query = NTSTATUS(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic = {};
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return -1;
  unsigned long long table = 0;
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, static_cast<BYTE*>(static_cast<void*>(basic.PebBaseAddress)) + kPebGdiTableOffset,
                         &table, sizeof table, &got) ||
      !table)
    return -1;
  std::vector<GdiEntry> entries(kGdiEntries);
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size() * sizeof(GdiEntry),
                         &got))
    return -1;
  long count = 0;
  for (size_t i = 0; i < got / sizeof(GdiEntry); ++i)
    if (entries[i].type != 0 && entries[i].object != 0) ++count;
  return count;
}

// The system's process list carries handle counts where the per-process
// query does not answer for other processes.
long CountHandles(DWORD id) {
  using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<BYTE> buffer(1 << 20);
  ULONG needed = 0;
  while (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
    if (buffer.size() >= (64u << 20)) return -1;
    buffer.resize(buffer.size() * 2);
  }
  for (size_t offset = 0; offset < buffer.size();) {
    const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
    if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == id) return static_cast<long>(info->HandleCount);
    if (!info->NextEntryOffset) break;
    offset += info->NextEntryOffset;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: proc_stats NAME.EXE\n");
    return 2;
  }
  const DWORD id = FindProcess(argv[1]);
  if (!id) {
    std::printf("found=0\n");
    return 1;
  }
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (!process) {
    std::printf("found=1\nopened=0\n");
    return 1;
  }
  DWORD own = 0;
  const long handles = GetProcessHandleCount(process, &own) && own ? static_cast<long>(own) : CountHandles(id);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  std::printf("found=1\npid=%lu\nhandles=%ld\ngdi=%ld\nprivate_kb=%llu\nworking_set_kb=%llu\n",
              static_cast<unsigned long>(id), handles, CountGdiObjects(process),
              static_cast<unsigned long long>(memory.PrivateUsage / 1024),
              static_cast<unsigned long long>(memory.WorkingSetSize / 1024));
  CloseHandle(process);
  return 0;
}
