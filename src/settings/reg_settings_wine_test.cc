// CRegSettings against Wine's registry, checked with what the system itself
// reports rather than through the platform interface the object uses. The
// shared table (reg_settings_test.cc) runs here too.
#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"
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

class RegSettingsWine : public ::testing::Test {
 protected:
  RegSettingsWine() { settings_.SetPath(key_.path()); }

  TestKey key_{platform::kHKeyCurrentUser,
               FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  CRegSettings settings_;
};

// Wine's message texts differ from Windows', so the reference is FormatMessageW
// itself, asked in the same run. Wine has no netmsg.dll of its own; when the
// tests put one beside this program, the network codes come from it.
TEST(RegSettingsWineErrorText, MatchesFormatMessageWCleanedToOneLine) {
  CRegSettings settings;
  for (DWORD code : {2u, 5u, 53u, 161u, 1021u, 2099u, 2102u, 2999u, 0x2000FFFFu}) {
    const bool network = code >= 2100 && code <= 2999;
    UniqueHModule netmsg(network ? ::LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr);
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM |
            (netmsg ? FORMAT_MESSAGE_FROM_HMODULE : 0),
        netmsg.get(), code, 0x400, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocal owned(buffer);
    std::u16string expected(reinterpret_cast<char16_t*>(buffer), length);
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
