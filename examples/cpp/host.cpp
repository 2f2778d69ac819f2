// An example C++ host with early binding, built against the shipped client
// header only (build/<preset>/include). It creates VELKO.CProductInfo by its
// programmatic identifier, which works with a machine-wide registration or with
// registration-free COM (velko_host.exe.manifest beside the program).
//   velko_host.exe           sets and reads back the product information
//   velko_host.exe --show    also shows the About box
#include <cstdio>
#include <cwchar>

#include "velko_client.h"

int wmain(int argc, wchar_t** argv) {
  velko::client::ComInit com;
  CLSID clsid;
  HRESULT hr = ::CLSIDFromProgID(L"VELKO.CProductInfo", &clsid);
  if (FAILED(hr)) {
    std::printf("VELKO.CProductInfo is not available: 0x%08lx\n", static_cast<unsigned long>(hr));
    return 2;
  }
  _CProductInfo* about = nullptr;
  hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CProductInfo, reinterpret_cast<void**>(&about));
  if (FAILED(hr)) {
    std::printf("CoCreateInstance failed: 0x%08lx\n", static_cast<unsigned long>(hr));
    return 3;
  }
  about->put_ProductName(velko::client::Bstr(L"Contoso Draw"));
  about->put_ProductVersion(velko::client::Bstr(L"4.2"));
  about->put_Copyright(velko::client::Bstr(L"Copyright (c) 2026 Contoso"));
  about->put_WebsiteHREF(velko::client::Bstr(L"https://contoso.example"));
  about->AddURL(velko::client::Bstr(L"https://contoso.example/support"), velko::client::Bstr(L"Support"));

  velko::client::Bstr name, version;
  about->get_ProductName(name.put());
  about->get_ProductVersion(version.put());
  std::printf("created: %ls %ls\n", name.str().c_str(), version.str().c_str());

  int result = 0;
  if (argc > 1 && std::wcscmp(argv[1], L"--show") == 0) {
    VARIANT_BOOL shown = VARIANT_TRUE;
    hr = about->ShowAboutBox(&shown);
    std::printf("ShowAboutBox: 0x%08lx, %s\n", static_cast<unsigned long>(hr), shown ? "True" : "False");
    result = FAILED(hr) ? 4 : 0;
  }
  about->Release();
  return result;
}
