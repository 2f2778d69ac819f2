// The text helpers, the path of a module and twips to pixels (where the controls
// land and in which font, the host tests see on the real About box). Error
// numbers are the ones a host sees, written out.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/forms.h"
#include "platform/text.h"
#include "platform/win32/own_module.h"
#include "platform/win32/unique_handle.h"
#include "tests/support/raised.h"
#include "tests/support/process_probe.h"

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

TEST(Forms, TwipsBecomePixelsRoundedToTheNearest) {
  // 7 twips are 0.47 pixels at 96 DPI, 8 are 0.53.
  EXPECT_EQ((std::vector<int>{forms::TwipsToPixels(1440, 96), forms::TwipsToPixels(7, 96), forms::TwipsToPixels(8, 96),
                              forms::TwipsToPixels(375, 144)}), (std::vector<int>{96, 0, 1, 38}));
}

TEST(OwnModule, ThePathOfAModuleLongerThanMaxPathComesBackWhole) {
  std::wstring folder = L"\\\\?\\" + testing::TestProgramFolder();
  for (int i = 0; folder.size() < MAX_PATH + 40; ++i)
    ::CreateDirectoryW((folder += L"\\deep folder " + std::to_wstring(i)).c_str(), nullptr);
  const std::wstring copy = folder + L"\\netmsg.dll";
  ASSERT_TRUE(::CopyFileW((testing::TestProgramFolder() + L"\\netmsg.dll").c_str(), copy.c_str(), FALSE));
  UniqueHModule module(::LoadLibraryW(copy.c_str()));  // none: the program's own, shorter path
  const std::u16string path = platform::ModulePath(module.get());
  EXPECT_EQ(path.size() > MAX_PATH ? path.substr(path.size() - 11) : path, u"\\netmsg.dll");
  module.reset();
  ::DeleteFileW(copy.c_str());
}

}  // namespace
}  // namespace velko
