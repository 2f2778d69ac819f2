// Self-registration of the in-process server: the class with its server path and
// apartment threading model, the programmatic identifier VELKO.CProductInfo, the
// type library and its interface. Unregistration removes exactly what registration
// wrote and succeeds when there is nothing to remove.
//
// The 32-bit and the 64-bit build may be registered side by side. Each writes the
// class in its own registry view; the ProgID and the type library's version key
// are shared, so unregistration leaves them, and the interface in the 32-bit view,
// while the other build still registers the class, and removes only its own
// platform's entry of the type library.
#pragma once

#include <windows.h>

namespace velko {

enum class RegistrationScope {
  kMachine,  // HKLM\Software\Classes (administrator rights)
  kUser,     // HKCU\Software\Classes, no administrator rights needed
};

HRESULT RegisterServer(RegistrationScope scope) noexcept;
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

}  // namespace velko
