#include "platform/error.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/win32/system_function.h"
#include "platform/win32/unique_handle.h"

namespace velko {
namespace {

constexpr int32_t kNetworkFirst = 2100;        // NERR_BASE
constexpr int32_t kNetworkLast = 2999;         // MAX_NERR
constexpr DWORD kUserDefaultLanguage = 0x400;  // LANG_NEUTRAL, SUBLANG_DEFAULT

}  // namespace

std::u16string GetErrorText(int32_t error_code) {
  UniqueHModule table;
  if (error_code >= kNetworkFirst && error_code <= kNetworkLast)
    table.reset(LoadSystemLibrary(L"netmsg.dll", LOAD_LIBRARY_AS_DATAFILE));
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
  if (table) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  wchar_t* buffer = nullptr;
  ::FormatMessageW(flags, table.get(), static_cast<DWORD>(error_code), kUserDefaultLanguage,
                   reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocal owned(buffer);
  // The text is in the system's buffer by now; the table is not needed for it.
  table.reset();
  if (!buffer) return {};
  std::u16string text(TrimAtNull(reinterpret_cast<const char16_t*>(buffer)));
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) text.resize(text.size() - 2);
  return ReplaceAll(text, u"\r\n", u" ");
}

void ThrowSystemError(uint32_t code) {
  const auto number = static_cast<int32_t>(code);
  throw Error(number, GetErrorText(number));
}

}  // namespace velko
