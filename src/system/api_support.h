// API_Support: texts of system and network error codes (GetErrorText, which
// lives beside the error it describes, in platform/error.h), and long paths.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace velko {

// The text at a pointer to NUL-terminated UTF-16, or "" for a null pointer.
std::u16string PtrToString(const char16_t* text);

// The long-path form of a folder path, ending in "\": "\\?\" in front, or
// "\\?\UNC\" in place of the leading "\\" of a UNC path. A path that holds
// "\\?\" anywhere keeps its text and only gains the final "\" when it lacks one.
// No other normalisation: a relative path gets the prefix too.
std::u16string AddLongPathPrefix(const std::u16string& path);

}  // namespace velko
