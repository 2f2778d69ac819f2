#include "system/api_ini.h"

#include <algorithm>
#include <cstdint>

#include "platform/error.h"
#include "system/api_support.h"

namespace velko {
namespace {

constexpr uint32_t kReadBufferLength = 4096;

const char16_t* OrNull(const IniString& s) { return s ? s->c_str() : nullptr; }

[[noreturn]] void ThrowSystemError(uint32_t code, platform::MessageApi& messages) {
  throw Error(static_cast<int32_t>(code), GetErrorText(static_cast<int32_t>(code), messages));
}

}  // namespace

void WriteINIValue(const IniString& section, const IniString& key, const IniString& value, const IniString& file_name,
                   platform::ProfileApi& api, platform::MessageApi& messages) {
  const platform::ProfileCall call = api.WriteString(OrNull(section), OrNull(key), OrNull(value), OrNull(file_name));
  if (call.result == 0 && call.last_error != 0) ThrowSystemError(call.last_error, messages);
}

std::u16string ReadINIValue(const IniString& section, const IniString& key, const IniString& default_value,
                            const IniString& file_name, platform::ProfileApi& api, platform::MessageApi& messages) {
  // On the stack: a read is one system call and one string, nothing more.
  char16_t buffer[kReadBufferLength];
  const platform::ProfileCall call = api.GetString(OrNull(section), OrNull(key), OrNull(default_value), buffer,
                                                   kReadBufferLength, OrNull(file_name));
  if (call.result == 0 && call.last_error != 0) ThrowSystemError(call.last_error, messages);
  // The system never reports more than it copied; the bound keeps a faulty
  // implementation from reading past the buffer.
  return std::u16string(buffer, std::min(call.result, kReadBufferLength));
}

}  // namespace velko
