#include "system/api_support.h"

namespace velko {

std::u16string PtrToString(const char16_t* text) {
  if (!text) return {};
  return std::u16string(text);
}

std::u16string AddLongPathPrefix(const std::u16string& path) {
  std::u16string result;
  if (path.find(u"\\\\?\\") != std::u16string::npos) {
    result = path;
  } else if (path.compare(0, 2, u"\\\\") == 0) {
    result = u"\\\\?\\UNC\\" + path.substr(2);
  } else {
    result = u"\\\\?\\" + path;
  }
  if (result.empty() || result.back() != u'\\') result.push_back(u'\\');
  return result;
}

}  // namespace velko
