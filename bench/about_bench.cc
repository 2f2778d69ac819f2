// ShowAboutBox as a host calls it (CoCreateInstance on the registered VELKO.dll,
// then IDispatch), from the call to the moment its box is shown, against
// MessageBoxW from its call to the moment its box is shown. A hook on the
// calling thread notes when a top-level window of the thread becomes visible
// and asks it to close; the closing is not timed. Needs VELKO.dll registered
// (scripts/bench.sh does that).
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "bench/bench.h"
#include "bench/shown_window.h"

namespace {

using velko::bench::g_shown, velko::bench::g_shown_at, velko::bench::WatchTopLevelWindows;

// {4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}, VELKO.CProductInfo
const CLSID kProductInfo = {0x4f52fd55, 0xceea, 0x43b0, {0xbe, 0xb8, 0x45, 0xcf, 0x90, 0x5b, 0xe7, 0xc3}};
constexpr int kSamples = 20;



// Nanoseconds from the start of `show` to its box becoming visible; NaN when
// no box appeared.
double TimeToShown(const std::function<void()>& show) {
  LARGE_INTEGER frequency, start;
  ::QueryPerformanceFrequency(&frequency);
  g_shown = false;
  ::QueryPerformanceCounter(&start);
  show();
  if (!g_shown) return std::nan("");
  return static_cast<double>(g_shown_at.QuadPart - start.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? std::nan("") : v[v.size() / 2];
}

class Dispatch {
 public:
  explicit Dispatch(IDispatch* object) : object_(object) {}
  HRESULT Call(const wchar_t* member, WORD kind, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    DISPID id;
    auto* name = const_cast<LPOLESTR>(member);
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());  // automation passes the last argument first
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), kind == DISPATCH_PROPERTYPUT ? &put : nullptr, static_cast<UINT>(args.size()),
                      kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
    hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params, result, nullptr, nullptr);
    for (VARIANT& v : args) ::VariantClear(&v);
    return hr;
  }
  static VARIANT Str(const wchar_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text);
    return v;
  }

 private:
  IDispatch* object_;
};

velko::bench::Result AboutBoxShown() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  velko::bench::Result result{std::nan(""), std::nan("")};
  IDispatch* about = nullptr;
  if (SUCCEEDED(::CoCreateInstance(kProductInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&about)))) {
    Dispatch d(about);
    d.Call(L"ProductName", DISPATCH_PROPERTYPUT, {Dispatch::Str(L"Contoso Draw")});
    d.Call(L"ProductVersion", DISPATCH_PROPERTYPUT, {Dispatch::Str(L"4.2.1")});
    d.Call(L"Copyright", DISPATCH_PROPERTYPUT, {Dispatch::Str(L"Copyright (c) 2026 Contoso Ltd.")});
    d.Call(L"EULAPath", DISPATCH_PROPERTYPUT, {Dispatch::Str(L"C:\\Contoso\\EULA.rtf")});
    d.Call(L"AddURL", DISPATCH_METHOD, {Dispatch::Str(L"https://contoso.example/"), Dispatch::Str(L"Support")});
    auto ours = [&] {
      VARIANT shown_result;
      ::VariantInit(&shown_result);
      d.Call(L"ShowAboutBox", DISPATCH_METHOD, {}, &shown_result);
    };
    auto yardstick = [] {
      ::MessageBoxW(nullptr, L"Contoso Draw 4.2.1\nCopyright (c) 2026 Contoso Ltd.", L"About Contoso Draw", MB_OK);
    };
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROCRET, WatchTopLevelWindows, nullptr, ::GetCurrentThreadId());
    TimeToShown(ours);  // warm both paths: first window class use, fonts, the form object
    TimeToShown(yardstick);
    std::vector<double> a, b;
    for (int i = 0; i < kSamples; ++i) {
      // Alternated, so that drift on a noisy machine hits both alike.
      if (i % 2) {
        a.push_back(TimeToShown(ours));
        b.push_back(TimeToShown(yardstick));
      } else {
        b.push_back(TimeToShown(yardstick));
        a.push_back(TimeToShown(ours));
      }
    }
    ::UnhookWindowsHookEx(hook);
    about->Release();
    result = {Median(a), Median(b)};
  }
  ::CoUninitialize();
  return result;
}

VELKO_BENCH_ROW("ShowAboutBox -> box shown vs MessageBoxW (median of 20)", 0.8, AboutBoxShown);

}  // namespace
