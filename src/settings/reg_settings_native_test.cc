// CRegSettings against the stand-ins, where every call can be made to fail:
// each failure of the connect and open steps, a failure injected at each call
// of each operation, the rights and order of the calls, and the private helpers.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/portable/fake_messages.h"
#include "platform/portable/fake_registry.h"
#include "settings/reg_settings_test_support.h"

namespace velko::testing {

constexpr int32_t kOther = 1234;  // a code with no special meaning to the object

platform::FakeMessageApi& Messages() { return static_cast<platform::FakeMessageApi&>(platform::DefaultMessageApi()); }

std::u16string LocalComputerName() {
  return static_cast<platform::FakeRegistryApi&>(platform::DefaultRegistryApi()).local_computer_name;
}

void GiveErrorCodesTexts() {
  for (int32_t code : {2, 5, 6, 53, 161, 1021, kOther})
    Messages().system_table[code] = u"System text " + FromUtf8(std::to_string(code)) + u".\r\n";
  Messages().network_table[2102] = u"Network text.\r\n";
}

namespace {

using platform::FakeRegistryApi;
using platform::kHKeyLocalMachine;
using platform::PredefinedKey;

constexpr char16_t kConnectText[] = u"Error connecting to remote registry";

// A registry with HKLM\Software\App\s holding a, b (REG_SZ), dw (REG_DWORD)
// and c (REG_SZ), and an object on it, local or through a connection.
struct World {
  FakeRegistryApi registry;
  CRegSettings settings{registry};

