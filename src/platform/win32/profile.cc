#include "platform/profile.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

class Win32ProfileApi final : public ProfileApi {
 public:
  // The profile calls do not promise to touch the last-error code when they
  // succeed; clearing it first keeps a code left by some earlier call from
  // being taken for this call's failure.
  ProfileCall GetString(const char16_t* section, const char16_t* key, const char16_t* default_value, char16_t* buffer,
                        uint32_t size, const char16_t* file_name) override {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n = ::GetPrivateProfileStringW(AsWide(section), AsWide(key), AsWide(default_value), AsWide(buffer),
                                               size, AsWide(file_name));
    return {n, ::GetLastError()};
  }
  ProfileCall WriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                          const char16_t* file_name) override {
    ::SetLastError(ERROR_SUCCESS);
    const BOOL ok = ::WritePrivateProfileStringW(AsWide(section), AsWide(key), AsWide(value), AsWide(file_name));
    return {static_cast<uint32_t>(ok), ::GetLastError()};
  }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32ProfileApi g_api;

}  // namespace

ProfileApi& DefaultProfileApi() { return g_api; }

}  // namespace velko::platform
