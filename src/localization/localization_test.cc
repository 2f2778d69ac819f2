// The language library against the real loader (the libraries built for these
// tests sit beside the test program, which is the component's folder here). The
// locale fonts are the host tests' to see, on the real box in each of their locales.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "localization/lang_support.h"
#include "tests/support/process_probe.h"

namespace velko {
namespace {

// The reference count of a thread's library, and that the last object's free
// unmaps it, are the host tests' (objects hold it); here: which file is loaded,
// what it reads (testdata/VELKOTest1033.rc: texts 1023 to 1025 are the alphabet
// over and over, that many letters long), and that nothing is read after the last free.
TEST(LangSupport, ReadsTheLibraryOfTheFirstLoadUntilTheLastFree) {
  LangSupport lang;
  lang.LoadLangLibrary(u"VELKOTest");
  lang.LoadLangLibrary(u"VELKOOther");  // a later base name is not used
  EXPECT_EQ(lang.LangLibPath().substr(lang.LangLibPath().find_last_of(u'\\') + 1), u"VELKOTest1033.DLL");
  std::u16string letters;
  for (int i = 0; i < 1023; ++i) letters += static_cast<char16_t>(u'a' + i % 26);
  const std::pair<int, std::u16string> texts[] = {
      {1, u"English test text"}, {7, u"\u00DCn\u00EFc\u00F6d\u00E9 \u65E5\u672C\u8A9E"}, {1023, letters},
      {1024, letters}, {1025, letters}, {4242, u""}, {0, u""}, {-1, u""}};
  for (const auto& [id, text] : texts) EXPECT_EQ(lang.GetLangString(id), text) << "text " << id;
  lang.FreeLangLibrary();
  lang.FreeLangLibrary();
  EXPECT_EQ(lang.GetLangString(1) + lang.LangLibPath(), u"");
}

// Without a library at all, every text is empty.
TEST(LangSupport, ALocaleWithoutAUsableFileFallsBackToEnglish) {
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
    EXPECT_EQ(lang.GetLangString(1), text) << ::testing::PrintToString(std::u16string(base));
    lang.FreeLangLibrary();
  }
}

}  // namespace
}  // namespace velko
