// CRegSettings against the real registry, with the seams breaking the calls
// that Wine will not fail on demand. Each test works below a private key of
// HKEY_CURRENT_USER that it deletes afterwards.
#include "settings/reg_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32/seams.h"
#include "platform/win32/wide.h"
#include "system/api_support.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

using testing::SeamSwap;

// What an operation did: "none", or the error it raised as "number: text".
template <typename Op>
std::string Raised(Op&& op) {
  try {
    op();
    return "none";
  } catch (const Error& e) {
    return std::to_string(e.number()) + ": " + ToUtf8(e.description());
  }
}
std::string SystemError(int code) { return std::to_string(code) + ": " + ToUtf8(GetErrorText(code)); }
std::string ConnectError(int code) { return std::to_string(code) + ": Error connecting to remote registry"; }

// The fakes record what they were asked and hand out or close real handles, so
// that every key and connection can be matched with its close.
LSTATUS g_fail = 0;             // the code the failing call returns
int g_query_calls = 0;          // RegQueryValueExW calls before the failing one
std::wstring g_machine;         // what RegConnectRegistryW was given
REGSAM g_rights = 0;            // what the last open or create asked for
std::multiset<HKEY> g_open;     // handles handed out and not yet closed

LSTATUS WINAPI RealConnect(LPCWSTR machine, HKEY root, PHKEY out) {
  g_machine = machine ? machine : L"(null)";
  // A key of this machine stands in for the remote root: a closable handle,
  // where the local "connection" would be the predefined one.
  const LSTATUS rc = ::RegOpenKeyExW(root, L"Software", 0, KEY_READ, out);
  if (rc == ERROR_SUCCESS) g_open.insert(*out);
  return rc;
}
LSTATUS WINAPI FailingConnect(LPCWSTR machine, HKEY, PHKEY) {
  g_machine = machine;
  return g_fail;
}
LSTATUS WINAPI FailingOpen(HKEY, LPCWSTR, DWORD, REGSAM rights, PHKEY) {
  g_rights = rights;
  return g_fail;
}
LSTATUS WINAPI FailingCreate(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM rights, LPSECURITY_ATTRIBUTES, PHKEY,
                             LPDWORD) {
  g_rights = rights;
  return g_fail;
}
LSTATUS WINAPI CountedClose(HKEY key) {
  if (auto it = g_open.find(key); it != g_open.end()) g_open.erase(it);
  return ::RegCloseKey(key);
}
LSTATUS WINAPI QueryFailingLater(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (g_query_calls-- == 0) return g_fail;
  return ::RegQueryValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI EnumStoppingAtOne(HKEY key, DWORD index, LPWSTR name, LPDWORD chars, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD bytes) {
  if (index == 1) return ERROR_INVALID_HANDLE;
  return ::RegEnumValueW(key, index, name, chars, reserved, type, data, bytes);
}

class RegSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = u"Software\\VELKO tests\\" + FromUtf8(std::to_string(::GetCurrentProcessId()) + "\\" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
    settings_.SetPath(path_);
  }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(path_)); }
  // A value written past the object, with any type and bytes.
  void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, AsWide(path_ + u"\\S"), name, type, data, size), ERROR_SUCCESS);
  }
  DWORD RawSize(const wchar_t* name, DWORD* type) {
    DWORD size = 0;
    const LSTATUS rc = ::RegGetValueW(HKEY_CURRENT_USER, AsWide(path_ + u"\\S"), name, RRF_RT_ANY | RRF_NOEXPAND,
                                      type, nullptr, &size);
    return rc == ERROR_SUCCESS ? size : 0xdeadbeef;
  }
  std::u16string path_;
  CRegSettings settings_;
};

TEST_F(RegSettingsTest, ANewObjectNamesTheCurrentUsersSoftwareKeyOnThisMachine) {
  const CRegSettings fresh;
  EXPECT_EQ(fresh.HKeyRoot(), static_cast<int32_t>(0x80000001u));
  EXPECT_EQ(fresh.Path(), u"Software");
  EXPECT_EQ(fresh.MachineName(), u"");
}

