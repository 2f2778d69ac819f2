// A C++ host of VELKO.dll for tests: loads the built DLL from bin/ without
// registration and creates objects through its own class factory.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

#include "component/velko_h.h"
#include "platform/win32/unique_handle.h"
#include "tests/support/process_probe.h"

namespace velko::testing {

// build/<preset>/bin/ seen from build/<preset>/tests/.
std::wstring ProductFolder();

// One apartment for the calling thread, for the lifetime of the object.
class Apartment {
 public:
  Apartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~Apartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

class ComServer {
 public:
  ComServer();  // loads bin\VELKO.dll (kept for the process)
  HMODULE module() const { return module_; }
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) const;
  HRESULT CanUnloadNow() const;
  // A new CProductInfo; fails the current test when it cannot be made.
  ComPtr<_CProductInfo> Create() const;

 private:
  HMODULE module_ = nullptr;
  using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
  GetClassObjectFn get_class_object_ = nullptr;
  CanUnloadNowFn can_unload_now_ = nullptr;
};

const ComServer& Server();

// A BSTR that owns its text (embedded NULs kept).
UniqueBstr MakeBstr(const std::u16string& text);
std::u16string FromBstr(BSTR s);

}  // namespace velko::testing
