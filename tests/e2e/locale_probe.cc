// Creates VELKO.CProductInfo through the registry and prints the user locale and
// the language library that the object mapped, as "<lcid> <file name>".
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

#include "component/velko_h.h"
#include "tests/com/com_host.h"

int main() {
  velko::testing::Apartment apartment;
  velko::ComPtr<_CProductInfo> object;
  const HRESULT hr = ::CoCreateInstance(CLSID_CProductInfo, nullptr, CLSCTX_INPROC_SERVER, IID__CProductInfo,
                                        object.put_void());
  if (FAILED(hr)) {
    std::printf("create failed 0x%08lx\n", static_cast<unsigned long>(hr));
    return 1;
  }
  const wchar_t* mapped = L"none";
  wchar_t name[MAX_PATH * 2];
  MEMORY_BASIC_INFORMATION info;
  for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.AllocationBase == info.BaseAddress &&
        ::GetMappedFileNameW(::GetCurrentProcess(), info.BaseAddress, name, MAX_PATH * 2) &&
        std::wcsstr(name, L"VELKORes")) {
      mapped = std::wcsrchr(name, L'\\') ? std::wcsrchr(name, L'\\') + 1 : name;
      break;
    }
  }
  std::printf("%lu %ls\n", static_cast<unsigned long>(::GetUserDefaultLCID()), mapped);
  return 0;
}
