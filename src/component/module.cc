#include "component/module.h"

namespace velko::module {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_pinned = 0;
LONG g_uses = 0;

class UseHolderObject final : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = iid == IID_IUnknown ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() noexcept override { return AddUse(), 2; }
  STDMETHODIMP_(ULONG) Release() noexcept override { return ReleaseUse(), 1; }
};
UseHolderObject g_use_holder;

}  // namespace

void SetInstance(HINSTANCE instance) noexcept { g_instance = instance; }
HINSTANCE Instance() noexcept { return g_instance; }

void AddUse() noexcept { ::InterlockedIncrement(&g_uses); }
void ReleaseUse() noexcept { ::InterlockedDecrement(&g_uses); }
IUnknown* UseHolder() noexcept { return &g_use_holder; }

bool CanUnload() noexcept { return ::InterlockedCompareExchange(&g_uses, 0, 0) == 0; }

HRESULT Pin() noexcept {
  if (::InterlockedCompareExchange(&g_pinned, 0, 0)) return S_OK;
  HMODULE pinned = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                            reinterpret_cast<LPCWSTR>(&Pin), &pinned))
    return HRESULT_FROM_WIN32(::GetLastError());
  ::InterlockedExchange(&g_pinned, 1);
  return S_OK;
}

}  // namespace velko::module
