// LangSupport against the resource stand-in: which file is chosen, the
// reference count, and the 1,023-character cut.
#include "localization/lang_support.h"

#include <gtest/gtest.h>

#include "platform/portable/fake_resources.h"
#include "platform/text.h"

namespace velko {
namespace {

using platform::FakeResourceApi;

class LangSupportTest : public ::testing::Test {
 protected:
  const std::u16string dir = u"C:\\Prog";
  FakeResourceApi api;
  void SetUp() override { api.folder = dir; }
  void AddLibrary(uint32_t lcid, std::u16string text_1) {
    api.files[dir + u"\\VELKORes" + FromUtf8(std::to_string(lcid)) + u".DLL"] = {{1, std::move(text_1)}};
  }
};

TEST_F(LangSupportTest, ChoosesTheLibraryOfTheUserLocaleOrTheEnglishFallback) {
  struct Case {
    uint32_t lcid;
    bool have_locale_file;
    bool file_test_works;
    const char16_t* expected;
    const char16_t* file;  // the library held
  } cases[] = {
      {1041, true, true, u"ja", u"VELKORes1041.DLL"},
      {1041, false, true, u"en", u"VELKORes1033.DLL"},
      {1042, false, true, u"en", u"VELKORes1033.DLL"},
      {1041, true, false, u"en", u"VELKORes1033.DLL"},  // the existence test failing selects the fallback
      {1033, true, true, u"en", u"VELKORes1033.DLL"},
  };
  for (const Case& c : cases) {
    api.files.clear();
    AddLibrary(1033, u"en");
    if (c.have_locale_file && c.lcid != 1033) AddLibrary(c.lcid, u"ja");
    api.lcid = c.lcid;
    api.file_test_works = c.file_test_works;
    LangSupport lang(api);
    lang.LoadLangLibrary(u"VELKORes");
    EXPECT_EQ(lang.GetLangString(1), c.expected) << "lcid " << c.lcid;
    EXPECT_EQ(lang.LangLibPath(), dir + u"\\" + c.file) << "lcid " << c.lcid;
    lang.FreeLangLibrary();
  }
}

TEST_F(LangSupportTest, PathIsFolderBackslashBaseNameLcidDotDll) {
  api.lcid = 2052;
  LangSupport lang(api);
  lang.LoadLangLibrary(u"VELKORes");
  // 2052 is missing, so the last load attempt is the untested fallback.
  EXPECT_EQ(api.last_loaded, u"C:\\Prog\\VELKORes1033.DLL");
  AddLibrary(2052, u"zh");
  LangSupport second(api);
  second.LoadLangLibrary(u"VELKORes");
  EXPECT_EQ(api.last_loaded, u"C:\\Prog\\VELKORes2052.DLL");
  lang.FreeLangLibrary();
  second.FreeLangLibrary();
}

TEST_F(LangSupportTest, NoLibraryGivesEmptyTextsAndNoError) {
  LangSupport lang(api);
  EXPECT_EQ(lang.GetLangString(1), u"");  // before any load
  lang.LoadLangLibrary(u"VELKORes");
  EXPECT_EQ(lang.hLangLib(), nullptr);
  EXPECT_EQ(lang.LangLibPath(), u"") << "the fallback was tried but not loaded";
  EXPECT_EQ(lang.GetLangString(1), u"");
  lang.FreeLangLibrary();
  EXPECT_EQ(api.open_modules, 0);
}

TEST_F(LangSupportTest, LoadsOnFirstReferenceAndUnloadsOnLast) {
  AddLibrary(1033, u"en");
  LangSupport lang(api);
  lang.LoadLangLibrary(u"VELKORes");
  lang.LoadLangLibrary(u"Other");  // a later base name is not used
  EXPECT_EQ(api.open_modules, 1);
  EXPECT_EQ(lang.LangLibRefCount(), 2);
  EXPECT_EQ(lang.GetLangString(1), u"en");
  lang.FreeLangLibrary();
  EXPECT_EQ(api.open_modules, 1);
  EXPECT_EQ(lang.GetLangString(1), u"en");
  lang.FreeLangLibrary();
  EXPECT_EQ(api.open_modules, 0);
  EXPECT_EQ(lang.GetLangString(1), u"");
  EXPECT_EQ(lang.LangLibPath(), u"");
  // A new first reference reads the locale again.
  AddLibrary(1041, u"ja");
  api.lcid = 1041;
  lang.LoadLangLibrary(u"VELKORes");
  EXPECT_EQ(lang.GetLangString(1), u"ja");
  lang.FreeLangLibrary();
}

TEST_F(LangSupportTest, TextsAreCutToTheirFirst1023Characters) {
  std::u16string long_text;
  for (int i = 0; i < 1500; ++i) long_text.push_back(static_cast<char16_t>(u'a' + i % 26));
  api.files[dir + u"\\VELKORes1033.DLL"] = {{1, long_text.substr(0, 1023)}, {2, long_text.substr(0, 1024)},
                                            {3, long_text}, {4, u""}};
  LangSupport lang(api);
  lang.LoadLangLibrary(u"VELKORes");
  EXPECT_EQ(lang.GetLangString(1), long_text.substr(0, 1023));
  EXPECT_EQ(lang.GetLangString(2), long_text.substr(0, 1023));
  EXPECT_EQ(lang.GetLangString(3), long_text.substr(0, 1023));
  EXPECT_EQ(lang.GetLangString(4), u"");
  EXPECT_EQ(lang.GetLangString(99), u"");  // not in the table
  lang.FreeLangLibrary();
}

TEST(BytesToString, PairsOfBytesBecomeCharactersAndTheRestIsNul) {
  const uint8_t bytes[] = {'A', 0, 'B', 0, 0x42, 0x30, 'C'};
  const std::u16string s = BytesToString(bytes);
  ASSERT_EQ(s.size(), 7u);
  EXPECT_EQ(s.substr(0, 4), std::u16string(u"AB\u3042") + u'C');
  EXPECT_EQ(s.substr(4), std::u16string(3, u'\0'));
  EXPECT_EQ(BytesToString(std::span<const uint8_t>(bytes, 1)), u"");
  EXPECT_EQ(BytesToString({}), u"");
}

}  // namespace
}  // namespace velko
