// The DLL's entry point and its COM exports.
#include <windows.h>

#include "component/class_factory.h"
#include "component/exception_globals.h"
#include "component/module.h"
#include "component/registration.h"
#include "component/thread_state.h"

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      velko::module::SetInstance(instance);
      break;
    case DLL_THREAD_DETACH:
    case DLL_PROCESS_DETACH:
      velko::OnThreadDetach();
      velko::ReleaseThreadExceptionGlobals();
      break;
    default:
      break;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) { return velko::GetClassObject(clsid, iid, out); }

STDAPI DllCanUnloadNow() { return velko::module::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return velko::RegisterServer(velko::RegistrationScope::kMachine); }

STDAPI DllUnregisterServer() { return velko::UnregisterServer(velko::RegistrationScope::kMachine); }

// regsvr32 /n /i:user VELKO.dll registers for the current user only (no
// administrator rights); /u /n /i:user removes exactly that. Without a command
// line it means what DllRegisterServer and DllUnregisterServer mean.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
  velko::RegistrationScope scope = velko::RegistrationScope::kMachine;
  if (command_line && *command_line) {
    if (::lstrcmpiW(command_line, L"user") != 0) return E_INVALIDARG;
    scope = velko::RegistrationScope::kUser;
  }
  return install ? velko::RegisterServer(scope) : velko::UnregisterServer(scope);
}

}  // extern "C"
