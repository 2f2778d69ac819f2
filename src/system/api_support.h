// API_Support: error texts and long paths.
#pragma once

#include <cstdint>
#include <string>

#include "platform/messages.h"

namespace velko {

// The one-line text of a system error code in the user's default language, or ""
// when no table knows it. Codes 2100..2999 ask the network table "netmsg.dll"
// first and the system table after it. A final CR LF is dropped once, every other
// CR LF becomes one space, and trailing spaces before the cut stay as they are.
std::u16string GetErrorText(int32_t error_code,
                            platform::MessageApi& api = platform::DefaultMessageApi());

// The text at a pointer to NUL-terminated UTF-16, or "" for a null pointer.
std::u16string PtrToString(const char16_t* text);

}  // namespace velko
