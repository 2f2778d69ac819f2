// A host in low resources: every allocation and system call that VELKO.dll
// makes in one host cycle (load, create, every property put and read back, a
// late-bound read, AddURL, the About box shown and closed, release, the unload
// check, FreeLibrary) is failed in turn, once, each run in a process of its
// own. Each run must leave the process alive, give the host S_OK or a failure
// with its text (never a success that lost the value), let the DLL unload and
// the next clean cycle work, and hold no more after the same failure again.
// Wine's heap checker, where the run has it on, reports in the run's output.
#include <windows.h>
#include <olectl.h>
#include <process.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tests/com/com_host.h"
#include "tests/lowres/lowres_hooks.h"

namespace velko::testing {
namespace {

using namespace lowres;

// ---- the child: the failing cycle and a clean one, three times ----

std::ostringstream g_faults;  // one line each

// Whether a host call gave S_OK; a failure must come in the failing cycle only,
// with a text the host can show (the error object's, or the system's for its number).
bool Whole(const char* what, HRESULT hr, bool clean) {
  ComPtr<IErrorInfo> info;
  Bstr text;
  if (::GetErrorInfo(0, info.put()) == S_OK && info) info->GetDescription(text.put());
  wchar_t system[256];
  const DWORD code = (hr & 0xFFFF0000) == 0x800A0000 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
  if (hr != S_OK && (SUCCEEDED(hr) || clean || (!text.length() && !::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM |
      FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, system, 256, nullptr))))
    g_faults << what << " answered 0x" << std::hex << hr << std::dec << (clean ? " in the clean cycle\n" : " without a text\n");
  return hr == S_OK;
}

#define VELKO_STRING(name) {#name, &_CProductInfo::get_##name, &_CProductInfo::put_##name}
const struct {
  const char* name;
  decltype(&_CProductInfo::get_ProductName) get;
  decltype(&_CProductInfo::put_ProductName) put;
} kStrings[] = {VELKO_STRING(ProductName), VELKO_STRING(ProductVersion), VELKO_STRING(Copyright),
                VELKO_STRING(WebsiteHREF), VELKO_STRING(ProductCompanyName), VELKO_STRING(ProductCompanyAddress),
                VELKO_STRING(EULAPath)};

BOOL CALLBACK CountWindow(HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; }

// A crash ends the run with its exception code, without a debugger.
LONG WINAPI EndCrashedRun(EXCEPTION_POINTERS* e) {
  return ::TerminateProcess(::GetCurrentProcess(), e->ExceptionRecord->ExceptionCode), EXCEPTION_EXECUTE_HANDLER;
}

// The COM part of a cycle, on a thread of its own that ends with it, so that
// the DLL lets go of the thread's state before the ledger is read.
void UseObject(bool clean) {
  Apartment apartment;
  ComPtr<IClassFactory> factory;
  ComPtr<_CProductInfo> object;
  if (!Whole("DllGetClassObject", CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory,
                                             factory.put_void()), clean) ||
      !Whole("CreateInstance", factory->CreateInstance(nullptr, IID__CProductInfo, object.put_void()), clean))
    return;
  std::wstring product_name;  // what the object holds
  for (const auto& s : kStrings) {
    const std::wstring value = L"Low resources " + std::wstring(s.name, s.name + std::strlen(s.name));
    const bool put = Whole(s.name, (object.get()->*s.put)(Bstr(value)), clean);
    if (&s == kStrings && put) product_name = value;
    Bstr back;
    if (!Whole(s.name, (object.get()->*s.get)(back.put()), clean)) continue;
    --g_held[kBstr];  // the host's now
    if (back.str() != (put ? value : L"")) g_faults << s.name << " read back another value\n";
  }
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture, back;
  ::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void());
  const bool put = Whole("putref_ProductIcon", object->putref_ProductIcon(picture.get()), clean);
  if (Whole("get_ProductIcon", object->get_ProductIcon(back.put()), clean) && back.get() != (put ? picture.get() : nullptr))
    g_faults << "ProductIcon read back another picture\n";
  wchar_t name[] = L"ProductName", *names[] = {name};
  DISPID id = 0;
  VARIANT value;
  ::VariantInit(&value);
  DISPPARAMS none = {};
  if (Whole("GetIDsOfNames", object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), clean) &&
      Whole("Invoke", object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr), clean) &&
      (value.vt != VT_BSTR || std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)) != product_name))
    g_faults << "a late-bound ProductName lost its value\n";
  g_held[kBstr] -= value.vt == VT_BSTR;
  ::VariantClear(&value);
  Whole("AddURL", object->AddURL(Bstr(L"https://example.com/"), Bstr(L"Example")), clean);
  // The box is closed from a second thread as soon as it shows.
  const DWORD thread = ::GetCurrentThreadId();
  std::atomic<bool> returned{false}, shown{false};
  std::jthread closer([&] {
    forms::testing::WaitUntil([&] {
      HWND box = nullptr;
      ::EnumThreadWindows(thread, forms::testing::TakeVisibleDialog, reinterpret_cast<LPARAM>(&box));
      if (box) shown = true, ::PostMessageW(box, WM_CLOSE, 0, 0);
      return returned.load();
    });
  });
  VARIANT_BOOL result = VARIANT_FALSE;
  const bool showed = Whole("ShowAboutBox", object->ShowAboutBox(&result), clean);
  returned = true;
  closer.join();
  if (showed && !shown) g_faults << "ShowAboutBox answered S_OK for a box that never showed\n";
  object = nullptr, factory = nullptr;
  int windows = 0;
  ::EnumThreadWindows(thread, CountWindow, LPARAM(&windows));
  if (windows) g_faults << windows << " windows of the DLL outlived the cycle\n";
}

