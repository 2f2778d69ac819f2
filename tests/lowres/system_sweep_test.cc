// The registry settings, INI access and system helpers in low resources: each
// public operation runs once with every allocation and system call it makes
// failed in turn, through this program's own import table and the seams
// pointed at it. Each must end as it does or raise an error (velko::Error or
// std::bad_alloc), hold no key or block more than before, and work again next.
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

// Each runs from the same state: the key with one text and one number, the INI
// file with one value (the state is made again before every run).
const std::pair<const char*, std::function<void()>> kOperations[] = {
    {"SaveString", [] { (void)Settings().SaveString(u"S", u"t", u"text"); }},
    {"GetString", [] { (void)Settings().GetString(u"S", u"t", u"d"); }},
    {"SaveDWord", [] { (void)Settings().SaveDWord(u"S", u"n", 7); }},
    {"GetDWord", [] { (void)Settings().GetDWord(u"S", u"n", 0); }},
    {"GetAllSettings", [] { (void)Settings().GetAllSettings(u"S"); }},
    {"KeyExists", [] { (void)Settings().KeyExists(u"S", u"t"); }},
    {"DeleteSetting", [] { (void)Settings().DeleteSetting(u"S", u"t"); }},
    {"GetString by name", [] { (void)Settings(kThisMachine).GetString(u"S", u"t", u"d"); }},
    {"WriteINIValue", [] { WriteINIValue(u"S", u"k", u"v", kIni); }},
    {"ReadINIValue", [] { (void)ReadINIValue(u"S", u"k", u"d", kIni); }},
    {"ReadINIValue keys", [] { (void)ReadINIValue(u"S", std::nullopt, u"", kIni); }},
    {"GetErrorText", [] { (void)GetErrorText(2); }},
    {"AddLongPathPrefix", [] { (void)AddLongPathPrefix(u"C:\\folder"); }},
    {"GetLocalComputerName", [] { (void)GetLocalComputerName(); }},
    {"SetFileAttr", [] { SetFileAttr(kIni, FILE_ATTRIBUTE_NORMAL); }},
};

void MakeState() {
  (void)Settings().SaveString(u"S", u"t", u"text");
  (void)Settings().SaveDWord(u"S", u"n", 7);
  WriteINIValue(u"S", u"k", u"v", kIni);
}

// Runs `operation` armed; what it raised in *raised.
void RunArmed(const std::function<void()>& operation, std::string* raised) {
  Arm(true);
  try {
    operation();
  } catch (const Error& e) {
    *raised = "error " + std::to_string(e.number());
  } catch (const std::bad_alloc&) {
    *raised = "bad_alloc";
  }
  Arm(false);
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
  for (const auto& [name, operation] : kOperations) {
    std::array<long, kKinds> calls[2];
    for (auto& counted : calls) {
      MakeState();
      FailNth(-1, 0);
      std::string raised;
      RunArmed(operation, &raised);
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
        RunArmed(operation, &raised);
        EXPECT_TRUE(g_injected) << name << ": " << kRows[kind].name << " call " << n << " was never made";
        EXPECT_EQ(Ledger(), held) << name << ": " << kRows[kind].name << " call " << n << " failed, " << raised
                                  << "; held (" << kResourceNames << ") after";
        FailNth(-1, 0);
        std::string again;
        RunArmed(operation, &again);
        EXPECT_EQ(again, "") << name << " after " << kRows[kind].name << " call " << n << " failed";
      }
  }
  (void)Settings().DeleteSetting(u"S");
  std::filesystem::remove(std::filesystem::path(kIni));
  std::printf("%zu operations, %d single failures\n", std::size(kOperations), injected);
}

}  // namespace
}  // namespace velko
