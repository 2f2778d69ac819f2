// The language library against the real loader (the libraries built for these
// tests sit beside the test program, which is the component's folder here) and
// the locale font table. How the About box wears its locale's font is the host
// tests' to see, on the real box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "localization/lang_support.h"
#include "localization/locale_fonts.h"
#include "tests/support/shell_marker.h"

namespace velko {
namespace {

// The reference count of a thread's library, and that the last object's free
// unmaps it, are the host tests' (objects hold it); here: which file is loaded,
// what it reads, and that nothing is read after the last free.
TEST(LangSupport, TheFirstLoadPicksTheLibraryAndTheLastFreeEndsIt) {
  LangSupport lang;
  lang.LoadLangLibrary(u"VELKOTest");
  lang.LoadLangLibrary(u"VELKOOther");  // a later base name is not used
  EXPECT_EQ(lang.LangLibPath().substr(lang.LangLibPath().find_last_of(u'\\') + 1), u"VELKOTest1033.DLL");
  // The text is what LoadStringW leaves in a zeroed 1,025-character buffer given 1,024 of them.
  for (int id : {1, 7, 1023, 1024, 1025, 1500, 4242, 0, -1}) {
    wchar_t buffer[1025] = {};
    ::LoadStringW(lang.hLangLib(), static_cast<UINT>(id), buffer, 1024);
    EXPECT_EQ(lang.GetLangString(id), reinterpret_cast<const char16_t*>(buffer)) << "text " << id;
  }
  EXPECT_EQ(lang.GetLangString(1500).size(), 1023u);
  lang.FreeLangLibrary();
  lang.FreeLangLibrary();
  EXPECT_EQ(lang.GetLangString(1) + lang.LangLibPath(), u"");
}

TEST(LangSupport, AMissingOrFolderLocaleFileFallsBackToEnglishAndNoLibraryGivesEmptyTexts) {
  const std::wstring here = velko::testing::TestProgramFolder() + L"\\";
  ASSERT_EQ(::GetUserDefaultLCID(), 1031u) << "run with a user locale without a library of its own, German";
  // A folder that carries the locale library's name is not the library.
  ::CreateDirectoryW((here + L"VELKODir1031.DLL").c_str(), nullptr);
  ::CopyFileW((here + L"VELKOFallback1033.DLL").c_str(), (here + L"VELKODir1033.DLL").c_str(), FALSE);
  ::CopyFileW((here + L"VELKOFallback1033.DLL").c_str(), (here + L"VELKOOwn1031.DLL").c_str(), FALSE);
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"VELKOFallback", u"fallback"}, {u"VELKODir", u"fallback"}, {u"VELKOOwn", u"fallback"}, {u"VELKONone", u""},
      {u"VELKOCorrupt", u""}};
  for (const auto& [base, text] : cases) {
    LangSupport lang;
    lang.LoadLangLibrary(base);
    EXPECT_EQ(lang.GetLangString(1), text) << static_cast<const void*>(base);
    EXPECT_EQ(lang.hLangLib() != nullptr, *text != u'\0');
    EXPECT_FALSE(lang.RightToLeft()) << "German reads left to right";
    lang.FreeLangLibrary();
  }
}

TEST(LocaleFonts, OnlyTheFourEastAsianLocalesHaveFacesOfTheirOwn) {
  const struct { uint32_t lcid; int16_t charset; std::u16string_view name; int16_t size; } cases[] = {
      {1042, 129, u"\uAD74\uB9BC", 9},
      {1028, 136, u"\u65B0\u7D30\u660E\u9AD4", 9},
      {1041, 128, u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF", 9},
      {2052, 134, u"\u5B8B\u4F53", 9},
      {1033, 1, u"Tahoma", 8}, {3076, 1, u"Tahoma", 8}, {4100, 1, u"Tahoma", 8}, {5124, 1, u"Tahoma", 8},
      {0x11, 1, u"Tahoma", 8}};
  for (const auto& c : cases) {
    const LocaleFont row = LocaleFontFor(c.lcid);
    EXPECT_EQ((std::tuple(row.charset, row.name, row.size)), (std::tuple(c.charset, c.name, c.size))) << c.lcid;
  }
}

}  // namespace
}  // namespace velko
