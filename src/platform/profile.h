// What the INI access needs of the system: the two profile-string calls, each
// with the thread's last-error code as it stands right after the call.
#pragma once

#include <cstdint>

namespace velko::platform {

struct ProfileCall {
  uint32_t result;      // the call's return value
  uint32_t last_error;  // GetLastError() read right after the call
};

class ProfileApi {
 public:
  virtual ~ProfileApi() = default;
  // GetPrivateProfileStringW(section, key, default_value, buffer, size, file_name).
  // A null pointer is an absent argument and reaches the system as null. The
  // result is the number of characters copied, not counting the final NUL. The
  // last-error code is cleared before the call, so it reports this call only.
  virtual ProfileCall GetString(const char16_t* section, const char16_t* key, const char16_t* default_value,
                                char16_t* buffer, uint32_t size, const char16_t* file_name) = 0;
  // WritePrivateProfileStringW(section, key, value, file_name); result 0 on
  // failure. Null pointers and the last-error code as for GetString.
  virtual ProfileCall WriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                                  const char16_t* file_name) = 0;
};

// The build's implementation: the real API on Windows, the file stand-in natively.
ProfileApi& DefaultProfileApi();

}  // namespace velko::platform
