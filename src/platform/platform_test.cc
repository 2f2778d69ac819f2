// The text helpers (where the controls land and in which font, the host tests
// see on the real About box). Error numbers are the ones a host sees, written out.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/raised.h"

namespace velko {
namespace {

using testing::RaisedBy;

TEST(Text, StripAtNullOverflowsLikeA16BitCounterPastPosition32767) {
  std::u16string text(40000, u'x');
  EXPECT_EQ(StripAtNull(text).size(), 40000u) << "no NUL, no position to hold";
  text[32766] = u'\0';  // position 32,767: still fits
  EXPECT_EQ(StripAtNull(text).size(), 32766u);
  text[32766] = u'x', text[32767] = u'\0';
  EXPECT_EQ(RaisedBy([&] { (void)StripAtNull(text); }).first, 6) << "Overflow";
  EXPECT_EQ(TrimAtNull(std::u16string_view(u" a b \0 c ", 9)), u" a b");
  EXPECT_EQ(TrimAtNull(u"a\t"), u"a\t") << "only U+0020";
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"%1 and %1", u"X and X"}, {u"%%11", u"%X1"}, {u"%10", u"X0"}, {u"none", u"none"}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(ReplaceAll(text, u"%1", u"X"), expected);
  EXPECT_EQ(ReplaceAll(u"%1", u"%1", u"%1%1"), u"%1%1") << "inserted text is not searched again";
  EXPECT_EQ(FromUtf8("A\xC3\xA9\xE6\x97\xA5\xF4\x8F\xBF\xBF"), u"A\u00E9\u65E5\U0010FFFF");
  EXPECT_EQ(FromUtf8("\x80" "a\xE6\x97"), u"\uFFFDa\uFFFD") << "no lead byte, then a sequence cut off";
}

}  // namespace
}  // namespace velko
