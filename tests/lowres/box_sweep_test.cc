// A host in low resources: every allocation and system call that VELKO.dll
// makes in one host cycle (load, create, every property put and read back, a
// late-bound read, AddURL, the About box shown and closed, release, the unload
// check, FreeLibrary) is failed in turn, once, each run in a process of its
// own. Each run must leave the process alive, give the host S_OK or a failure
// with its text (never a success that lost the value), let the DLL unload and
// the next clean cycle work, and hold no more after the same failure again.
// Wine's heap checker, where the run has it on, reports in the run's output.
// VELKO_LOWRES_KINDS (comma-separated names) narrows the sweep to those kinds.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/com/com_host.h"
#include "tests/lowres/lowres_hooks.h"

namespace velko::testing {
namespace {

using namespace lowres;

int TimeFactor() {
  const char* factor = std::getenv("VELKO_TIME_FACTOR");
  return std::max(factor ? std::atoi(factor) : 1, 1);
}

std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", value);
  return text;
}

// "module+offset" of a code address, to look up in the module's link map.
std::string Where(void* address) {
  HMODULE module = nullptr;
  char name[MAX_PATH] = "?";
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(address), &module);
  ::GetModuleFileNameA(module, name, MAX_PATH);
  return std::string(std::strrchr(name, '\\') ? std::strrchr(name, '\\') + 1 : name) + "+" +
         Hex(static_cast<char*>(address) - reinterpret_cast<char*>(module));
}

// ---- the child: the failing cycle and a clean one, three times ----

std::vector<std::string> g_faults;

// Whether a host call gave S_OK; a failure must come in the failing cycle only,
// with a text the host can show (the error object's, or the system's for its number).
bool Whole(const char* what, HRESULT hr, bool clean) {
  ComPtr<IErrorInfo> info;
  Bstr description;
  if (::GetErrorInfo(0, info.put()) == S_OK && info) info->GetDescription(description.put());
  if (hr == S_OK) return true;
  wchar_t text[256];
  const DWORD code = (hr & 0xFFFF0000) == 0x800A0000 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr);
  if (SUCCEEDED(hr) || clean ||
      (!description.length() && !::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                                   code, 0, text, 256, nullptr)))
    g_faults.push_back(std::string(what) + " answered " + Hex(hr) + (clean ? " in the clean cycle" : " without a text"));
  return false;
}

using Getter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR*);
using Setter = HRESULT (STDMETHODCALLTYPE _CProductInfo::*)(BSTR);
#define VELKO_STRING(name) {#name, &_CProductInfo::get_##name, &_CProductInfo::put_##name}
const struct {
  const char* name;
  Getter get;
  Setter put;
} kStrings[] = {VELKO_STRING(ProductName), VELKO_STRING(ProductVersion), VELKO_STRING(Copyright),
                VELKO_STRING(WebsiteHREF), VELKO_STRING(ProductCompanyName), VELKO_STRING(ProductCompanyAddress),
                VELKO_STRING(EULAPath)};

BOOL CALLBACK CountWindow(HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; }

