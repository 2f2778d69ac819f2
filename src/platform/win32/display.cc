#include "platform/win32/display.h"

#include <atomic>

#include "platform/win32/own_module.h"
#include "platform/win32/system_function.h"
#include "platform/win32/unique_handle.h"

namespace velko::forms::detail {

using platform::OwnModule;

// Kept once made: the module is pinned. Where it is invalid, dialogs take the
// thread's context. No function-local static: its guard would bring in the
// thread library, which crashes where its own allocation fails.
HANDLE CommonControlsContext() {
  static std::atomic<HANDLE> kept{nullptr};  // a context is never null
  if (const HANDLE context = kept.load()) return context;
  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.hModule = OwnModule();
  request.lpResourceName = ISOLATIONAWARE_MANIFEST_RESOURCE_ID;
  UniqueActCtx made(::CreateActCtxW(&request));
  HANDLE expected = nullptr;
  if (!made || kept.compare_exchange_strong(expected, made.get())) return made.release();
  return expected;  // another thread's, kept first
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  if (const auto get = SystemFunction<GetDpiForWindowFunction>(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))
    if (const UINT dpi = get(window)) return static_cast<int>(dpi);
  // shcore is not in every process: held for this call only.
  UniqueHModule shcore(LoadSystemLibrary(L"shcore.dll"));
  using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (const auto get = SystemFunction<GetDpiForMonitorFunction>(shcore.get(), "GetDpiForMonitor")) {
    UINT x = 0, y = 0;
    if (SUCCEEDED(get(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) && y > 0)
      return static_cast<int>(y);
  }
  const int dpi = ::GetDeviceCaps(ScopedWindowDc(nullptr).get(), LOGPIXELSY);
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace velko::forms::detail
