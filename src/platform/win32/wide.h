// Passing counted UTF-16 strings to W calls. On Windows wchar_t is UTF-16, so a
// std::u16string's storage is a valid NUL-terminated LPCWSTR.
#pragma once

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows builds only");

namespace velko {

inline const wchar_t* AsWide(const std::u16string& s) {
  return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline wchar_t* AsWide(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const wchar_t* AsWide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline std::u16string_view FromWide(const wchar_t* s, size_t n) {
  return {reinterpret_cast<const char16_t*>(s), n};
}

}  // namespace velko
