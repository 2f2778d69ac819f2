// The class factory of CProductInfo, the server's only creatable class.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace velko {

// DllGetClassObject's work: hands out the factory for CLSID_CProductInfo.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace velko
