#include "component/dispatch.h"

#include <oleauto.h>

#include <cstring>
#include <new>
#include <vector>

#include "component/com_error.h"
#include "platform/win32/own_module.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::dispatch {
namespace {

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
    result = ::LoadTypeLibEx(AsWide(platform::OwnModulePath()), REGKIND_NONE, lib.put());
  } catch (const std::bad_alloc&) {
    result = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(result)) result = lib->GetTypeInfoOfGuid(IID__CProductInfo, &loaded);
  if (FAILED(result)) return FALSE;
  ReadMembers(loaded);
  *info = loaded;
  return TRUE;
}

// Wine's argument coercion takes a reference when it turns a VT_UNKNOWN into the
// IDispatch a member expects and keeps it when the member then refuses the
// object, so the host's object would leak. Arguments are handed on with every
// such object already asked for IDispatch here (and released after the call).
class DispatchArguments {
 public:
  // The parameters to pass on; null with *failed_arg set when an object has no
  // IDispatch (a type mismatch for that argument).
  DISPPARAMS* Prepare(const DISPPARAMS& params, UINT* failed_arg) {
    args_.assign(params.rgvarg, params.rgvarg + params.cArgs);
    held_.reserve(args_.size());  // nothing allocates between a reference taken and its owner
    for (UINT i = 0; i < args_.size(); ++i) {
      if (args_[i].vt != VT_UNKNOWN || !args_[i].punkVal) continue;
      ComPtr<IDispatch>& dispatch = held_.emplace_back();
      if (FAILED(args_[i].punkVal->QueryInterface(IID_IDispatch, dispatch.put_void()))) {
        *failed_arg = i;
        return nullptr;
      }
      args_[i].vt = VT_DISPATCH;
      args_[i].pdispVal = dispatch.get();
    }
    copy_ = params;
    copy_.rgvarg = args_.data();
    return &copy_;
  }

 private:
  DISPPARAMS copy_ = {};
  std::vector<VARIANT> args_;
  std::vector<ComPtr<IDispatch>> held_;
};

// How many arguments member `id` takes when invoked with `flags` (a property
// put counts its value); -1 for an unknown member.
int ArgumentCount(DISPID id, WORD flags) {
  if (!InTables(id)) return -1;
  return g_arguments[id][(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0];
}

int StringGetterSlot(DISPID id) { return InTables(id) ? g_string_getters[id] : -1; }

// The type information, not counted for the caller; null with the failure in *hr.
ITypeInfo* TypeInfo(HRESULT* hr) noexcept {
  *hr = S_OK;
  void* info = nullptr;
  return ::InitOnceExecuteOnce(&g_type_info_once, LoadTypeInfo, hr, &info) ? static_cast<ITypeInfo*>(info) : nullptr;
}

}  // namespace

HRESULT GetTypeInfo(UINT index, ITypeInfo** info) noexcept {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  HRESULT hr;
  if ((*info = TypeInfo(&hr))) (*info)->AddRef();
  return hr;
}

HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  HRESULT hr;
  ITypeInfo* type_info = TypeInfo(&hr);
  return type_info ? ::DispGetIDsOfNames(type_info, names, count, ids) : hr;
}

HRESULT Invoke(_CProductInfo* object, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_err) noexcept {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!params) return E_POINTER;
  HRESULT hr;
  ITypeInfo* type_info = TypeInfo(&hr);
  if (!type_info) return hr;
  const int expected = ArgumentCount(id, flags);
  if (expected >= 0 && params->cArgs > static_cast<UINT>(expected)) return DISP_E_BADPARAMCOUNT;
  // Reading a string property is the call hosts make most. The getter is called
  // straight through the slot the type library gives it, which spares the copy of
  // the result that the generic path makes (a read through DispInvoke alone takes
  // about 1.6 times as long); a failing getter takes the generic path, so errors
  // are reported exactly as there.
  if ((flags & DISPATCH_PROPERTYGET) && params->cArgs == 0 && result) {
    const int slot = StringGetterSlot(id);
    if (slot >= 0) {
      using Getter = HRESULT(STDMETHODCALLTYPE*)(_CProductInfo*, BSTR*);
      const Getter get = reinterpret_cast<Getter>((*reinterpret_cast<void***>(object))[slot]);
      BSTR value = nullptr;
      if (SUCCEEDED(get(object, &value))) {
        result->vt = VT_BSTR;
        result->bstrVal = value;
        return S_OK;
      }
    }
  }
  hr = Guarded(IID__CProductInfo, [&] {
    DispatchArguments arguments;
    UINT failed_arg = 0;
    DISPPARAMS* passed = arguments.Prepare(*params, &failed_arg);
    if (!passed) {
      if (arg_err) *arg_err = failed_arg;
      return DISP_E_TYPEMISMATCH;
    }
    // The member may release the last outside reference (a script dropping its
    // variable inside a call); keep the object alive until the call is done.
    object->AddRef();
    const HRESULT invoked = ::DispInvoke(object, type_info, id, flags, passed, result, excep, arg_err);
    object->Release();
    return invoked;
  });
  // The only interface a member's argument is asked for is IPictureDisp: an
  // object that is not a picture is a type mismatch to the caller.
  if (hr == E_NOINTERFACE) {
    if (arg_err) *arg_err = 0;
    return DISP_E_TYPEMISMATCH;
  }
  return hr;
}

}  // namespace velko::dispatch