// A crash ends the run with its exception code, without a debugger.
LONG WINAPI EndCrashedRun(EXCEPTION_POINTERS* e) {
  std::printf("crash: %s at %s\n", Hex(e->ExceptionRecord->ExceptionCode).c_str(),
              Where(e->ExceptionRecord->ExceptionAddress).c_str());
  std::fflush(stdout);
  ::TerminateProcess(::GetCurrentProcess(), e->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// The COM part of a cycle, on a thread of its own that ends with it, so that
// the DLL lets go of the thread's state before the ledger is read.
void UseObject(HMODULE module, bool clean) {
  Apartment apartment;
  const auto get_class = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ComPtr<_CProductInfo> object;
  if (!Whole("DllGetClassObject", get_class(CLSID_CProductInfo, IID_IClassFactory, factory.put_void()), clean) ||
      !Whole("CreateInstance", factory->CreateInstance(nullptr, IID__CProductInfo, object.put_void()), clean))
    return;
  std::wstring product_name;  // what the object holds
  for (const auto& s : kStrings) {
    const std::wstring value = L"Low resources " + std::wstring(s.name, s.name + std::strlen(s.name));
    const bool put = Whole(s.name, (object.get()->*s.put)(Bstr(value)), clean);
    if (s.get == &_CProductInfo::get_ProductName && put) product_name = value;
    Bstr back;
    if (!Whole(s.name, (object.get()->*s.get)(back.put()), clean)) continue;
    --g_held[kBstr];  // the host's now
    if (back.str() != (put ? value : L"")) g_faults.push_back(std::string(s.name) + " read back another value");
  }
  PICTDESC desc = {sizeof(PICTDESC), PICTYPE_NONE, {}};
  ComPtr<IPictureDisp> picture, back;
  ::OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void());
  const bool put = Whole("putref_ProductIcon", object->putref_ProductIcon(picture.get()), clean);
  if (Whole("get_ProductIcon", object->get_ProductIcon(back.put()), clean) && back.get() != (put ? picture.get() : nullptr))
    g_faults.push_back("ProductIcon read back another picture");
  wchar_t name[] = L"ProductName", *names[] = {name};
  DISPID id = 0;
  VARIANT value;
  ::VariantInit(&value);
  DISPPARAMS none = {};
  if (Whole("GetIDsOfNames", object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), clean) &&
      Whole("Invoke", object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr), clean) &&
      (value.vt != VT_BSTR || std::wstring(value.bstrVal, ::SysStringLen(value.bstrVal)) != product_name))
    g_faults.push_back("a late-bound ProductName lost its value");
  g_held[kBstr] -= value.vt == VT_BSTR;
  ::VariantClear(&value);
  Whole("AddURL", object->AddURL(Bstr(L"https://example.com/"), Bstr(L"Example")), clean);
  // The box is closed from a second thread as soon as it shows.
  const DWORD thread = ::GetCurrentThreadId();
  std::atomic<bool> returned{false}, shown{false};
  std::jthread closer([&] {
    const ULONGLONG end = ::GetTickCount64() + 20000ull * TimeFactor();
    for (HWND box = nullptr; !returned && ::GetTickCount64() < end; ::Sleep(10)) {
      ::EnumThreadWindows(thread, forms::testing::TakeVisibleDialog, reinterpret_cast<LPARAM>(&box));
      if (box) shown = true, ::PostMessageW(box, WM_CLOSE, 0, 0);
    }
  });
  VARIANT_BOOL result = VARIANT_FALSE;
  const bool showed = Whole("ShowAboutBox", object->ShowAboutBox(&result), clean);
  returned = true;
  closer.join();
  if (showed && !shown) g_faults.push_back("ShowAboutBox answered S_OK for a box that never showed");
  object = nullptr, factory = nullptr;
  int windows = 0;
  ::EnumThreadWindows(thread, CountWindow, LPARAM(&windows));
  if (windows) g_faults.push_back(std::to_string(windows) + " windows of the DLL outlived the cycle");
}

void Cycle(bool clean) {
  const HMODULE module = ::LoadLibraryW((ProductFolder() + L"\\VELKO.dll").c_str());
  if (!module) {
    if (clean || !::GetLastError()) g_faults.push_back("VELKO.dll did not load: " + std::to_string(::GetLastError()));
    return;
  }
  std::thread(UseObject, module, clean).join();
  const auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllCanUnloadNow")));
  if (const HRESULT hr = can_unload(); hr != S_OK) g_faults.push_back("DllCanUnloadNow answered " + Hex(hr));
  ::FreeLibrary(module);
}

int Child(int kind, long n) {
  ::SetUnhandledExceptionFilter(EndCrashedRun);
  if (!HookDllLoads(L"VELKO.dll")) return std::printf("no DLL notification\n"), 2;
  ::SetCursorPos(0, 0);  // off the box: no cursor messages that one run gets and another not
  // Three times over. What the first two left (what the runtime and the system
  // make once, the first time a failure takes a path) the third must not add to.
  for (const char* ledger : {"ledger1", "ledger2", "ledger3"}) {
    FailNth(kind, n);
    Arm(true);
    Cycle(false);
    Arm(false);
    if (ledger[6] == '1') {
      if (n && !g_injected) g_faults.push_back("the failure was never made");
      std::printf("failed at %s\ncalls", g_injected ? Where(g_failed_at).c_str() : "-");
      for (const auto& calls : g_calls) std::printf(" %ld", calls.load());
    }
    Cycle(true);
    std::printf("\n%s", ledger);
    for (int r = 1; r < kResources; ++r) std::printf(" %ld", g_held[r].load());
  }
  for (const std::string& fault : g_faults) std::printf("\nfault: %s", fault.c_str());
  std::printf("\n");
  std::fflush(stdout);
  return g_faults.empty() ? 0 : 1;
}

