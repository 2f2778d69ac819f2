// Creates CProductInfo from the per-user registration alone, the way COM on
// Windows resolves it through HKEY_CLASSES_ROOT (which merges
// HKCU\Software\Classes): ProgID -> CLSID -> InprocServer32 -> DllGetClassObject.
// Wine 8 does not merge per-user classes into HKEY_CLASSES_ROOT, so the lookup is
// spelled out here. Prints "created: <ProductName>" or what was missing.
#include <windows.h>

#include <cstdio>
#include <string>

#include "component/velko_h.h"
#include "platform/win32/unique_handle.h"

namespace {

std::wstring ReadDefault(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  const std::wstring full = L"Software\\Classes\\" + key;
  if (::RegGetValueW(HKEY_CURRENT_USER, full.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return {};
  return data;
}

}  // namespace

int main() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring clsid = ReadDefault(L"VELKO.CProductInfo\\CLSID");
  const std::wstring server = ReadDefault(L"CLSID\\" + clsid + L"\\InprocServer32");
  const std::wstring model = ReadDefault(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel");
  if (clsid.empty() || server.empty() || model != L"Apartment") {
    std::printf("missing: clsid '%ls' server '%ls' model '%ls'\n", clsid.c_str(), server.c_str(), model.c_str());
    return 1;
  }
  HMODULE dll = ::LoadLibraryW(server.c_str());
  auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
  CLSID id;
  velko::ComPtr<IClassFactory> factory;
  velko::ComPtr<_CProductInfo> object;
  if (!get || FAILED(::CLSIDFromString(clsid.c_str(), &id)) || FAILED(get(id, IID_IClassFactory, factory.put_void())) ||
      FAILED(factory->CreateInstance(nullptr, IID__CProductInfo, object.put_void()))) {
    std::printf("cannot create from %ls\n", server.c_str());
    return 2;
  }
  velko::UniqueBstr name(::SysAllocString(L"Per-user product"));
  object->put_ProductName(name.get());
  BSTR back = nullptr;
  object->get_ProductName(&back);
  velko::UniqueBstr owned(back);
  std::printf("created: %ls\n", back);
  return 0;
}
