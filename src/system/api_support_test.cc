#include "system/api_support.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace velko {
namespace {

TEST(AddLongPathPrefix, PrefixesLocalAndUncPathsAndEndsInABackslash) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"C:\\Data", u"\\\\?\\C:\\Data\\"},
      {u"C:\\Data\\", u"\\\\?\\C:\\Data\\"},
      {u"\\\\srv\\share", u"\\\\?\\UNC\\srv\\share\\"},
      {u"\\\\?\\C:\\Data", u"\\\\?\\C:\\Data\\"},          // prefixed already: only the "\"
      {u"\\\\?\\UNC\\srv\\s\\", u"\\\\?\\UNC\\srv\\s\\"},  // nothing to add
      {u"X:\\a\\\\?\\b", u"X:\\a\\\\?\\b\\"},              // the prefix is looked for anywhere
      {u"", u"\\\\?\\"},
      {u"rel\\dir", u"\\\\?\\rel\\dir\\"},  // no normalisation
      {u"\\single", u"\\\\?\\\\single\\"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(AddLongPathPrefix(path), expected) << ToUtf8(path);
}

TEST(PtrToString, CopiesUpToTheNul) {
  EXPECT_EQ(PtrToString(nullptr), u"");
  EXPECT_EQ(PtrToString(u""), u"");
  EXPECT_EQ(PtrToString(u"ab\0cd"), u"ab");
}

}  // namespace
}  // namespace velko