  explicit World(bool remote) {
    platform::ScopedRegKey key(registry);
    EXPECT_EQ(registry.CreateKey(PredefinedKey(kHKeyLocalMachine), u"Software\\App\\s", 0, 0xF003F, key.put()), 0);
    const uint8_t text[] = {'x', 0, 0, 0};
    for (const char16_t* name : {u"a", u"dw", u"b", u"c"})
      EXPECT_EQ(registry.SetValue(key.get(), name, name == std::u16string(u"dw") ? 4 : 1, text, 4), 0);
    key.reset();
    registry.log.clear();
    registry.calls = 0;
    settings.SetHKeyRoot(kHKeyLocalMachine);
    settings.SetPath(u"Software\\App");
    if (remote) settings.SetMachineName(registry.local_computer_name);
  }
};

// What an operation came to: "D" default, "T" true or a read value, "F" false,
// "R<n>" a table of n rows, "C" the connect text and "S" the system text (with
// the expected number), or a description of anything else.
using Operation = std::function<std::string(CRegSettings&)>;

std::string Outcome(CRegSettings& settings, const Operation& op, int32_t expected_number) {
  try {
    return op(settings);
  } catch (const Error& e) {
    if (e.number() == expected_number && e.description() == kConnectText) return "C";
    if (e.number() == expected_number && e.description() == SystemText(expected_number)) return "S";
    return "error " + std::to_string(e.number()) + " " + ToUtf8(e.description());
  }
}

struct NamedOp {
  const char* name;
  Operation run;
};
const NamedOp kGetString{"GetString", [](CRegSettings& s) { return s.GetString(u"s", u"a", u"d") == u"d" ? "D" : "T"; }};
const NamedOp kGetDWord{"GetDWord", [](CRegSettings& s) { return s.GetDWord(u"s", u"a", -7) == -7 ? "D" : "T"; }};
const NamedOp kSaveString{"SaveString", [](CRegSettings& s) { return s.SaveString(u"s", u"a", u"y") ? "T" : "F"; }};
const NamedOp kSaveEmpty{"SaveString ''", [](CRegSettings& s) { return s.SaveString(u"s", u"a", u"") ? "T" : "F"; }};
const NamedOp kSaveDWord{"SaveDWord", [](CRegSettings& s) { return s.SaveDWord(u"s", u"a", 1) ? "T" : "F"; }};
const NamedOp kKeyExists{"KeyExists", [](CRegSettings& s) { return s.KeyExists(u"s", u"a") ? "T" : "F"; }};
const NamedOp kDeleteValue{"DeleteSetting key", [](CRegSettings& s) { return s.DeleteSetting(u"s", u"a") ? "T" : "F"; }};
const NamedOp kDeleteKey{"DeleteSetting", [](CRegSettings& s) { return s.DeleteSetting(u"s") ? "T" : "F"; }};
const NamedOp kGetAll{"GetAllSettings",
                      [](CRegSettings& s) { return "R" + std::to_string(s.GetAllSettings(u"s").size()); }};

void ExpectAllClosed(const FakeRegistryApi& r, const std::string& what) {
  EXPECT_EQ(r.open_keys, 0) << what;
  EXPECT_EQ(r.open_connections, 0) << what;
  EXPECT_EQ(r.bad_closes, 0) << what;
}

// Every cell of the connect and open failures: the connect call fails with n, or
// the open (the create for the saves) fails with 2, 5 or another code, on a
// local and on a remote registry. "-": the operation never connects.
TEST(RegSettingsFailures, ConnectAndOpenFailuresAnswerAsEachOperationPromises) {
  struct Row {
    NamedOp op;
    const char* connect;  // the connect call fails
    const char* open[3];  // open fails with 2, 5, other: local then remote
  } rows[] = {
      {kGetString, "C", {"DD", "SC", "SC"}},   {kGetDWord, "C", {"DD", "SC", "SS"}},
      {kSaveString, "C", {"SS", "SC", "SS"}},  {kSaveDWord, "C", {"SC", "SC", "SC"}},
      {kKeyExists, "F", {"FF", "FF", "FF"}},   {kDeleteValue, "-", {"FF", "FF", "FF"}},
      {kDeleteKey, "-", {"FF", "FF", "FF"}},   {kGetAll, "-", {"EE", "EE", "EE"}},
  };
  for (const Row& row : rows) {
    {
      World w(true);
      w.registry.fail_at_call = 1;
      w.registry.fail_code = platform::kErrorBadNetPath;
      const std::string got = Outcome(w.settings, row.op.run, platform::kErrorBadNetPath);
      const bool connects = w.registry.log.front().function == "ConnectRegistry";
      EXPECT_EQ(connects, *row.connect != '-') << row.op.name;
      if (connects) {
        EXPECT_EQ(got, row.connect) << row.op.name << " connect fails";
      }
      ExpectAllClosed(w.registry, row.op.name);
    }
    const int32_t codes[] = {2, 5, kOther};
    for (int c = 0; c < 3; ++c) {
      for (bool remote : {false, true}) {
        World w(remote);
        w.registry.fail_at_call = remote && *row.connect != '-' ? 2 : 1;
        w.registry.fail_code = codes[c];
        std::string got = Outcome(w.settings, row.op.run, codes[c]);
        if (got == "R0") got = "E";
        EXPECT_EQ(got, std::string(1, row.open[c][remote])) << row.op.name << " open fails with " << codes[c]
                                                               << (remote ? " remote" : " local");
        ExpectAllClosed(w.registry, row.op.name);
      }
    }
  }
}

// A failure (kOther) injected at each call in turn: the calls come in this
// order, each failure ends as listed, nothing is left open, and past the last
// call the operation succeeds, having opened its key with its rights.
TEST(RegSettingsFailures, InjectedAtEachCallEveryHandleIsClosedAndTheErrorIsExact) {
  const std::u16string section = u"Software\\App\\s";
  struct Scenario {
    NamedOp op;
    bool remote;                     // MachineName names this machine, root HKLM
    std::vector<std::string> calls;  // "Function:outcome when it fails"
    std::string result;              // with no failure
    uint32_t rights;                 // of the open or create
    std::u16string path;             // opened or created
  } scenarios[] = {
      {kGetString, false, {"OpenKey:S", "QueryValue:S", "QueryValue:D"}, "T", 0x20019, section},
      {kGetString, true, {"ConnectRegistry:C", "OpenKey:C", "QueryValue:S", "QueryValue:D"}, "T", 0x20019, section},
      {kGetDWord, false, {"OpenKey:S", "QueryValue:S", "QueryValue:D"}, "T", 0x20019, section},
      {kGetDWord, true, {"ConnectRegistry:C", "OpenKey:S", "QueryValue:S", "QueryValue:D"}, "T", 0x20019, section},
      {kSaveString, false, {"CreateKey:S", "SetValue:S"}, "T", 0xF003F, section},
      {kSaveString, true, {"ConnectRegistry:C", "CreateKey:S", "SetValue:S"}, "T", 0xF003F, section},
      {kSaveEmpty, false, {"CreateKey:S", "DeleteValue:S"}, "T", 0xF003F, section},
      {kSaveDWord, false, {"CreateKey:S", "SetValue:S"}, "T", 0xF003F, section},
      {kSaveDWord, true, {"ConnectRegistry:C", "CreateKey:C", "SetValue:S"}, "T", 0xF003F, section},
      {kKeyExists, false, {"OpenKey:F"}, "T", 0x20019, section},
      {kKeyExists, true, {"ConnectRegistry:F", "OpenKey:F"}, "T", 0x20019, section},
      {kDeleteValue, true, {"OpenKey:F", "DeleteValue:S"}, "T", 0xF003F, section},
      {kDeleteKey, true, {"OpenKey:F", "DeleteKey:S"}, "T", 0xF003F, u"Software\\App"},
      {kGetAll, true,
       {"OpenKey:R0", "QueryInfoKey:R0", "EnumValue:R0", "EnumValue:R1", "EnumValue:R1", "EnumValue:R2",
        "EnumValue:R3"},
       "R3", 0x20019, section},
  };
  for (const Scenario& sc : scenarios) {
    const std::string what = std::string(sc.op.name) + (sc.remote ? " remote" : " local");
    const bool connects = sc.calls.front() == "ConnectRegistry:C" || sc.calls.front() == "ConnectRegistry:F";
    for (size_t n = 1;; ++n) {
      World w(sc.remote);
      w.registry.fail_at_call = static_cast<int>(n);
      w.registry.fail_code = kOther;
      const std::string got = Outcome(w.settings, sc.op.run, kOther);
      ExpectAllClosed(w.registry, what + " failing call " + std::to_string(n));
      std::vector<FakeRegistryApi::Call> calls, closes;
      for (const auto& call : w.registry.log) (call.function == "CloseKey" ? closes : calls).push_back(call);
      if (n <= sc.calls.size()) {
        const std::string& expected = sc.calls[n - 1];
        const size_t colon = expected.find(':');
        ASSERT_GE(calls.size(), n) << what;
        EXPECT_EQ(calls[n - 1].function, expected.substr(0, colon)) << what << " call " << n;
        EXPECT_EQ(got, expected.substr(colon + 1)) << what << " failing call " << n;
        continue;
      }
      EXPECT_EQ(got, sc.result) << what;
      EXPECT_EQ(calls.size(), sc.calls.size()) << what << ": calls made";
      const auto& open = calls[connects ? 1 : 0];
      EXPECT_EQ(open.rights, sc.rights) << what;
      EXPECT_EQ(open.options, 0u) << what;
      EXPECT_EQ(open.text, sc.path) << what;
      EXPECT_EQ(open.through_connection, connects) << what;
      if (connects) {
        EXPECT_EQ(calls[0].text, w.registry.local_computer_name) << what;
        EXPECT_EQ(calls[0].base, PredefinedKey(kHKeyLocalMachine)) << what;
        ASSERT_EQ(closes.size(), 2u) << what;
        EXPECT_FALSE(closes[0].through_connection) << what << ": the key closes first";
        EXPECT_TRUE(closes[1].through_connection) << what << ": then the connection";
      } else {
        EXPECT_EQ(open.base, PredefinedKey(kHKeyLocalMachine)) << what;
      }
      break;
    }
  }
}

TEST(RegSettingsHelpers, BuildKeyPathJoinsWithOneBackslashAndTrimsNothing) {
  struct Case {
    std::u16string path, section, expected;
  } cases[] = {
      {u"Software", u"", u"Software"},        {u"Software", u"App", u"Software\\App"},
      {u"Software\\", u"App", u"Software\\\\App"}, {u"", u"App", u"\\App"},
      {u"", u"", u""},                        {u" P ", u" a\\b ", u" P \\ a\\b "},
  };
  CRegSettings s;
  for (const Case& c : cases) {
    s.SetPath(c.path);
    EXPECT_EQ(ToUtf8(CRegSettingsPeer::BuildKeyPath(s, c.section)), ToUtf8(c.expected));
  }
}

TEST(RegSettingsHelpers, ErrorTextIsOneLineFromTheNetworkTableFirstForItsRange) {
  auto& m = Messages();
  m.system_table[3] = u"One line.\r\n";
  m.system_table[4] = u"Two\r\nlines.\r\n";
  m.system_table[7] = u"Space kept \r\n";
  m.system_table[8] = u"Blank line\r\n\r\n";
  m.system_table[9] = u"Trailing   ";
  m.system_table[2103] = u"From the system table\r\n";
  struct Case {
    int32_t code;
    std::u16string text;
    bool network;  // netmsg.dll is loaded for it
  } cases[] = {
      {3, u"One line.", false},    {4, u"Two lines.", false},         {7, u"Space kept ", false},
      {8, u"Blank line ", false},  {9, u"Trailing", false},           {10, u"", false},
      {2102, u"Network text.", true}, {2103, u"From the system table", true},
      {2099, u"", false},          {2100, u"", true},                 {2999, u"", true},
      {3000, u"", false},
  };
  CRegSettings s;
  for (const Case& c : cases) {
    const size_t loads = m.loaded_names.size();
    EXPECT_EQ(ToUtf8(CRegSettingsPeer::GetErrorText(s, c.code)), ToUtf8(c.text)) << c.code;
    EXPECT_EQ(m.loaded_names.size() - loads, c.network ? 1u : 0u) << c.code;
    EXPECT_EQ(m.format_flags.back(), c.network ? 0x1B00u : 0x1300u) << c.code;
    EXPECT_EQ(m.format_languages.back(), 0x400u) << c.code;
    EXPECT_EQ(m.open_modules + m.open_buffers, 0) << c.code;
    // The object's own copy answers as the shared lookup does.
    EXPECT_EQ(ToUtf8(CRegSettingsPeer::GetErrorText(s, c.code)), ToUtf8(GetErrorText(c.code))) << c.code;
  }
  m.network_library_present = false;
  EXPECT_EQ(ToUtf8(CRegSettingsPeer::GetErrorText(s, 2103)), "From the system table");
  EXPECT_EQ(m.format_flags.back(), 0x1300u);
  m.network_library_present = true;
}

TEST(RegSettingsHelpers, StringFromPointerCopiesToTheNulAndReleasesOnlyWhenAsked) {
  EXPECT_EQ(CRegSettingsPeer::StringFromPointer(nullptr, false), u"");
  EXPECT_EQ(CRegSettingsPeer::StringFromPointer(nullptr, true), u"");
  const char16_t text[] = u"ab\0cd";
  EXPECT_EQ(CRegSettingsPeer::StringFromPointer(text, false), u"ab");
  EXPECT_EQ(CRegSettingsPeer::StringFromPointer(u"", false), u"");
  // Task memory is malloc in the stand-in: a missing release leaks and a second
  // one frees twice, both of which the sanitizer reports.
  auto* owned = static_cast<char16_t*>(std::malloc(4 * sizeof(char16_t)));
  std::copy_n(u"xyz", 4, owned);
  EXPECT_EQ(CRegSettingsPeer::StringFromPointer(owned, true), u"xyz");
}

TEST(RegSettingsHelpers, TrimAndStripCutAtTheFirstNulWithinSixteenBits) {
  EXPECT_EQ(CRegSettingsPeer::StripAtNull(std::u16string(u"ab \0cd", 6)), u"ab ");
  EXPECT_EQ(CRegSettingsPeer::TrimAtNull(std::u16string(u" ab  \0cd ", 9)), u" ab");
  EXPECT_EQ(CRegSettingsPeer::TrimAtNull(u"   "), u"");
  EXPECT_EQ(CRegSettingsPeer::TrimAtNull(u"a\t"), u"a\t");
  std::u16string long_text(40000, u'x');
  long_text[32767] = u'\0';  // position 32,768
  ExpectError([&] { (void)CRegSettingsPeer::StripAtNull(long_text); }, 6, u"Overflow", "StripAtNull");
}

}  // namespace
}  // namespace velko::testing
