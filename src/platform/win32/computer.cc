#include "platform/computer.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

class Win32ComputerApi final : public ComputerApi {
 public:
  bool QueryName(char16_t* buffer, uint32_t* size) override {
    DWORD n = *size;
    if (!::GetComputerNameW(AsWide(buffer), &n)) return false;
    *size = n;
    return true;
  }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32ComputerApi g_api;

}  // namespace

ComputerApi& DefaultComputerApi() { return g_api; }

}  // namespace velko::platform
