#include "tests/com/com_host.h"

#include <gtest/gtest.h>

namespace velko::testing {

std::wstring ProductFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  folder.resize(folder.find_last_of(L'\\'));
  folder.resize(folder.find_last_of(L'\\'));
  return folder + L"\\bin";
}

ComServer::ComServer() {
  module_ = ::LoadLibraryW((ProductFolder() + L"\\VELKO.dll").c_str());
  if (!module_) return;
  get_class_object_ = reinterpret_cast<GetClassObjectFn>(
      reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
  can_unload_now_ = reinterpret_cast<CanUnloadNowFn>(
      reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
}

HRESULT ComServer::GetClassObject(REFCLSID clsid, REFIID iid, void** out) const {
  return get_class_object_ ? get_class_object_(clsid, iid, out) : E_FAIL;
}

HRESULT ComServer::CanUnloadNow() const { return can_unload_now_ ? can_unload_now_() : E_FAIL; }

ComPtr<_CProductInfo> ComServer::Create() const {
  ComPtr<IClassFactory> factory;
  ComPtr<_CProductInfo> object;
  HRESULT hr = GetClassObject(CLSID_CProductInfo, IID_IClassFactory, factory.put_void());
  EXPECT_EQ(hr, S_OK) << "DllGetClassObject";
  if (SUCCEEDED(hr)) {
    hr = factory->CreateInstance(nullptr, IID__CProductInfo, object.put_void());
    EXPECT_EQ(hr, S_OK) << "CreateInstance";
  }
  return object;
}

const ComServer& Server() {
  static ComServer server;
  return server;
}

UniqueBstr MakeBstr(const std::u16string& text) {
  return UniqueBstr(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size())));
}

std::u16string FromBstr(BSTR s) {
  return s ? std::u16string(reinterpret_cast<const char16_t*>(s), ::SysStringLen(s)) : std::u16string();
}

}  // namespace velko::testing
