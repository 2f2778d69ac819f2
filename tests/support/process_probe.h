// What tests read of the process from the system itself, not from the
// component's own counters.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cwchar>
#include <string>

namespace velko::testing {

// The folder of this test program, where the build puts the tests' helpers.
inline std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH];
  const std::wstring p(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
  return p.substr(0, p.find_last_of(L'\\'));
}

// Sums `count(region)` over the regions of this process's address space.
template <typename Count>
SIZE_T SumOverRegions(Count count) {
  SIZE_T sum = 0;
  MEMORY_BASIC_INFORMATION info;
  for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<char*>(info.BaseAddress) + info.RegionSize)
    sum += count(info);
  return sum;
}

// Number of files mapped into this process (images and data files) whose
// device path contains `part`.
inline int MappedFilesNamed(const wchar_t* part) {
  wchar_t name[MAX_PATH * 2];
  return static_cast<int>(SumOverRegions([&](const MEMORY_BASIC_INFORMATION& info) {
    return info.State == MEM_COMMIT && info.AllocationBase == info.BaseAddress &&
           (info.Type == MEM_MAPPED || info.Type == MEM_IMAGE) &&
           ::GetMappedFileNameW(::GetCurrentProcess(), info.BaseAddress, name, MAX_PATH * 2) && std::wcsstr(name, part);
  }));
}

// Committed private bytes (heaps, stacks): Wine answers PrivateUsage with 0.
inline SIZE_T CommittedPrivateBytes() {
  return SumOverRegions([](const MEMORY_BASIC_INFORMATION& info) {
    return info.State == MEM_COMMIT && info.Type == MEM_PRIVATE ? info.RegionSize : 0;
  });
}

// Bytes in use in all of this process's heaps, each walked under its lock.
inline SIZE_T HeapBytesInUse() {
  HANDLE heaps[64];
  SIZE_T sum = 0;
  for (DWORD i = 0, n = ::GetProcessHeaps(64, heaps); i < n && i < 64; ++i) {
    PROCESS_HEAP_ENTRY entry{};
    ::HeapLock(heaps[i]);
    while (::HeapWalk(heaps[i], &entry)) sum += entry.wFlags & PROCESS_HEAP_ENTRY_BUSY ? entry.cbData : 0;
    ::HeapUnlock(heaps[i]);
  }
  return sum;
}

}  // namespace velko::testing
