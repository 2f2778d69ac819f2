// The registry settings, INI access and system helpers in low resources: each
// public operation runs once with every allocation and system call it makes
// failed in turn, through this program's own import table and the seams
// pointed at it. Each must return what it returns without failures (or what its
// contract gives then) or raise an error (velko::Error or std::bad_alloc), hold
// no key or block more than before, and work again next.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/error.h"
#include "platform/win32/seams.h"
#include "settings/reg_settings.h"
#include "system/api_ini.h"
#include "system/api_support.h"
#include "system/shared_module.h"
#include "tests/lowres/lowres_hooks.h"
#include "tests/support/raised.h"

namespace velko {
namespace {

using namespace lowres;
using testing::RaisedBy;

const std::u16string kIni = (std::filesystem::temp_directory_path() / "velko-lowres.ini").u16string();

// The local computer by name: the connected registry's path.
CRegSettings Settings(const std::u16string& machine = u"") {
  CRegSettings settings;
  settings.SetPath(u"Software\\VELKO lowres");
  settings.SetMachineName(machine);
  return settings;
}
const std::u16string kThisMachine = u"\\\\" + GetLocalComputerName();

std::u16string Text(int32_t number) { return std::u16string(1, char16_t(u'0' + number)); }

// Each runs from the same state (made again before every run): the key with
// one text and one number, the INI file with one value. Each gives what it
// returned as text; where it returns, a failure may change that only to what
// the operation's contract gives then (the default, an empty or shorter list,
// "no"), never to another value.
struct Operation {
  const char* name;
  std::function<std::u16string()> run;
  const char16_t* fallback;  // null: none
};
const Operation kOperations[] = {
    {"SaveString", [] { return Text(Settings().SaveString(u"S", u"t", u"text")); }, nullptr},
    {"GetString", [] { return Settings().GetString(u"S", u"t", u"d"); }, u"d"},
    {"SaveDWord", [] { return Text(Settings().SaveDWord(u"S", u"n", 7)); }, nullptr},
    {"GetDWord", [] { return Text(Settings().GetDWord(u"S", u"n", 0)); }, u"0"},
    {"GetAllSettings", [] { return Text(static_cast<int32_t>(Settings().GetAllSettings(u"S").size())); }, u"0"},
    {"KeyExists", [] { return Text(Settings().KeyExists(u"S", u"t")); }, u"0"},
    {"DeleteSetting", [] { return Text(Settings().DeleteSetting(u"S", u"t")); }, u"0"},
    {"GetString by name", [] { return Settings(kThisMachine).GetString(u"S", u"t", u"d"); }, u"d"},
    {"WriteINIValue", [] { return WriteINIValue(u"S", u"k", u"v", kIni), u""; }, nullptr},
    {"ReadINIValue", [] { return ReadINIValue(u"S", u"k", u"d", kIni); }, u"d"},
    {"ReadINIValue keys", [] { return ReadINIValue(u"S", std::nullopt, u"", kIni); }, u""},
    {"GetErrorText", [] { return GetErrorText(2); }, u""},
    {"AddLongPathPrefix", [] { return AddLongPathPrefix(u"C:\\folder"); }, nullptr},
    {"GetLocalComputerName", [] { return GetLocalComputerName(); }, u"(unknown)"},
    {"SetFileAttr", [] { return SetFileAttr(kIni, FILE_ATTRIBUTE_NORMAL), u""; }, nullptr},
};

void MakeState() {
  (void)Settings().SaveString(u"S", u"t", u"text");
  (void)Settings().SaveDWord(u"S", u"n", 7);
  WriteINIValue(u"S", u"k", u"v", kIni);
}

// Runs `operation` armed; what it returned, or what it raised in *raised.
std::u16string RunArmed(const std::function<std::u16string()>& operation, std::string* raised) {
  std::u16string result;
  Arm(true);
  try {
    result = operation();
  } catch (const Error& e) {
    *raised = "error " + std::to_string(e.number());
  } catch (const std::bad_alloc&) {
    *raised = "bad_alloc";
  }
  Arm(false);
  return result;
}

TEST(LowResources, EverySingleFailureInASettingsIniOrSystemOperationRaisesOrEndsAndLeavesNothingHeld) {
  // This program's runtime makes its thread's exception state at the first throw, once.
  RaisedBy([] { throw Error(5, u"first"); });
  PatchImports(::GetModuleHandleW(nullptr));
  // The seams were read before the table was patched.
  seams::LoadLibraryExW = ::LoadLibraryExW, seams::RegConnectRegistryW = ::RegConnectRegistryW;
  seams::RegOpenKeyExW = ::RegOpenKeyExW, seams::RegCreateKeyExW = ::RegCreateKeyExW;
  seams::RegQueryValueExW = ::RegQueryValueExW, seams::RegEnumValueW = ::RegEnumValueW;
  seams::RegCloseKey = ::RegCloseKey, seams::GetComputerNameW = ::GetComputerNameW;
  int injected = 0;
  for (const auto& [name, operation, fallback] : kOperations) {
    std::array<long, kKinds> calls[2];
    std::u16string clean;
    for (auto& counted : calls) {
      MakeState();
      FailNth(-1, 0);
      std::string raised;
      clean = RunArmed(operation, &raised);
      EXPECT_EQ(raised, "") << name << " raised without a failure";
      for (int k = 0; k < kKinds; ++k) counted[k] = g_calls[k];
    }
    ASSERT_EQ(calls[0], calls[1]) << name << ": two clean runs made different calls";
    std::printf("%-22s", name);
    for (int k = 0; k < kKinds; ++k)
      if (calls[0][k] && kRows[k].effect < kGive) std::printf(" %s %ld", kRows[k].name, calls[0][k]);
    std::printf("\n");
    for (int kind = 0; kind < kKinds; ++kind)
      for (long n = 1; n <= calls[0][kind]; ++n, ++injected) {
        MakeState();
        const auto held = Ledger();
        FailNth(kind, n);
        std::string raised;
        if (const std::u16string result = RunArmed(operation, &raised);  // gone before the ledger is read
            raised.empty() && result != clean && !(fallback && result == fallback))
          ADD_FAILURE() << name << ": " << kRows[kind].name << " call " << n << " failed, and it returned another value";
        EXPECT_TRUE(g_injected) << name << ": " << kRows[kind].name << " call " << n << " was never made";
        EXPECT_EQ(Ledger(), held) << name << ": " << kRows[kind].name << " call " << n << " failed, " << raised
                                  << "; held (" << kResourceNames << ") after";
        FailNth(-1, 0);
        std::string again;
        EXPECT_EQ(RunArmed(operation, &again), clean) << name << " after " << kRows[kind].name << " call " << n;
        EXPECT_EQ(again, "") << name << " after " << kRows[kind].name << " call " << n << " failed";
      }
  }
  (void)Settings().DeleteSetting(u"S");
  std::filesystem::remove(std::filesystem::path(kIni));
  std::printf("%zu operations, %d single failures\n", std::size(kOperations), injected);
}

}  // namespace
}  // namespace velko
