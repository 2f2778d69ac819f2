#include "component/module.h"

#include <oleauto.h>

#include <cstring>
#include <new>

#include "component/velko_h.h"
#include "platform/win32/own_module.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

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

// Loaded once (a failed load is tried again by the next caller) and never
// dropped: an object made on another thread may read it the moment the unload
// check has found nothing in use, and a pinned DLL gains nothing by letting it go.
INIT_ONCE g_type_info_once = INIT_ONCE_STATIC_INIT;

// What the type library says of each member, for checks and shortcuts that
// DispInvoke does not make: [id][0] for gets and methods, [id][1] for puts.
// Wine's DispInvoke accepts extra arguments silently, and hosts must get
// DISP_E_BADPARAMCOUNT for them.
constexpr DISPID kMaxDispid = 32;
signed char g_arguments[kMaxDispid][2];
// Vtable slot of each property get that returns a BSTR, or -1.
int g_string_getters[kMaxDispid];

// Whether `id` has a row in the tables above. A negative DISPID wraps to a
// large unsigned value, so one comparison bounds both ends.
bool InTables(DISPID id) { return static_cast<ULONG>(id) < static_cast<ULONG>(kMaxDispid); }

void ReadMembers(ITypeInfo* dispatch_view) {
  memset(g_arguments, -1, sizeof g_arguments);
  for (int& slot : g_string_getters) slot = -1;
  TYPEATTR* attr = nullptr;
  if (FAILED(dispatch_view->GetTypeAttr(&attr))) return;
  const WORD count = attr->cFuncs;
  dispatch_view->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < count; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(dispatch_view->GetFuncDesc(i, &f))) continue;
    if (InTables(f->memid)) {
      const bool put = f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
      // The dispinterface view lists [out, retval] as the result, not an argument.
      g_arguments[f->memid][put] = static_cast<signed char>(f->cParams);
    }
    dispatch_view->ReleaseFuncDesc(f);
  }
  // The dual interface's own view gives the vtable slots.
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> vtable_view;
  if (FAILED(dispatch_view->GetRefTypeOfImplType(-1, &ref)) ||
      FAILED(dispatch_view->GetRefTypeInfo(ref, vtable_view.put())) || FAILED(vtable_view->GetTypeAttr(&attr)))
    return;
  const WORD own = attr->cFuncs;
  vtable_view->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < own; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(vtable_view->GetFuncDesc(i, &f))) continue;
    // A getter's one parameter is its [out, retval] result.
    const bool bstr_getter = f->invkind == INVOKE_PROPERTYGET && f->cParams == 1 &&
                             f->lprgelemdescParam[0].tdesc.vt == VT_PTR &&
                             f->lprgelemdescParam[0].tdesc.lptdesc->vt == VT_BSTR;
    if (bstr_getter && InTables(f->memid))
      g_string_getters[f->memid] = f->oVft / static_cast<int>(sizeof(void*));
    vtable_view->ReleaseFuncDesc(f);
  }
}

// InitOnceExecuteOnce's callback: the type information in *info, or FALSE with
// the failure in *hr. Nothing may be thrown through kernel32's frames (i686's
// unwinder cannot cross them): a file name that cannot be had is E_OUTOFMEMORY.
BOOL CALLBACK LoadTypeInfo(INIT_ONCE*, void* hr, void** info) noexcept {
  HRESULT& result = *static_cast<HRESULT*>(hr);
  ComPtr<ITypeLib> lib;
  ITypeInfo* loaded = nullptr;
  try {
    result = ::LoadTypeLibEx(AsWide(FileName()), REGKIND_NONE, lib.put());
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(result)) result = lib->GetTypeInfoOfGuid(IID__CProductInfo, &loaded);
  if (FAILED(result)) return FALSE;
  ReadMembers(loaded);
  *info = loaded;
  return TRUE;
}

}  // namespace

void SetInstance(HINSTANCE instance) noexcept { g_instance = instance; }
HINSTANCE Instance() noexcept { return g_instance; }

std::u16string FileName() { return platform::ModulePath(g_instance); }

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

ITypeInfo* ProductInfoTypeInfo(HRESULT* hr) noexcept {
  *hr = S_OK;
  void* info = nullptr;
  return ::InitOnceExecuteOnce(&g_type_info_once, LoadTypeInfo, hr, &info) ? static_cast<ITypeInfo*>(info) : nullptr;
}

int ArgumentCount(DISPID id, WORD flags) noexcept {
  if (!InTables(id)) return -1;
  return g_arguments[id][(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0];
}

int StringGetterSlot(DISPID id) noexcept { return InTables(id) ? g_string_getters[id] : -1; }

}  // namespace velko::module
