// API_Support: texts of system and network error codes, and long paths.
#pragma once

#include <cstdint>
#include <string>


namespace velko {

// The one-line text of a system error code in the user's default language, or ""
// when no table knows the code. Codes 2100..2999 (the LAN Manager range) ask the
// network table "netmsg.dll" of the system folder (never one a host's folder or
// the current one holds, whose texts could lie) first and the system table after
// it; when that library cannot be loaded, the system table alone. One final CR LF is dropped,
// every other CR LF becomes one space, and a space before the final CR LF stays.
// Never raises for a failing system call; the modules and buffers it takes are
// released on every path.
std::u16string GetErrorText(int32_t error_code);

// The text at a pointer to NUL-terminated UTF-16, or "" for a null pointer.
std::u16string PtrToString(const char16_t* text);

// The long-path form of a folder path, ending in "\": "\\?\" in front, or
// "\\?\UNC\" in place of the leading "\\" of a UNC path. A path that holds
// "\\?\" anywhere keeps its text and only gains the final "\" when it lacks one.
// No other normalisation: a relative path gets the prefix too.
std::u16string AddLongPathPrefix(const std::u16string& path);

}  // namespace velko
