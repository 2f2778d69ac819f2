// CProductInfo's IDispatch, served from the type library in the DLL's own
// TYPELIB resource, so that late-bound hosts and early-bound C++ see the same
// members with the same DISPIDs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "component/velko_h.h"

namespace velko::dispatch {

// IDispatch of an object of the class. The type information is loaded once per
// process (not per object) and kept while the process lives: the DLL is pinned,
// and an object may read it at any moment from any thread. A failure to load it
// is the answer of every call below, and the next call tries again.

// GetTypeInfo: a counted reference for index 0, DISP_E_BADINDEX for any other.
HRESULT GetTypeInfo(UINT index, ITypeInfo** info) noexcept;

// GetIDsOfNames, without regard to case; DISP_E_UNKNOWNINTERFACE for an `iid`
// other than IID_NULL.
HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Invoke of `object`: member `id` called as `flags` says, with automation's
// answers for what DispInvoke would let through: DISP_E_BADPARAMCOUNT for more
// arguments than the member takes, DISP_E_TYPEMISMATCH (and *arg_err) for an
// object argument that is not what the member takes. `object` is kept alive
// until the member returns, whatever the member releases meanwhile.
HRESULT Invoke(_CProductInfo* object, DISPID id, REFIID iid, WORD flags, DISPPARAMS* params, VARIANT* result,
               EXCEPINFO* excep, UINT* arg_err) noexcept;

}  // namespace velko::dispatch
