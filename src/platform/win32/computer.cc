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

}  // namespace

ComputerApi& DefaultComputerApi() {
  static Win32ComputerApi api;
  return api;
}

}  // namespace velko::platform