TEST_F(RegSettingsTest, ValuesRoundTripWithTheirTypesAndSizes) {
  DWORD type = 0;
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"text"));
  EXPECT_EQ(RawSize(L"name", &type), 10u) << "four characters and the NUL";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(settings_.GetString(u"S", u"name", u"d"), u"text");
  EXPECT_TRUE(settings_.SaveString(u"S", u"*", u"unnamed"));
  EXPECT_EQ(settings_.GetString(u"S", u"", u"d"), u"unnamed") << "\"*\" and \"\" are the default value";
  EXPECT_TRUE(settings_.SaveDWord(u"S", u"n", -2));
  EXPECT_EQ(RawSize(L"n", &type), 4u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(settings_.GetDWord(u"S", u"n", 7), -2);
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u""));
  EXPECT_EQ(RawSize(L"name", &type), 0xdeadbeefu) << "an empty text deletes the value";
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"")) << "a missing value is fine too";
  EXPECT_TRUE(settings_.SaveString(u"", u"top", u"x"));
  EXPECT_TRUE(settings_.SaveString(u"a\\b", u"deep", u"y"));
  settings_.SetPath(path_ + u"\\a");
  EXPECT_EQ(settings_.GetString(u"b", u"deep"), u"y");
  settings_.SetPath(path_);
  EXPECT_EQ(settings_.GetString(u"", u"top"), u"x");
}

TEST_F(RegSettingsTest, ReadsTakeAnyTypeAndGiveTheDefaultForWhatIsMissingOrTooLong) {
  const char bytes[] = "a\0b\0c\0d\0e";
  struct Case {
    DWORD size;
    const char16_t* text;  // GetString's result
    int32_t number;        // GetDWord's result
  } cases[] = {
      {0, u"d", 7},          {1, u"", 0x61},       {2, u"", 0x61},         {3, u"", 0x00620061},
      {4, u"a", 0x00620061}, {5, u"ab", 7}, {7, u"ab", 7},        {9, u"abcd", 7},
  };
  for (const Case& c : cases) {
    Raw(L"v", REG_BINARY, bytes, c.size);
    EXPECT_EQ(settings_.GetString(u"S", u"v", u"d"), c.text) << c.size << " bytes";
    EXPECT_EQ(settings_.GetDWord(u"S", u"v", 7), c.number) << c.size << " bytes";
  }
  EXPECT_EQ(settings_.GetString(u"S", u"absent", u"d"), u"d");
  EXPECT_EQ(settings_.GetString(u"no such", u"v", u"d"), u"d");
  EXPECT_EQ(settings_.GetDWord(u"no such", u"v", 9), 9);
}

TEST_F(RegSettingsTest, GetAllSettingsListsTheTextValuesAndEndsWhereTheEnumerationStops) {
  EXPECT_TRUE(settings_.GetAllSettings(u"S").empty());
  const DWORD number = 5;
  Raw(L"one", REG_SZ, L"1", 4);
  Raw(L"num", REG_DWORD, &number, 4);
  Raw(L"two", REG_SZ, L"22", 6);
  SettingsTable all = settings_.GetAllSettings(u"S");
  std::set<std::pair<std::u16string, std::u16string>> rows;
  for (const auto& row : all) rows.insert({row[0], row[1]});
  EXPECT_EQ(rows, (std::set<std::pair<std::u16string, std::u16string>>{{u"one", u"1"}, {u"two", u"22"}}));
  SeamSwap stop(seams::RegEnumValueW, &EnumStoppingAtOne);
  EXPECT_LE(settings_.GetAllSettings(u"S").size(), 1u);
}

TEST_F(RegSettingsTest, DeleteSettingRemovesAValueOrAKeyWithoutSubKeys) {
  EXPECT_TRUE(settings_.SaveString(u"S\\child", u"v", u"1"));
  EXPECT_EQ(Raised([&] { (void)settings_.DeleteSetting(u"S\\child", u"absent"); }), SystemError(2));
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child", u"v"));
  EXPECT_EQ(settings_.GetString(u"S\\child", u"v", u"gone"), u"gone");
  EXPECT_NE(Raised([&] { (void)settings_.DeleteSetting(u"S"); }), "none") << "S still has a sub-key";
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child"));
  EXPECT_FALSE(settings_.KeyExists(u"S\\child", u""));
  EXPECT_TRUE(settings_.KeyExists(u"S", u"anything"));
  settings_.SetPath(path_ + u"\\no such");
  EXPECT_FALSE(settings_.DeleteSetting(u"S", u"v"));
  EXPECT_FALSE(settings_.DeleteSetting(u"S"));
}

