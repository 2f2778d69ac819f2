#include "platform/text.h"

#include "platform/error.h"

namespace velko {

std::u16string_view StripAtNull(std::u16string_view text) {
  const size_t pos = text.find(u'\0');
  if (pos == std::u16string_view::npos) return text;
  if (pos + 1 > 32767) ThrowOverflow();
  return text.substr(0, pos);
}

std::u16string_view TrimAtNull(std::u16string_view text) {
  std::u16string_view s = StripAtNull(text);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view what,
                          std::u16string_view with) {
  if (what.empty()) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  size_t from = 0;
  for (size_t hit; (hit = text.find(what, from)) != std::u16string_view::npos;
       from = hit + what.size()) {
    out.append(text.substr(from, hit - from)).append(with);
  }
  out.append(text.substr(from));
  return out;
}

std::u16string FromUtf8(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    size_t len;
    if (c < 0x80) { cp = c; len = 1; }
    else if ((c >> 5) == 0x6) { cp = c & 0x1F; len = 2; }
    else if ((c >> 4) == 0xE) { cp = c & 0x0F; len = 3; }
    else if ((c >> 3) == 0x1E) { cp = c & 0x07; len = 4; }
    else { out.push_back(u'\uFFFD'); ++i; continue; }
    if (i + len > s.size()) { out.push_back(u'\uFFFD'); break; }
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

}  // namespace velko
