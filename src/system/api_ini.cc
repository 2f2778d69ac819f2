#include "system/api_ini.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "platform/error.h"
#include "platform/win32/wide.h"

namespace velko {
namespace {

constexpr DWORD kReadBufferLength = 4096;

const wchar_t* OrNull(const IniString& s) { return s ? AsWide(*s) : nullptr; }

}  // namespace

// The profile calls do not promise to touch the last-error code when they
// succeed; clearing it first keeps a code left by some earlier call from being
// taken for this call's failure.

void WriteINIValue(const IniString& section, const IniString& key, const IniString& value,
                   const IniString& file_name) {
  ::SetLastError(ERROR_SUCCESS);
  if (::WritePrivateProfileStringW(OrNull(section), OrNull(key), OrNull(value), OrNull(file_name))) return;
  if (const DWORD code = ::GetLastError()) ThrowSystemError(code);
}

std::u16string ReadINIValue(const IniString& section, const IniString& key, const IniString& default_value,
                            const IniString& file_name) {
  // On the stack: a read is one system call and one string, nothing more.
  wchar_t buffer[kReadBufferLength];
  ::SetLastError(ERROR_SUCCESS);
  const DWORD n = ::GetPrivateProfileStringW(OrNull(section), OrNull(key), OrNull(default_value), buffer,
                                             kReadBufferLength, OrNull(file_name));
  if (n == 0) {
    if (const DWORD code = ::GetLastError()) ThrowSystemError(code);
  }
  return std::u16string(FromWide(buffer, std::min(n, kReadBufferLength)));
}

}  // namespace velko
