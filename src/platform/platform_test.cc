// The text helpers, and the error a form raises when the system refuses its
// window (where the controls land and in which font, the host tests see on the
// real About box). Error numbers are the ones a host sees, written out.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win32/forms.h"
#include "tests/support/process_probe.h"
#include "tests/support/raised.h"

namespace velko {
namespace {

using testing::Raised, testing::RaisedBy;

// Refuses every window of the thread, as a full desktop heap would, leaving a code whose text has two lines.
LRESULT CALLBACK RefuseWindows(int code, WPARAM, LPARAM) { return code == HCBT_CREATEWND && (::SetLastError(2102), 1); }

// The system's code with the one text every part gives it: one line, from the
// network table for its range (the tests' own, in the system folder meanwhile).
TEST(Forms, AWindowTheSystemRefusesRaisesItsCodeWithTheOneTextOfThatCode) {
  wchar_t system[MAX_PATH];
  const std::wstring table = std::wstring(system, ::GetSystemDirectoryW(system, MAX_PATH)) + L"\\netmsg.dll";
  ASSERT_TRUE(::CopyFileW((testing::TestProgramFolder() + L"\\netmsg.dll").c_str(), table.c_str(), FALSE));
  forms::Form form(forms::FormDesign{u"F", {}, 0, 0, nullptr});
  const HHOOK hook = ::SetWindowsHookExW(WH_CBT, &RefuseWindows, nullptr, ::GetCurrentThreadId());
  EXPECT_EQ(RaisedBy([&] { form.ShowModal(); }),
            Raised(2102, u"Test table text 2102, first line. Second line ends with a space "));
  ::UnhookWindowsHookEx(hook), ::DeleteFileW(table.c_str());
}

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
