// Small helpers over counted UTF-16 strings (std::u16string may hold NULs).
#pragma once

#include <string>
#include <string_view>

namespace velko {

// The part of `text` before its first NUL, or all of it. Like a 16-bit Basic
// InStr, the NUL's 1-based position must fit in a signed 16-bit integer: a first
// NUL beyond position 32,767 throws the Overflow error (number 6).
std::u16string_view StripAtNull(std::u16string_view text);

// StripAtNull, then trailing U+0020 spaces removed (leading spaces stay).
std::u16string_view TrimAtNull(std::u16string_view text);

// Every non-overlapping occurrence of `what` in `text`, left to right, replaced
// by `with`; the inserted text is not searched again. Exact (case-sensitive).
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view what,
                          std::u16string_view with);

// UTF-8 as UTF-16. A byte that cannot start a sequence, or a sequence cut off
// by the end, gives U+FFFD.
std::u16string FromUtf8(std::string_view utf8);

}  // namespace velko
