// CRegSettings against the real registry. Each test works below a private key
// of HKEY_CURRENT_USER that it deletes afterwards, with the registry seams
// routed through fakes that forward to the real calls, count every key and
// connection handed out until it is closed, and fail on demand where Wine will
// not (a refused open, a remote registry, a value query that fails, an
// enumeration that stops part-way).
#include "settings/reg_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <set>

#include "platform/text.h"
#include "platform/win32/seams.h"
#include "platform/win32/wide.h"
#include "system/api_support.h"
#include "tests/support/raised.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

using Outcome = testing::Raised;
using testing::RaisedBy, testing::SeamSwap;
using namespace std::string_literals;
Outcome SystemError(int32_t code) { return {code, GetErrorText(code)}; }

LSTATUS g_connect_fails = 0;  // what a connect returns instead of connecting, 0: connects
LSTATUS g_open_fails = 0;     // the same for an open or a create
std::wstring g_machine;       // what the last connect was given
REGSAM g_rights = 0;          // what the last open or create asked for
std::multiset<HKEY> g_open;   // handed out and not yet closed
int g_queries = 0;            // value queries that succeed before one fails with 5

LSTATUS Track(LSTATUS rc, PHKEY out) { return rc == ERROR_SUCCESS ? (g_open.insert(*out), rc) : rc; }
LSTATUS WINAPI Connect(LPCWSTR machine, HKEY root, PHKEY out) {
  g_machine = machine ? machine : L"(null)";
  // A key of this machine stands in for the remote root: a handle that must be
  // closed, where the local "connection" would be the predefined one.
  const wchar_t* key = root == HKEY_USERS ? L".DEFAULT" : L"Software";
  return g_connect_fails ? g_connect_fails : Track(::RegOpenKeyExW(root, key, 0, KEY_READ, out), out);
}
LSTATUS WINAPI Open(HKEY base, LPCWSTR path, DWORD options, REGSAM rights, PHKEY out) {
  g_rights = rights;
  return g_open_fails ? g_open_fails : Track(::RegOpenKeyExW(base, path, options, rights, out), out);
}
LSTATUS WINAPI Create(HKEY base, LPCWSTR path, DWORD reserved, LPWSTR type, DWORD options, REGSAM rights,
                      LPSECURITY_ATTRIBUTES security, PHKEY out, LPDWORD disposition) {
  g_rights = rights;
  if (g_open_fails) return g_open_fails;
  return Track(::RegCreateKeyExW(base, path, reserved, type, options, rights, security, out, disposition), out);
}
LSTATUS WINAPI Close(HKEY key) {
  if (auto it = g_open.find(key); it != g_open.end()) g_open.erase(it);
  return ::RegCloseKey(key);
}
LSTATUS WINAPI QueryFailingLater(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  return g_queries-- == 0 ? ERROR_ACCESS_DENIED : ::RegQueryValueExW(key, name, reserved, type, data, size);
}
LSTATUS WINAPI EnumStoppingAtOne(HKEY key, DWORD index, LPWSTR name, LPDWORD chars, LPDWORD reserved, LPDWORD type,
                                 LPBYTE data, LPDWORD bytes) {
  return index == 1 ? ERROR_INVALID_HANDLE : ::RegEnumValueW(key, index, name, chars, reserved, type, data, bytes);
}

class RegSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = u"Software\\VELKO tests\\" + FromUtf8(std::to_string(::GetCurrentProcessId()) + "\\" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    settings_.SetPath(path_);
    g_connect_fails = g_open_fails = 0;
  }
  void TearDown() override {
    EXPECT_TRUE(g_open.empty()) << g_open.size() << " keys or connections left open";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(path_));
  }
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
  SeamSwap<decltype(&::RegConnectRegistryW)> connect_{seams::RegConnectRegistryW, &Connect};
  SeamSwap<decltype(&::RegOpenKeyExW)> open_{seams::RegOpenKeyExW, &Open};
  SeamSwap<decltype(&::RegCreateKeyExW)> create_{seams::RegCreateKeyExW, &Create};
  SeamSwap<decltype(&::RegCloseKey)> close_{seams::RegCloseKey, &Close};
  std::u16string path_;
  CRegSettings settings_;
};

