#include "platform/text.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace velko {
namespace {

TEST(StripAtNull, CutsAtTheFirstNul) {
  EXPECT_EQ(StripAtNull(u"abc"), u"abc");
  EXPECT_EQ(StripAtNull(std::u16string_view(u"ab\0cd\0", 6)), u"ab");
  EXPECT_EQ(StripAtNull(std::u16string_view(u"\0x", 2)), u"");
  EXPECT_EQ(StripAtNull(u""), u"");
}

TEST(StripAtNull, OverflowsLikeA16BitCounterPastPosition32767) {
  std::u16string text(40000, u'x');
  EXPECT_EQ(StripAtNull(text).size(), 40000u);  // no NUL: no position to hold
  text[32766] = u'\0';                          // position 32,767: still fits
  EXPECT_EQ(StripAtNull(text).size(), 32766u);
  text[32766] = u'x';
  text[32767] = u'\0';  // position 32,768
  try {
    (void)StripAtNull(text);
    FAIL() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.description(), u"Overflow");
  }
}

TEST(TrimAtNull, DropsTrailingSpacesOnlyAfterTheCut) {
  EXPECT_EQ(TrimAtNull(u"  a b  "), u"  a b");
  EXPECT_EQ(TrimAtNull(std::u16string_view(u"ab \0 cd ", 8)), u"ab");
  EXPECT_EQ(TrimAtNull(u"a\t"), u"a\t");  // only U+0020
  EXPECT_EQ(TrimAtNull(u"   "), u"");
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanningInsertedText) {
  struct Case {
    const char16_t* text;
    const char16_t* with;
    const char16_t* expected;
  } cases[] = {
      {u"About %1", u"Prod", u"About Prod"},
      {u"%1 and %1", u"X", u"X and X"},
      {u"no marker", u"X", u"no marker"},
      {u"%1", u"%1%1", u"%1%1"},
      {u"%%11", u"", u"%1"},
      {u"%1", u"", u""},
      {u"%10", u"a", u"a0"},
      {u"%L1 %1", u"a", u"%L1 a"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceAll(c.text, u"%1", c.with), c.expected) << ToUtf8(c.text);
}

TEST(Utf8, RoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"a\u00e9\u65e5\U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace velko
