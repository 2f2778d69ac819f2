// The registry settings, INI access and system helpers: what each public
// operation answers to every failure of a call it makes. Every allocation and
// system call it makes is failed in turn (the Nth of its kind, with the
// function's failure value and 8, ERROR_NOT_ENOUGH_MEMORY), through this
// program's own import table and the seams pointed at it; and the open of its
// key is refused with 2 (missing) and with 5 (access denied) through the seams,
// codes that a shortage cannot produce and that some operations answer
// differently. After every run the operation holds no key or block more than
// before, and it works again next.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/error.h"
#include "platform/win32/seams.h"
#include "platform/win32/wide.h"
#include "settings/reg_settings.h"
#include "system/api_ini.h"
#include "system/api_support.h"
#include "system/shared_module.h"
#include "tests/lowres/lowres_hooks.h"
#include "tests/support/raised.h"

namespace velko {
namespace {

using namespace lowres;

const std::u16string kIni = (std::filesystem::temp_directory_path() / "velko-lowres.ini").u16string();
const std::u16string kThisMachine = u"\\\\" + GetLocalComputerName();
const std::u16string kLong(500, u'\x6161');  // 1,001 bytes of 'a': longer than the first read, odd

// This machine by name (set in the test): on HKEY_LOCAL_MACHINE a connected
// registry, whose Software key stands in for the connected root (see Connect),
// and the local one on HKEY_CURRENT_USER. Both reach the same key.
CRegSettings g_local, g_remote;

LSTATUS g_refusal = 0;                       // what an open or create gives instead, 0: it opens
bool g_wrong_rights = false, g_wrong_name = false;
LSTATUS WINAPI Open(HKEY base, LPCWSTR path, DWORD options, REGSAM rights, PHKEY out) {
  return g_refusal ? (g_wrong_rights |= rights != KEY_READ, g_refusal) : ::RegOpenKeyExW(base, path, options, rights, out);
}
LSTATUS WINAPI Create(HKEY base, LPCWSTR path, DWORD reserved, LPWSTR type, DWORD options, REGSAM rights,
                      LPSECURITY_ATTRIBUTES security, PHKEY out, LPDWORD disposition) {
  if (g_refusal) return g_wrong_rights |= rights != KEY_ALL_ACCESS, g_refusal;
  return ::RegCreateKeyExW(base, path, reserved, type, options, rights, security, out, disposition);
}
// Wine connects this machine by handing back the predefined root, which is
// never closed; a key of it stands in, closed as a remote root is.
LSTATUS WINAPI Connect(LPCWSTR machine, HKEY root, PHKEY out) {
  g_wrong_name |= std::u16string_view(reinterpret_cast<const char16_t*>(machine)) != kThisMachine;
  const LSTATUS rc = ::RegConnectRegistryW(machine, root, out);
  return rc ? rc : reinterpret_cast<decltype(&::RegOpenKeyExW)>(g_real[k_RegOpenKeyExW])(root, L"Software", 0, KEY_ALL_ACCESS, out);
}

std::u16string Text(int32_t number) { return std::u16string(1, char16_t(u'0' + number)); }

// Each runs from the same state (made again before every run): key S with a
// text, a number and a long value, key L with two texts, the INI file with one
// value; GetAllSettings gives its row count. The answers, one letter per failed
// call in the order of the sweep (kind by kind as lowres_hooks.h lists them:
// open, create, connect, query, set, enum, delete, FormatMessageW, the profile
// calls, GetComputerNameW, SetFileAttributesW; then call by call), and per
// refused open (2, then 5): S raises the code with the system's text, R with
// the connect text; D gives `fallback`, C `clean`, a digit that count. A failed
// allocation raises std::bad_alloc, or gives `out_of_memory`.
struct Operation {
  const char* name;
  std::function<std::u16string()> run;
  std::u16string clean, fallback;
  const char *failed, *refused;
  const char16_t* out_of_memory = u"bad_alloc";
};
const Operation kOperations[] = {
    {"SaveString", [] { return Text(g_local.SaveString(u"S", u"t", u"text")); }, u"1", u"", "SS", "SS"},
    {"GetString", [] { return g_local.GetString(u"S", u"t", u"d"); }, u"text", u"d", "SS", "DS"},
    {"GetString long", [] { return g_local.GetString(u"S", u"long", u"d"); }, kLong, u"d", "SSD", ""},
    {"SaveDWord", [] { return Text(g_local.SaveDWord(u"S", u"n", 7)); }, u"1", u"", "SS", "SS"},
    {"GetDWord", [] { return Text(g_local.GetDWord(u"S", u"n", 0)); }, u"7", u"0", "SS", "DS"},
    {"GetAllSettings", [] { return Text(int32_t(g_local.GetAllSettings(u"L").size())); }, u"2", u"0", "D012", "DD"},
    {"KeyExists", [] { return Text(g_local.KeyExists(u"S", u"t")); }, u"1", u"0", "D", "DD", u"0"},
    {"DeleteSetting", [] { return Text(g_local.DeleteSetting(u"S", u"t")); }, u"1", u"0", "DS", ""},
    {"SaveString remote", [] { return Text(g_remote.SaveString(u"S", u"t", u"text")); }, u"1", u"", "SRS", "SR"},
    {"GetString remote", [] { return g_remote.GetString(u"S", u"t", u"d"); }, u"text", u"d", "RRS", "DR"},
    {"SaveDWord remote", [] { return Text(g_remote.SaveDWord(u"S", u"n", 7)); }, u"1", u"", "RRS", "RR"},
    {"GetDWord remote", [] { return Text(g_remote.GetDWord(u"S", u"n", 0)); }, u"7", u"0", "SRS", "DR"},
    {"KeyExists remote", [] { return Text(g_remote.KeyExists(u"S", u"t")); }, u"1", u"0", "DD", "DD", u"0"},
    {"WriteINIValue", [] { return WriteINIValue(u"S", u"k", u"v", kIni), u""; }, u"", u"", "S", ""},
    {"ReadINIValue", [] { return ReadINIValue(u"S", u"k", u"d", kIni); }, u"v", u"", "S", ""},
    {"GetErrorText", [] { return Text(!GetErrorText(2).empty()); }, u"1", u"0", "D", ""},
    // The prefix goes before a drive or a UNC path, once, and the path ends in a backslash.
    {"AddLongPathPrefix", [] { return AddLongPathPrefix(u"C:\\a"); }, u"\\\\?\\C:\\a\\", u"", "", ""},
    {"AddLongPathPrefix UNC", [] { return AddLongPathPrefix(u"\\\\s\\"); }, u"\\\\?\\UNC\\s\\", u"", "", ""},
    {"AddLongPathPrefix once", [] { return AddLongPathPrefix(u"x\\\\?\\y"); }, u"x\\\\?\\y\\", u"", "", ""},
    {"GetLocalComputerName", [] { return GetLocalComputerName(); }, kThisMachine.substr(2), u"(unknown)", "D", ""},
    {"SetFileAttr", [] { return SetFileAttr(kIni, FILE_ATTRIBUTE_NORMAL), u""; }, u"", u"", "C", ""},
};

std::u16string Answer(const Operation& op, char letter, int32_t code) {
  if (letter == 'S' || letter == 'R')
    return u"error " + Text(code) + u": " + (letter == 'S' ? GetErrorText(code) : u"Error connecting to remote registry");
  return letter == 'D' ? op.fallback : letter == 'C' ? op.clean : Text(letter - '0');
}

// One run from the starting state, with the nth call of `kind` failed (none:
// -1) or the key's open refused with `refusal` (none: 0). What the operation
// returned or raised is written as its answers are.
void RunOnce(const Operation& op, int kind, long n, LSTATUS refusal, const std::u16string& answer,
             const std::string& what) {
  for (CRegSettings* s : {&g_local, &g_remote})
    (void)s->SaveString(u"S", u"t", u"text"), (void)s->SaveDWord(u"S", u"n", 7), (void)s->SaveString(u"L", u"a", u"1"),
        (void)s->SaveString(u"L", u"b", u"2");
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\VELKO lowres\\S", L"long", REG_BINARY, std::string(1001, 'a').data(),
                    1001);
  WriteINIValue(u"S", u"k", u"v", kIni);
  const auto held = g_held;
  std::u16string result;
  Arm(kind, n), g_refusal = refusal;
  // Disarmed before the answer is written: the operation's calls only are counted.
  try {
    result = op.run();
    g_armed = false;
  } catch (const Error& e) {
    g_armed = false, result = u"error " + Text(e.number()) + u": " + e.description();
  } catch (const std::bad_alloc&) {
    g_armed = false, result = u"bad_alloc";
  }
  g_refusal = 0;
  EXPECT_EQ(answer, result) << op.name << ", " << what;
  std::u16string().swap(result);  // gone before the ledger is read
  EXPECT_TRUE(kind < 0 || g_injected) << op.name << ", " << what << " was never made";
  EXPECT_EQ(held, g_held) << op.name << ", " << what << ": held (" << kResourceNames << ") after";
}

TEST(LowResources, EverySettingsIniOrSystemOperationAnswersEveryFailureOfItsCallsAndHoldsNothingAfter) {
  // This program's runtime makes its thread's exception state at the first throw, once.
  testing::RaisedBy([] { throw Error(5, u"first"); });
  g_local.SetPath(u"Software\\VELKO lowres"), g_remote.SetPath(u"VELKO lowres");
  g_remote.SetHKeyRoot(CRegSettings::kHKeyLocalMachine);
  for (CRegSettings* s : {&g_local, &g_remote}) s->SetMachineName(kThisMachine);
  PatchImports(::GetModuleHandleW(nullptr));
  // The seams were read before the table was patched.
  seams::RegOpenKeyExW = &Open, seams::RegCreateKeyExW = &Create, seams::RegConnectRegistryW = &Connect;
  seams::LoadLibraryExW = ::LoadLibraryExW, seams::RegQueryValueExW = ::RegQueryValueExW;
  seams::RegEnumValueW = ::RegEnumValueW, seams::RegCloseKey = ::RegCloseKey, seams::GetComputerNameW = ::GetComputerNameW;
  int injected = 0;
  for (const Operation& op : kOperations) {
    std::array<long, kKinds> calls[2];
    for (auto& counted : calls) RunOnce(op, -1, 0, 0, op.clean, "without failures"), counted = g_calls;
    ASSERT_EQ(calls[0], calls[1]) << op.name << ": two clean runs made different calls";
    const char* letter = op.failed;
    for (int kind = 0; kind < kKinds; ++kind)
      for (long n = 1; n <= calls[0][kind]; ++n, ++injected) {
        const bool allocation = kRows[kind].resource == kHeap;
        ASSERT_TRUE(allocation || *letter) << op.name << " makes more system calls than it has answers";
        const std::string what = kRows[kind].name + (" call " + std::to_string(n)) + " failed";
        RunOnce(op, kind, n, 0, allocation ? op.out_of_memory : Answer(op, *letter++, ERROR_NOT_ENOUGH_MEMORY), what);
        RunOnce(op, -1, 0, 0, op.clean, "after " + what);
      }
    EXPECT_EQ('\0', *letter) << op.name << " makes fewer system calls than it has answers";
    for (const LSTATUS code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED})
      if (*op.refused) RunOnce(op, -1, 0, code, Answer(op, op.refused[code == ERROR_ACCESS_DENIED], code), "open refused");
  }
  EXPECT_FALSE(g_wrong_rights) << "an open for reading asks KEY_READ, a create KEY_ALL_ACCESS";
  EXPECT_FALSE(g_wrong_name) << "the machine name goes to the system as stored";
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) ::RegDeleteTreeW(root, L"Software\\VELKO lowres");
  std::filesystem::remove(std::filesystem::path(kIni));
  std::printf("%zu operations, %d single failures\n", std::size(kOperations), injected);
}

}  // namespace
}  // namespace velko