// ---- the sweep: one child process per failure ----

struct ChildRun {
  DWORD exit_code = ~0u;
  std::string output;
  std::string Line(const std::string& key) const {
    const size_t at = output.find(key + " ");
    return at == std::string::npos ? "" : output.substr(at + key.size(), output.find('\n', at) - at - key.size());
  }
  std::vector<long> Numbers(const std::string& key) const {
    std::istringstream in(Line(key));
    std::vector<long> numbers;
    for (long v; in >> v;) numbers.push_back(v);
    return numbers;
  }
};

ChildRun RunChild(int kind, long n) {
  wchar_t self[MAX_PATH], dir[MAX_PATH], out_path[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::GetTempPathW(MAX_PATH, dir);
  ::GetTempFileNameW(dir, L"lrs", 0, out_path);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle out(::CreateFileW(out_path, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
  std::wstring command = L"lowres --lowres-run " + std::to_wstring(kind) + L" " + std::to_wstring(n);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = out.get();
  PROCESS_INFORMATION process = {};
  ChildRun run;
  if (::CreateProcessW(self, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    UniqueHandle process_handle(process.hProcess), thread_handle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, 120000u * TimeFactor()) != WAIT_OBJECT_0)
      ::TerminateProcess(process.hProcess, 0xDEAD), ::WaitForSingleObject(process.hProcess, INFINITE);
    ::GetExitCodeProcess(process.hProcess, &run.exit_code);
  }
  out.reset();
  if (FILE* f = _wfopen(out_path, L"rb")) {
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f));) run.output.append(buffer, got);
    std::fclose(f);
  }
  ::DeleteFileW(out_path);
  return run;
}

TEST(LowResources, EverySingleFailureInTheBoxCycleLeavesTheHostWholeAndTheNextCycleClean) {
  const ChildRun dry = RunChild(-1, 0), again = RunChild(-1, 0);
  ASSERT_EQ(dry.exit_code, 0u) << dry.output;
  ASSERT_EQ(dry.Line("calls"), again.Line("calls")) << "two clean cycles made different calls";
  const std::vector<long> calls = dry.Numbers("calls");
  ASSERT_EQ(calls.size(), size_t(kKinds));
  EXPECT_EQ(dry.Line("ledger1"), dry.Line("ledger3")) << "clean cycles leave more each time (" << kResourceNames << ")";
  const char* only = std::getenv("VELKO_LOWRES_KINDS");
  int injected = 0, broken = 0;
  for (int kind = 0; kind < kKinds; ++kind) {
    if (kRows[kind].effect >= kGive || !calls[kind] ||
        (only && ("," + std::string(only) + ",").find("," + std::string(kRows[kind].name) + ",") == std::string::npos))
      continue;
    int kind_broken = 0;
    for (long n = 1; n <= calls[kind]; ++n, ++injected) {
      const ChildRun run = RunChild(kind, n);
      const bool whole = run.exit_code == 0 && run.Line("ledger2") == run.Line("ledger3") &&
                         run.output.find(":heap:") == std::string::npos;
      kind_broken += !whole;
      EXPECT_TRUE(whole) << kRows[kind].name << " call " << n << " of " << calls[kind] << " failed: exit code "
                         << Hex(run.exit_code) << " (1: the faults listed); the " << kResourceNames
                         << " held must not grow from ledger2 to ledger3\n" << run.output;
    }
    std::printf("%-24s %3ld calls, each failed once: %d broke the host\n", kRows[kind].name, calls[kind], kind_broken);
    broken += kind_broken;
  }
  std::printf("%d single failures, %d broke the host; held (%s) at the start 0, at the end%s\n", injected, broken,
              kResourceNames, dry.Line("ledger2").c_str());
}

}  // namespace
}  // namespace velko::testing

int main(int argc, char** argv) {
  if (argc == 4 && !std::strcmp(argv[1], "--lowres-run"))
    return velko::testing::Child(std::atoi(argv[2]), std::atol(argv[3]));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