TEST_F(RegSettingsTest, ValuesRoundTripWithTheirTypesAndSizesAndReadsTakeAnyTypeOrGiveTheDefault) {
  const CRegSettings fresh;
  EXPECT_EQ(fresh.Path() + fresh.MachineName(), u"Software");
  EXPECT_EQ(fresh.HKeyRoot(), static_cast<int32_t>(0x80000001u));
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"text"));
  EXPECT_EQ(RawTypeAndSize(L"name"), TypeAndSize(REG_SZ, 10)) << "four characters and the NUL";
  EXPECT_EQ(settings_.GetString(u"S", u"name", u"d"), u"text");
  EXPECT_TRUE(settings_.SaveString(u"S", u"*", u"unnamed"));
  EXPECT_EQ(settings_.GetString(u"S", u"", u"d"), u"unnamed") << "\"*\" and \"\" are the default value";
  EXPECT_TRUE(settings_.SaveDWord(u"S", u"n", -2));
  EXPECT_EQ(RawTypeAndSize(L"n"), TypeAndSize(REG_DWORD, 4));
  EXPECT_EQ(settings_.GetDWord(u"S", u"n", 7), -2);
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u""));
  EXPECT_EQ(RawTypeAndSize(L"name").first, 0xdeadbeefu) << "an empty text deletes the value";
  EXPECT_TRUE(settings_.SaveString(u"S", u"name", u"")) << "a missing value is fine too";
  // Reads take any type, and give the default for what is missing or too long.
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

// Both work on this machine only, whatever the object names.
TEST_F(RegSettingsTest, GetAllSettingsListsTheTextValuesAndDeleteSettingRemovesAValueOrAKeyWithoutSubKeys) {
  EXPECT_TRUE(settings_.GetAllSettings(u"S").empty());
  Raw(L"one", REG_SZ, L"1", 4);
  Raw(L"num", REG_DWORD, "\5\0\0\0", 4);
  Raw(L"two", REG_SZ, L"22", 6);
  std::set<std::u16string> rows;  // each a name and its text, nothing more
  for (const auto& row : settings_.GetAllSettings(u"S"))
    rows.insert(std::accumulate(row.begin(), row.end(), u""s, [](auto line, auto& cell) { return line + cell + u";"; }));
  EXPECT_EQ(rows, (std::set<std::u16string>{u"one;1;", u"two;22;"}));
  EXPECT_TRUE(settings_.DeleteSetting(u"S", u"num"));  // Wine's order of values is not the order of writing
  SeamSwap stop(seams::RegEnumValueW, &EnumStoppingAtOne);  // at the second value
  EXPECT_EQ(settings_.GetAllSettings(u"S").size(), 1u) << "the rows read before the failure";
  EXPECT_TRUE(settings_.SaveString(u"S\\child", u"v", u"1"));
  EXPECT_EQ(RaisedBy([&] { (void)settings_.DeleteSetting(u"S\\child", u"absent"); }), SystemError(2));
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child", u"v") && settings_.GetString(u"S\\child", u"v", u"-") == u"-");
  EXPECT_NE(RaisedBy([&] { (void)settings_.DeleteSetting(u"S"); }), Outcome{}) << "S still has a sub-key";
  EXPECT_TRUE(settings_.DeleteSetting(u"S\\child"));
  EXPECT_TRUE(!settings_.KeyExists(u"S\\child", u"") && settings_.KeyExists(u"S", u"anything"));
  settings_.SetPath(path_ + u"\\no such");
  EXPECT_FALSE(settings_.DeleteSetting(u"S", u"v") || settings_.DeleteSetting(u"S"));
}