TEST_F(RegSettingsTest, ARemoteNameCountsOnlyForTheMachineAndUsersRoots) {
  settings_.SetMachineName(u"\\\\nowhere");
  EXPECT_EQ(settings_.GetString(u"S", u"v", u"local"), u"local") << "HKEY_CURRENT_USER never connects";
  settings_.SetHKeyRoot(CRegSettings::kHKeyLocalMachine);
  // Wine refuses every name but the local computer's at once, with 53.
  EXPECT_EQ(Raised([&] { (void)settings_.GetString(u"S", u"v"); }), ConnectError(ERROR_BAD_NETPATH));
  EXPECT_FALSE(settings_.KeyExists(u"S", u""));
  SeamSwap connect(seams::RegConnectRegistryW, &FailingConnect);
  g_fail = ERROR_BAD_NETPATH;
  (void)settings_.KeyExists(u"S", u"");
  EXPECT_EQ(g_machine, L"\\\\nowhere") << "the name goes as stored";
}

// Every cell of the connect and open failures, remote and local, and every
// handle closed before the error leaves.
TEST_F(RegSettingsTest, ConnectAndOpenFailuresGiveTheDefaultTheSystemTextOrTheConnectText) {
  enum Op { kGetString, kGetDWord, kSaveString, kSaveDWord, kKeyExists };
  // Per operation: the outcome of a failing connect, and of an open failing
  // with 2, with 5 and with another code, remote then local. D: the default,
  // C: the connect text, S: the system text, F: false.
  const char* kTable[] = {"CDCC" "DSS", "CDCS" "DSS", "CSCS" "SSS", "CCCC" "SSS", "FFFF" "FFF"};
  const LSTATUS kCodes[] = {ERROR_BAD_NETPATH, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED};
  SeamSwap close(seams::RegCloseKey, &CountedClose);
  SeamSwap open(seams::RegOpenKeyExW, &FailingOpen);
  SeamSwap create(seams::RegCreateKeyExW, &FailingCreate);
  for (int op = kGetString; op <= kKeyExists; ++op) {
    for (int cell = 0; cell < 7; ++cell) {
      const bool remote = cell < 4;
      const bool connect_fails = cell == 0;
      g_fail = kCodes[remote ? cell : cell - 3];
      SeamSwap connect(seams::RegConnectRegistryW, connect_fails ? &FailingConnect : &RealConnect);
      settings_.SetHKeyRoot(remote ? CRegSettings::kHKeyLocalMachine : CRegSettings::kHKeyCurrentUser);
      settings_.SetMachineName(remote ? u"far" : u"");
      std::string result;
      switch (op) {
        case kGetString: result = Raised([&] { EXPECT_EQ(settings_.GetString(u"S", u"v", u"dflt"), u"dflt"); }); break;
        case kGetDWord: result = Raised([&] { EXPECT_EQ(settings_.GetDWord(u"S", u"v", 42), 42); }); break;
        case kSaveString: result = Raised([&] { (void)settings_.SaveString(u"S", u"v", u"x"); }); break;
        case kSaveDWord: result = Raised([&] { (void)settings_.SaveDWord(u"S", u"v", 1); }); break;
        case kKeyExists: result = settings_.KeyExists(u"S", u"v") ? "true" : "none"; break;
      }
      const char want = kTable[op][cell];
      const std::string expected = want == 'C'   ? ConnectError(g_fail)
                                   : want == 'S' ? SystemError(g_fail)
                                                 : "none";
      EXPECT_EQ(result, expected) << "operation " << op << ", cell " << cell;
      EXPECT_TRUE(g_open.empty()) << "a connection left open: operation " << op << ", cell " << cell;
      if (!connect_fails) {
        EXPECT_EQ(g_rights, static_cast<REGSAM>(op == kSaveString || op == kSaveDWord ? KEY_ALL_ACCESS : KEY_READ));
      }
    }
  }
}

TEST_F(RegSettingsTest, AFailingValueQueryRaisesTheFirstTimeAndReadsAsAbsentTheSecond) {
  Raw(L"v", REG_SZ, L"text", 10);
  SeamSwap query(seams::RegQueryValueExW, &QueryFailingLater);
  g_fail = ERROR_ACCESS_DENIED;
  for (int earlier : {0, 1}) {
    g_query_calls = earlier;
    const std::string string_result = Raised([&] { EXPECT_EQ(settings_.GetString(u"S", u"v", u"d"), u"d"); });
    g_query_calls = earlier;
    const std::string dword_result = Raised([&] { EXPECT_EQ(settings_.GetDWord(u"S", u"v", 3), 3); });
    EXPECT_EQ(string_result, earlier == 0 ? SystemError(5) : "none");
    EXPECT_EQ(dword_result, earlier == 0 ? SystemError(5) : "none");
  }
}

}  // namespace
}  // namespace velko
