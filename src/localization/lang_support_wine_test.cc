// LangSupport against the real loader: libraries built for these tests sit
// beside the test program, which is the "component folder" here.
#include <windows.h>

#include <gtest/gtest.h>

#include "localization/lang_support.h"
#include "platform/text.h"
#include "tests/support/process_probe.h"

namespace velko {
namespace {

// The real API with the user locale pinned, so every locale can be tried in one run.
class PinnedLocale final : public platform::ForwardingResourceApi {
 public:
  explicit PinnedLocale(uint32_t lcid) : lcid_(lcid) {}
  uint32_t UserDefaultLcid() override { return lcid_; }

 private:
  uint32_t lcid_;
};

using testing::MappedFilesNamed;

TEST(LangSupportWine, LibraryIsMappedWhileReferencedAndUnmappedAfterTheLast) {
  PinnedLocale api(1033);
  LangSupport lang(api);
  ASSERT_EQ(MappedFilesNamed(L"VELKOTest1033"), 0);
  lang.LoadLangLibrary(u"VELKOTest");
  lang.LoadLangLibrary(u"VELKOTest");
  EXPECT_EQ(MappedFilesNamed(L"VELKOTest1033"), 1);
  EXPECT_EQ(lang.GetLangString(1), u"English test text");
  lang.FreeLangLibrary();
  EXPECT_EQ(MappedFilesNamed(L"VELKOTest1033"), 1);
  lang.FreeLangLibrary();
  EXPECT_EQ(MappedFilesNamed(L"VELKOTest1033"), 0);
  EXPECT_EQ(lang.GetLangString(1), u"");
}

TEST(LangSupportWine, PicksTheLocaleLibraryOrFallsBackToEnglish) {
  struct Case {
    uint32_t lcid;
    const char16_t* base;
    const char* expected_utf8;
  } cases[] = {
      {1041, u"VELKOTest", "日本語のテスト"},
      {1033, u"VELKOTest", "English test text"},
      {1042, u"VELKOTest", "English test text"},   // no Korean test library
      {1041, u"VELKOFallback", "fallback"},        // only the 1033 file exists
      {1041, u"VELKONone", ""},                    // nothing at all: empty, no error
      {1041, u"VELKOCorrupt", ""},                 // the locale's file is not a DLL: no fallback
      {1033, u"VELKOCorrupt", ""},                 // the fallback is not a DLL either
      {1033, u"VELKOFallback", "fallback"},
  };
  for (const Case& c : cases) {
    PinnedLocale api(c.lcid);
    LangSupport lang(api);
    lang.LoadLangLibrary(c.base);
    EXPECT_EQ(ToUtf8(lang.GetLangString(1)), c.expected_utf8) << c.lcid << " " << ToUtf8(c.base);
    EXPECT_EQ(lang.GetLangString(2), u"") << "a text the library does not hold";
    lang.FreeLangLibrary();
  }
}

TEST(LangSupportWine, LongTextsComeBackCutTo1023Characters) {
  PinnedLocale api(1033);
  LangSupport lang(api);
  lang.LoadLangLibrary(u"VELKOTest");
  std::u16string expected;
  for (int i = 0; i < 1023; ++i) expected.push_back(static_cast<char16_t>(u'a' + i % 26));
  for (int id : {1023, 1024, 1025, 1500}) EXPECT_EQ(lang.GetLangString(id), expected) << "text " << id;
  EXPECT_EQ(ToUtf8(lang.GetLangString(7)), "Ünïcödé 日本語");
  EXPECT_EQ(lang.GetLangString(4242), u"");
  lang.FreeLangLibrary();
}

TEST(LangSupportWine, TextsEqualTheByteBufferReadingOfLoadStringW) {
  // The reference reading: LoadStringW with 1,024 characters into a zeroed
  // 2,049-byte buffer, then BytesToString and StripAtNull.
  PinnedLocale api(1033);
  LangSupport lang(api);
  lang.LoadLangLibrary(u"VELKOTest");
  for (int id : {1, 7, 1023, 1024, 1025, 1500, 4242, 0, -1}) {
    uint8_t buffer[2049] = {};
    ::LoadStringW(static_cast<HMODULE>(lang.hLangLib()), static_cast<UINT>(id), reinterpret_cast<wchar_t*>(buffer), 1024);
    const std::u16string reference(StripAtNull(BytesToString(buffer)));
    EXPECT_EQ(lang.GetLangString(id), reference) << "text " << id;
  }
  lang.FreeLangLibrary();
}

TEST(LangSupportWine, ShippedLibrariesHoldTheAboutBoxTexts) {
  // The product's libraries live in bin/, one folder up from the tests.
  struct BinFolder final : platform::ForwardingResourceApi {
    uint32_t lcid;
    explicit BinFolder(uint32_t l) : lcid(l) {}
    uint32_t UserDefaultLcid() override { return lcid; }
    std::u16string ComponentFolder() override { return inner_.ComponentFolder() + u"\\..\\bin"; }
  };
  for (uint32_t lcid : {1033u, 1041u, 1042u, 1028u, 2052u}) {
    BinFolder api(lcid);
    LangSupport lang(api);
    lang.LoadLangLibrary(u"VELKORes");
    const std::u16string caption = lang.GetLangString(2);
    EXPECT_NE(caption.find(u"%1"), std::u16string::npos) << lcid;
    for (int id : {12, 14, 44}) EXPECT_FALSE(lang.GetLangString(id).empty()) << lcid << " text " << id;
    if (lcid != 1033) {
      BinFolder english(1033);
      LangSupport en(english);
      en.LoadLangLibrary(u"VELKORes");
      EXPECT_NE(en.GetLangString(44), lang.GetLangString(44)) << lcid << " is not translated";
      en.FreeLangLibrary();
    }
    lang.FreeLangLibrary();
  }
}

}  // namespace
}  // namespace velko
