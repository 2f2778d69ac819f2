// CRegSettings against Wine's registry, checked with the raw Win32 calls rather
// than through the platform interface the object itself uses.
#include <windows.h>

#include <string>

#include "settings/reg_settings_test_support.h"

namespace velko::testing {

std::u16string LocalComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &size)) ADD_FAILURE() << "GetComputerNameW " << ::GetLastError();
  return std::u16string(reinterpret_cast<const char16_t*>(name), size);
}

void GiveErrorCodesTexts() {}  // the system's own message table serves

namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

class RegSettingsWine : public ::testing::Test {
 protected:
  RegSettingsWine() {
    settings_.SetPath(key_.path());
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, W(key_.path()), 0, KEY_ALL_ACCESS, &raw_), 0);
  }
  ~RegSettingsWine() override { ::RegCloseKey(raw_); }

  TestKey key_{platform::kHKeyCurrentUser,
               FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  CRegSettings settings_;
  HKEY raw_ = nullptr;
};

TEST_F(RegSettingsWine, RawReadsWhatTheObjectWroteAndTheObjectReadsRawWrites) {
  ASSERT_TRUE(settings_.SaveString(u"", u"s", u"abc"));
  ASSERT_TRUE(settings_.SaveDWord(u"", u"d", -3));
  ASSERT_TRUE(settings_.SaveString(u"", u"*", u"def"));
  struct Case {
    const wchar_t* name;
    DWORD type;
    std::vector<uint8_t> bytes;
  } written[] = {
      {L"s", REG_SZ, Utf16Bytes(std::u16string(u"abc\0", 4))},
      {L"d", REG_DWORD, {0xFD, 0xFF, 0xFF, 0xFF}},
      {L"", REG_SZ, Utf16Bytes(std::u16string(u"def\0", 4))},
  };
  for (const Case& c : written) {
    BYTE data[16];
    DWORD type = 0, size = sizeof data;
    ASSERT_EQ(::RegQueryValueExW(raw_, c.name, nullptr, &type, data, &size), 0);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), c.bytes);
  }
  const wchar_t no_nul[] = L"wxyz";  // counted as "wxy": the 'z' keeps the system from adding a NUL
  ASSERT_EQ(::RegSetValueExW(raw_, L"r", 0, REG_SZ, reinterpret_cast<const BYTE*>(no_nul), 6), 0);
  EXPECT_EQ(settings_.GetString(u"", u"r"), u"wx");
  const wchar_t with_nul[] = L"wx";
  ASSERT_EQ(::RegSetValueExW(raw_, L"n", 0, REG_SZ, reinterpret_cast<const BYTE*>(with_nul), 4), 0);
  EXPECT_EQ(settings_.GetString(u"", u"n"), u"wx");
  ASSERT_EQ(::RegSetValueExW(raw_, L"e", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 0), 0);
  EXPECT_EQ(settings_.GetString(u"", u"e", u"d"), u"d");
  const DWORD big = 0x10203;
  ASSERT_EQ(::RegSetValueExW(raw_, L"b", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&big), 4), 0);
  EXPECT_EQ(settings_.GetDWord(u"", u"b"), 0x10203);
  EXPECT_EQ(settings_.GetString(u"", u"b"), u"\u0203");
}

TEST_F(RegSettingsWine, GetAllSettingsFollowsRegEnumValueW) {
  for (const wchar_t* name : {L"m", L"B", L"a", L"Z"})
    ASSERT_EQ(::RegSetValueExW(raw_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), 4), 0);
  SettingsTable expected;
  wchar_t name[8];
  for (DWORD i = 0, chars = 8; ::RegEnumValueW(raw_, i, name, &chars, nullptr, nullptr, nullptr, nullptr) == 0;
       ++i, chars = 8)
    expected.push_back({std::u16string(reinterpret_cast<char16_t*>(name), chars), std::u16string(1, name[0])});
  EXPECT_EQ(settings_.GetAllSettings(u""), expected);
}

// Wine's message texts differ from Windows', so the reference is FormatMessageW
// itself, asked in the same run. netmsg.dll does not exist under Wine: network
// codes fall back to the system table there.
TEST(RegSettingsWineErrorText, MatchesFormatMessageWCleanedToOneLine) {
  CRegSettings settings;
  for (DWORD code : {2u, 5u, 53u, 161u, 1021u, 2102u, 0x2000FFFFu}) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
        0x400, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string expected(reinterpret_cast<char16_t*>(buffer), length);
    ::LocalFree(buffer);
    while (!expected.empty() && expected.back() == u' ') expected.pop_back();
    if (expected.size() >= 2 && expected.ends_with(u"\r\n")) expected.resize(expected.size() - 2);
    expected = ReplaceAll(expected, u"\r\n", u" ");
    const std::u16string got = CRegSettingsPeer::GetErrorText(settings, static_cast<int32_t>(code));
    EXPECT_EQ(ToUtf8(got), ToUtf8(expected)) << code;
    EXPECT_EQ(got.find(u'\n'), std::u16string::npos) << code;
    if (code == 5) {
      EXPECT_FALSE(got.empty());
    }
  }
}

// The system's own count of this process's handles, so nothing the object
// opened can hide from the interface's bookkeeping.
TEST_F(RegSettingsWine, LeavesNoHandleOpenOnAnyPath) {
  DWORD before = 0, after = 0;
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
  for (int i = 0; i < 20; ++i) {
    (void)settings_.SaveString(key_.Section(u"s"), u"v", u"x");
    (void)settings_.GetString(u"s", u"v");
    (void)settings_.GetString(u"none", u"v");
    (void)settings_.GetDWord(u"s", u"v");
    (void)settings_.KeyExists(u"s", u"");
    (void)settings_.GetAllSettings(u"s");
    try {
      (void)settings_.DeleteSetting(u"s", u"none");
    } catch (const Error&) {
    }
    settings_.SetMachineName(u"VELKO-NO-SUCH-HOST");
    settings_.SetHKeyRoot(platform::kHKeyLocalMachine);
    try {
      (void)settings_.GetString(u"s", u"v");
    } catch (const Error&) {
    }
    settings_.SetMachineName(LocalComputerName());
    (void)settings_.KeyExists(u"s", u"");
    settings_.SetMachineName(u"");
    settings_.SetHKeyRoot(platform::kHKeyCurrentUser);
  }
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace velko::testing