void Cycle(bool clean) {
  if (!Velko()) {
    if (clean || !::GetLastError()) g_faults << "VELKO.dll did not load: " << ::GetLastError() << "\n";
    return;
  }
  std::thread(UseObject, clean).join();
  if (const HRESULT hr = CallExport("DllCanUnloadNow"); hr != S_OK)
    g_faults << "DllCanUnloadNow answered 0x" << std::hex << hr << std::dec << "\n";
  ::FreeLibrary(std::exchange(Velko(), nullptr));
}

// Three pairs of a failing cycle and a clean one: the calls of the first failing
// cycle. What the first pair left once (what the runtime and the system make the
// first time a failure takes a path) the third must not add to; clean pairs, nothing.
std::array<long, kKinds> Pairs(int kind, long n) {
  std::array<long, kKinds> calls;
  std::array<long, kResources> held[3];
  for (auto& ledger : held) {
    Arm(kind, n), Cycle(false), g_armed = false;
    if (&ledger == held) calls = g_calls;
    if (&ledger == held && n && !g_injected) g_faults << "the failure was never made\n";
    Cycle(true);
    ledger = g_held;
  }
  if (held[2] != held[n ? 1 : 0]) g_faults << "the DLL holds more after each pair (" << kResourceNames << ")\n";
  return calls;
}

// The run of a child: `kind` and `n` to fail, and the calls its first cycle must
// make, when given. It prints its faults.
int Child(int argc, char** argv) {
  ::SetUnhandledExceptionFilter(EndCrashedRun);
  if (!HookDllLoads(L"VELKO.dll")) return std::printf("no DLL notification\n"), 2;
  ::SetCursorPos(0, 0);  // off the box: no cursor messages that one run gets and another not
  const auto calls = Pairs(std::atoi(argv[2]), std::atol(argv[3]));
  for (int k = 0; k < kKinds && argc == 4 + kKinds; ++k)
    if (calls[k] != std::atol(argv[4 + k])) g_faults << kRows[k].name << ": " << calls[k] << " calls in a second dry run\n";
  std::printf("%s", g_faults.str().c_str());
  return g_faults.str().empty() ? 0 : 1;
}

// ---- the sweep: one child process per failure ----

// This program run as a child with `args` (as one line): its exit code, 0xDEAD
// when it did not end in time.
DWORD RunChild(const std::wstring& args) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::fflush(stdout);
  const intptr_t child = _wspawnl(_P_NOWAIT, self, L"lowres", L"--lowres-run", args.c_str(), nullptr);
  DWORD code = ~0u;
  if (const UniqueHandle process(child == -1 ? nullptr : reinterpret_cast<HANDLE>(child)); process) {
    if (::WaitForSingleObject(process.get(), 120000u * forms::testing::TimeFactor()) != WAIT_OBJECT_0)
      ::TerminateProcess(process.get(), 0xDEAD), ::WaitForSingleObject(process.get(), INFINITE);
    ::GetExitCodeProcess(process.get(), &code);
  }
  return code;
}

// The dry run is this process's first cycle; a child's first cycle must make the same calls.
TEST(LowResources, EverySingleFailureInTheBoxCycleLeavesTheHostWholeAndTheNextCycleClean) {
  ASSERT_TRUE(HookDllLoads(L"VELKO.dll"));
  ::SetCursorPos(0, 0);
  const auto calls = Pairs(-1, 0);
  ASSERT_EQ("", g_faults.str());
  std::wstring counts;
  for (const long c : calls) counts += L" " + std::to_wstring(c);
  ASSERT_EQ(0u, RunChild(L"-1 0" + counts)) << "a second dry run failed";
  int injected = 0, broken = 0;
  for (int kind = 0; kind < kKinds; ++kind) {
    int kind_broken = 0;
    for (long n = 1; n <= calls[kind]; ++n, ++injected) {
      const DWORD code = RunChild(std::to_wstring(kind) + L" " + std::to_wstring(n));
      kind_broken += code != 0;
      EXPECT_EQ(0u, code) << kRows[kind].name << " call " << n << " of " << calls[kind] << " failed (again: --lowres-run "
                          << kind << " " << n << "), exit code 0x" << std::hex << code << " (1: the faults above)";
    }
    if (calls[kind]) std::printf("%-24s %3ld calls, each failed once: %d broke the host\n", kRows[kind].name, calls[kind],
                                 kind_broken);
    broken += kind_broken;
  }
  std::printf("%d single failures, %d broke the host; at the start nothing held, at the end (%s)", injected, broken,
              kResourceNames);
  for (int r = 1; r < kResources; ++r) std::printf(" %ld", g_held[r]);
  std::printf("\n");
}

}  // namespace
}  // namespace velko::testing

int main(int argc, char** argv) {
  if (argc >= 4 && !std::strcmp(argv[1], "--lowres-run")) return velko::testing::Child(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
