#include "system/api_support.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace velko {
namespace {

TEST(AddLongPathPrefix, PrefixesLocalAndUncPathsAndEndsInABackslash) {
  struct Case {
    const char16_t* path;
    const char16_t* expected;
  } cases[] = {
      {u"C:\\Data", u"\\\\?\\C:\\Data\\"},
      {u"C:\\Data\\", u"\\\\?\\C:\\Data\\"},
      {u"\\\\srv\\share", u"\\\\?\\UNC\\srv\\share\\"},
      {u"\\\\srv\\share\\dir\\", u"\\\\?\\UNC\\srv\\share\\dir\\"},
      {u"\\\\?\\C:\\Data", u"\\\\?\\C:\\Data\\"},              // prefixed already: only the "\"
      {u"\\\\?\\UNC\\srv\\s\\", u"\\\\?\\UNC\\srv\\s\\"},      // nothing to add
      {u"X:\\a\\\\?\\b", u"X:\\a\\\\?\\b\\"},                   // the prefix is looked for anywhere
      {u"", u"\\\\?\\"},
      {u"rel\\dir", u"\\\\?\\rel\\dir\\"},                      // no normalisation
      {u"\\\\", u"\\\\?\\UNC\\"},
      {u"\\single", u"\\\\?\\\\single\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(AddLongPathPrefix(c.path), c.expected) << ToUtf8(c.path);
}

TEST(PtrToString, CopiesUpToTheNul) {
  EXPECT_EQ(PtrToString(nullptr), u"");
  EXPECT_EQ(PtrToString(u""), u"");
  const char16_t text[] = u"ab\0cd";
  EXPECT_EQ(PtrToString(text), u"ab");
  const std::u16string long_text(40000, u'x');  // past any 16-bit count
  EXPECT_EQ(PtrToString(long_text.c_str()), long_text);
}

}  // namespace
}  // namespace velko
