#include "tests/support/process_probe.h"

#include <windows.h>
#include <psapi.h>

#include <cwchar>

namespace velko::testing {

int MappedFilesNamed(const wchar_t* part) {
  int count = 0;
  MEMORY_BASIC_INFORMATION info;
  for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State != MEM_COMMIT || info.AllocationBase != info.BaseAddress) continue;
    if (info.Type != MEM_MAPPED && info.Type != MEM_IMAGE) continue;
    wchar_t name[MAX_PATH * 2];
    if (::GetMappedFileNameW(::GetCurrentProcess(), info.BaseAddress, name, MAX_PATH * 2) && std::wcsstr(name, part))
      ++count;
  }
  return count;
}

}  // namespace velko::testing
