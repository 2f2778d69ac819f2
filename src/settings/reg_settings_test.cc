// CRegSettings against the real registry. Each test works below a private key
// of HKEY_CURRENT_USER that it deletes afterwards. What each operation answers
// to a failing call (a refused open, a remote registry, a failing read or
// enumeration) is the low-resource sweep's (lowres_system_tests).
#include "settings/reg_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <numeric>
#include <set>

#include "platform/text.h"
#include "platform/win32/wide.h"
#include "tests/support/raised.h"

namespace velko {
namespace {

using Outcome = testing::Raised;
using testing::RaisedBy;
using namespace std::string_literals;

class RegSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = u"Software\\VELKO tests\\" + FromUtf8(std::to_string(::GetCurrentProcessId()) + "\\" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    settings_.SetPath(path_);
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(path_)); }
  // A value written past the object, with any type and bytes, and its type and size as read past it.
  void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, AsWide(path_ + u"\\S"), name, type, data, size), ERROR_SUCCESS);
  }
  using TypeAndSize = std::pair<DWORD, DWORD>;
  TypeAndSize RawTypeAndSize(const wchar_t* name) {
    DWORD type = 0, size = 0;
    const LSTATUS rc = ::RegGetValueW(HKEY_CURRENT_USER, AsWide(path_ + u"\\S"), name, RRF_RT_ANY | RRF_NOEXPAND,
                                      &type, nullptr, &size);
    return {rc == ERROR_SUCCESS ? type : 0xdeadbeef, size};
  }
  std::u16string path_;
  CRegSettings settings_;
};

// Text as REG_SZ, numbers as REG_DWORD; an empty text deletes the value.
TEST_F(RegSettingsTest, EachSaveWritesItsValuesRegistryType) {
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"text"));
  EXPECT_EQ(RawTypeAndSize(L"name"), TypeAndSize(REG_SZ, 10)) << "four characters and the NUL";
  EXPECT_TRUE(settings_.SaveString(u"S", u"*", u"unnamed"));
  EXPECT_EQ(settings_.GetString(u"S", u"", u"d"), u"unnamed") << "\"*\" and \"\" are the default value";
  EXPECT_TRUE(settings_.SaveDWord(u"S", u"n", -2));
  EXPECT_EQ(RawTypeAndSize(L"n"), TypeAndSize(REG_DWORD, 4));
  EXPECT_EQ(settings_.GetDWord(u"S", u"n", 7), -2);
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u""));
  EXPECT_EQ(RawTypeAndSize(L"name").first, 0xdeadbeefu) << "an empty text deletes the value";
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"")) << "a missing value is fine too";
}

// Reads take any type, and give the default for what is missing or too long.
// A fresh object reads HKEY_CURRENT_USER\Software of this machine.
TEST_F(RegSettingsTest, ReadsTakeAnyTypeOrGiveTheDefault) {
  const CRegSettings fresh;
  EXPECT_EQ(std::pair(fresh.Path() + fresh.MachineName(), fresh.HKeyRoot()),
            std::pair(std::u16string(u"Software"), static_cast<int32_t>(0x80000001u)));
  EXPECT_TRUE(settings_.SaveString(u"S", u"*", u"unnamed"));
  const char bytes[] = "a\0b\0c\0d\0e";
  // Bytes of the value, then what GetString and GetDWord make of them.
  const struct { DWORD size; const char16_t* text; int32_t number; } cases[] = {
      {0, u"d", 7}, {1, u"", 0x61}, {2, u"", 0x61}, {3, u"", 0x00620061}, {4, u"a", 0x00620061},
      {5, u"ab", 7}, {7, u"ab", 7}, {9, u"abcd", 7}};
  for (const auto& c : cases) {
    Raw(L"v", REG_BINARY, bytes, c.size);
    EXPECT_EQ(settings_.GetString(u"S", u"v", u"d"), c.text) << c.size << " bytes";
    EXPECT_EQ(settings_.GetDWord(u"S", u"v", 7), c.number) << c.size << " bytes";
  }
  EXPECT_EQ(settings_.GetString(u"no such", u"v"), u"");
  EXPECT_EQ(settings_.GetDWord(u"no such", u"v"), 0) << "the default when the caller gives none";
  settings_.SetPath(path_ + u"\\S");
  EXPECT_EQ(settings_.GetString(u"", u"*"), u"unnamed") << "an empty Section is Path's own key";
  settings_.SetHKeyRoot(CRegSettings::kHKeyClassesRoot), settings_.SetPath(u"CLSID");
  EXPECT_TRUE(settings_.KeyExists(u"", u"")) << "HKEY_CLASSES_ROOT\\CLSID";
}

// On this machine only, whatever the object names (as DeleteSetting).
TEST_F(RegSettingsTest, GetAllSettingsListsTheTextValues) {
  Raw(L"one", REG_SZ, L"1", 4);
  Raw(L"num", REG_DWORD, "\5\0\0\0", 4);
  Raw(L"two", REG_SZ, L"22", 6);
  std::set<std::u16string> rows;  // each a name and its text, nothing more
  for (const auto& row : settings_.GetAllSettings(u"S"))
    rows.insert(std::accumulate(row.begin(), row.end(), u""s, [](auto line, auto& cell) { return line + cell + u";"; }));
  EXPECT_EQ(rows, (std::set<std::u16string>{u"one;1;", u"two;22;"}));
}

TEST_F(RegSettingsTest, DeleteSettingRemovesAValueOrAKeyWithoutSubKeys) {
  Raw(L"num", REG_DWORD, "\5\0\0\0", 4);
  EXPECT_TRUE(settings_.DeleteSetting(u"S", u"num"));
  EXPECT_TRUE(settings_.SaveString(u"S\\child", u"v", u"1"));
  EXPECT_EQ(RaisedBy([&] { (void)settings_.DeleteSetting(u"S\\child", u"absent"); }), Outcome(2, GetErrorText(2)));
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child", u"v") && settings_.GetString(u"S\\child", u"v", u"-") == u"-");
  EXPECT_NE(RaisedBy([&] { (void)settings_.DeleteSetting(u"S"); }), Outcome{}) << "S still has a sub-key";
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child"));
  EXPECT_TRUE(!settings_.KeyExists(u"S\\child", u"") && settings_.KeyExists(u"S", u"anything"));
  settings_.SetPath(path_ + u"\\no such");
  EXPECT_FALSE(settings_.DeleteSetting(u"S", u"v") || settings_.DeleteSetting(u"S"));
}

}  // namespace
}  // namespace velko
