// Self-registration of the in-process server: the class with its server path and
// apartment threading model, the programmatic identifier VELKO.CProductInfo and
// the type library. Unregistration removes exactly what registration wrote and
// succeeds when there is nothing to remove.
#pragma once

#include <windows.h>

namespace velko {

enum class RegistrationScope {
  kMachine,  // HKEY_CLASSES_ROOT (HKLM\Software\Classes)
  kUser,     // HKCU\Software\Classes, no administrator rights needed
};

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace velko
