// CProductInfo's IDispatch, served from the type library in the DLL's own
// TYPELIB resource, so that late-bound hosts and early-bound C++ see the same
// members with the same DISPIDs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "component/velko_h.h"

namespace velko::dispatch {

// The type information of _CProductInfo, loaded once per process (not per
// object) and kept while the process lives: the DLL is pinned, and an object
// may read it at any moment from any thread. Not counted for the caller; null
// when the type library cannot be loaded (with the failure in *hr).
ITypeInfo* ProductInfoTypeInfo(HRESULT* hr) noexcept;

// IDispatch::Invoke of `object` (its interface identifier and pointers already
// checked): member `id` called as `flags` says, with automation's answers for
// what DispInvoke would let through: DISP_E_BADPARAMCOUNT for more arguments
// than the member takes, DISP_E_TYPEMISMATCH (and *arg_err) for an object
// argument that is not what the member takes. `object` is kept alive until the
// member returns, whatever the member releases meanwhile.
HRESULT Invoke(_CProductInfo* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_err) noexcept;

}  // namespace velko::dispatch
