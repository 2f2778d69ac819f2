// velko_fresh_box: the first box of a fresh process, as a host shows it.
//
//   velko_fresh_box.exe about|messagebox [--steps]
//
// COM is initialised first; the clock then runs from there to the moment the
// box's window becomes visible (a hook on the thread sees it, notes the time and
// asks the box to close; the closing is not timed). "about" creates
// VELKO.CProductInfo by its ProgID, sets what a host sets and calls
// ShowAboutBox through IDispatch; "messagebox" calls MessageBoxW with the same
// texts. It prints the milliseconds, or with --steps the time at the end of
// each step. scripts/bench.sh starts it many times for each side and compares
// the medians. Built twice: velko_fresh_box_cc6.exe carries a common controls 6
// manifest and loads comctl32 before the clock, as a modern host has it.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>

#include "bench/shown_window.h"

namespace {

using velko::bench::g_shown, velko::bench::g_shown_at, velko::bench::WatchTopLevelWindows;

LARGE_INTEGER g_frequency, g_start;

double MsSince(const LARGE_INTEGER& start, const LARGE_INTEGER& now) {
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1e3 / static_cast<double>(g_frequency.QuadPart);
}

bool g_steps = false;
void Step(const char* name) {
  if (!g_steps) return;
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  std::printf("step %-28s %8.2f\n", name, MsSince(g_start, now));
}


HRESULT Call(IDispatch* object, const wchar_t* member, WORD kind, VARIANT* args, UINT count) {
  DISPID id;
  auto* name = const_cast<LPOLESTR>(member);
  HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  const bool is_put = kind == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{args, is_put ? &put : nullptr, count, is_put ? 1u : 0u};
  VARIANT result;
  ::VariantInit(&result);
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, &result, nullptr, nullptr);
  ::VariantClear(&result);
  for (UINT i = 0; i < count; ++i) ::VariantClear(&args[i]);
  return hr;
}

VARIANT Str(const wchar_t* text) {
  VARIANT v;
  v.vt = VT_BSTR;
  v.bstrVal = ::SysAllocString(text);
  return v;
}

HRESULT ShowAbout() {
  CLSID clsid;
  HRESULT hr = ::CLSIDFromProgID(L"VELKO.CProductInfo", &clsid);
  Step("ProgID looked up");
  if (FAILED(hr)) return hr;
  IDispatch* about = nullptr;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&about));
  Step("object created");
  if (FAILED(hr)) return hr;
  VARIANT v[2];
  v[0] = Str(L"Contoso Draw");
  Call(about, L"ProductName", DISPATCH_PROPERTYPUT, v, 1);
  Step("first property set");
  v[0] = Str(L"4.2.1");
  Call(about, L"ProductVersion", DISPATCH_PROPERTYPUT, v, 1);
  v[0] = Str(L"Copyright (c) 2026 Contoso Ltd.");
  Call(about, L"Copyright", DISPATCH_PROPERTYPUT, v, 1);
  v[0] = Str(L"C:\\Contoso\\EULA.rtf");
  Call(about, L"EULAPath", DISPATCH_PROPERTYPUT, v, 1);
  v[0] = Str(L"Support");  // automation passes the last argument first
  v[1] = Str(L"https://contoso.example/");
  Call(about, L"AddURL", DISPATCH_METHOD, v, 2);
  Step("properties set");
  hr = Call(about, L"ShowAboutBox", DISPATCH_METHOD, nullptr, 0);
  about->Release();
  return hr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (std::strcmp(argv[1], "about") && std::strcmp(argv[1], "messagebox"))) {
    std::fprintf(stderr, "usage: velko_fresh_box about|messagebox [--steps]\n");
    return 2;
  }
  g_steps = argc > 2 && !std::strcmp(argv[2], "--steps");
  const bool about = !std::strcmp(argv[1], "about");
  ::QueryPerformanceFrequency(&g_frequency);
#ifdef VELKO_FRESH_BOX_CC6
  // A host with a common controls 6 manifest usually has them loaded already.
  if (!::LoadLibraryW(L"comctl32.dll")) return 3;
#endif
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::QueryPerformanceCounter(&g_start);
  HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, WatchTopLevelWindows, nullptr, ::GetCurrentThreadId());
  HRESULT hr = S_OK;
  if (about)
    hr = ShowAbout();
  else
    ::MessageBoxW(nullptr, L"Contoso Draw 4.2.1\nCopyright (c) 2026 Contoso Ltd.", L"About Contoso Draw", MB_OK);
  ::UnhookWindowsHookEx(hook);
  if (!g_shown) {
    std::fprintf(stderr, "no box appeared (0x%08lx)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  if (g_steps) Step("box closed");
  std::printf("%s %.3f\n", about ? "about" : "messagebox", MsSince(g_start, g_shown_at));
  ::CoUninitialize();
  return 0;
}