// Every cell of the connect and open failures, remote (HKEY_LOCAL_MACHINE and
// HKEY_USERS with a machine name) and local (HKEY_CLASSES_ROOT and
// HKEY_CURRENT_USER with one), and every handle closed before the error leaves.
TEST_F(RegSettingsTest, ConnectAndOpenFailuresGiveTheDefaultTheSystemTextOrTheConnectText) {
  // Per operation: the outcome of a failing connect, and of an open failing
  // with 2, with 5 and with another code, remote then local. D: the default,
  // C: the connect text, S: the system text, F: false.
  const char* kTable[] = {"CDCC" "DSS", "CDCS" "DSS", "CSCS" "SSS", "CCCC" "SSS", "FFFF" "FFF"};
  const LSTATUS kCodes[] = {ERROR_BAD_NETPATH, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_KEY_DELETED};
  const int32_t kRoots[] = {CRegSettings::kHKeyLocalMachine, CRegSettings::kHKeyUsers, CRegSettings::kHKeyClassesRoot,
                            CRegSettings::kHKeyCurrentUser};
  const std::function<void()> kOperations[] = {
      [&] { EXPECT_EQ(settings_.GetString(u"S", u"v", u"dflt"), u"dflt"); },
      [&] { EXPECT_EQ(settings_.GetDWord(u"S", u"v", 42), 42); }, [&] { (void)settings_.SaveString(u"S", u"v", u"x"); },
      [&] { (void)settings_.SaveDWord(u"S", u"v", 1); }, [&] { EXPECT_FALSE(settings_.KeyExists(u"S", u"v")); }};
  settings_.SetMachineName(u"\\\\far");
  for (int op = 0; op < 5; ++op) for (int cell = 0; cell < 7; ++cell) {
    const bool remote = cell < 4, writes = op == 2 || op == 3;
    const LSTATUS code = kCodes[remote ? cell : cell - 3];
    g_connect_fails = cell == 0 ? code : 0, g_open_fails = code;
    g_rights = 0, g_machine.clear();
    settings_.SetHKeyRoot(kRoots[(remote ? 0 : 2) + op % 2]);
    const char want = kTable[op][cell];
    const Outcome expected =
        want == 'C' ? Outcome{code, u"Error connecting to remote registry"} : want == 'S' ? SystemError(code) : Outcome{};
    EXPECT_EQ(RaisedBy(kOperations[op]), expected) << "operation " << op << ", cell " << cell;
    EXPECT_EQ(g_machine, remote ? L"\\\\far" : L"") << "the name goes as stored, and only for a remote root";
    EXPECT_EQ(g_rights, static_cast<REGSAM>(cell == 0 ? 0 : writes ? KEY_ALL_ACCESS : KEY_READ)) << op << ", " << cell;
  }
}

// The first read failing raises its error. A value longer than the first
// read's buffer is read again, and that read failing (the value changed in
// between) gives the default. GetDWord reads once.
TEST_F(RegSettingsTest, AFailingFirstReadRaisesAndAFailingSecondReadGivesTheDefault) {
  Raw(L"v", REG_BINARY, "abcd", 4);
  Raw(L"long", REG_BINARY, std::string(1001, 'a').data(), 1001);
  SeamSwap query(seams::RegQueryValueExW, &QueryFailingLater);
  for (int queries : {0, 1, 2}) {
    g_queries = queries;
    const std::u16string read = queries == 2 ? std::u16string(500, u'\x6161') : u"d";  // 1001 bytes: 500 units
    EXPECT_EQ(RaisedBy([&] { EXPECT_EQ(settings_.GetString(u"S", u"long", u"d"), read); }),
              queries == 0 ? SystemError(5) : Outcome{}) << queries;
  }
  g_queries = 0;
  EXPECT_EQ(RaisedBy([&] { EXPECT_EQ(settings_.GetDWord(u"S", u"v", 3), 3); }), SystemError(5));
}

}  // namespace
}  // namespace velko
