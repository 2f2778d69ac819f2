// A C++ host of VELKO.dll for tests: loads the built DLL from bin/ without
// registration and creates objects through its own class factory. Strings go
// through the client header's Bstr, as a C++ host's do. Brings what every host
// test uses: the Win32 and COM headers, GoogleTest and the dialog driver.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>

#include "platform/win32/unique_handle.h"
#include "scripts/dialog_driver.h"
#include "tests/support/process_probe.h"
#include "velko_client.h"

namespace velko::testing {

using client::Bstr;
using forms::testing::Apartment;

// build/<preset>/bin/ seen from build/<preset>/tests/.
inline std::wstring ProductFolder() {
  const std::wstring tests = TestProgramFolder();
  return tests.substr(0, tests.find_last_of(L'\\')) + L"\\bin";
}

// bin\VELKO.dll, loaded on first use and kept until a test unloads it.
inline HMODULE& Velko() {
  static HMODULE module = nullptr;
  if (!module) module = ::LoadLibraryW((ProductFolder() + L"\\VELKO.dll").c_str());
  return module;
}

template <typename... Args>
HRESULT CallExport(const char* name, Args... args) {
  auto f = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(Args...)>(reinterpret_cast<void*>(::GetProcAddress(Velko(), name)));
  return f ? f(args...) : E_FAIL;
}

// The text properties: name, getter, setter.
#define VELKO_STRING(name) std::tuple(#name, &_CProductInfo::get_##name, &_CProductInfo::put_##name)
inline const auto kTextProperties = std::array{VELKO_STRING(ProductName), VELKO_STRING(ProductVersion),
                                               VELKO_STRING(Copyright), VELKO_STRING(WebsiteHREF),
                                               VELKO_STRING(ProductCompanyName), VELKO_STRING(ProductCompanyAddress),
                                               VELKO_STRING(EULAPath)};
#undef VELKO_STRING

inline ComPtr<_CProductInfo> Create() {
  ComPtr<IClassFactory> factory;
  ComPtr<_CProductInfo> object;
  EXPECT_EQ(CallExport("DllGetClassObject", &CLSID_CProductInfo, &IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(factory ? factory->CreateInstance(nullptr, IID__CProductInfo, object.put_void()) : E_FAIL, S_OK);
  return object;
}

}  // namespace velko::testing
