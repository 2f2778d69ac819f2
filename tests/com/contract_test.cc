// What compiled clients of version 1.0 rely on, read from the built DLL: the
// slots of the interface in its embedded type library, and DllInstall's command
// lines. A VB6 or C++ client calls by slot and DISPID; a reorder of the IDL moves
// header, class and library together, and only this table stays where it was.

#include <tuple>

#include "tests/com/com_host.h"

namespace velko::testing {
namespace {

// _CProductInfo's slots after IDispatch's seven, in order: name, kind, DISPID.
constexpr const wchar_t* kSlots =
    L"ProductName get 1, ProductName put 1, ProductVersion get 2, ProductVersion put 2, Copyright get 3, "
    L"Copyright put 3, WebsiteHREF get 4, WebsiteHREF put 4, ProductIcon get 5, ProductIcon putref 5, "
    L"ProductCompanyName get 6, ProductCompanyName put 6, ProductCompanyAddress get 7, ProductCompanyAddress put 7, "
    L"AddURL method 8, ClearURLS method 9, EULAPath get 10, EULAPath put 10, ShowAboutBox method 11, ";

TEST(Contract, TheEmbeddedTypeLibraryKeepsVersionOnesSlots) {
  ComPtr<ITypeLib> lib;
  ComPtr<ITypeInfo> dispatch, vtable;
  HREFTYPE ref = 0;
  TLIBATTR* library = nullptr;
  TYPEATTR* type = nullptr;
  ASSERT_EQ(::LoadTypeLibEx((ProductFolder() + L"\\VELKO.dll").c_str(), REGKIND_NONE, lib.put()), S_OK);
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__CProductInfo, dispatch.put()), S_OK);
  ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);  // the dual interface's vtable view
  ASSERT_EQ(dispatch->GetRefTypeInfo(ref, vtable.put()), S_OK);
  ASSERT_TRUE(lib->GetLibAttr(&library) == S_OK && vtable->GetTypeAttr(&type) == S_OK);
  // Version 1.0, language neutral, neither restricted, control nor hidden; the interface dual, hidden, nonextensible.
  EXPECT_EQ(std::tuple(library->wMajorVerNum, library->wMinorVerNum, library->lcid, library->wLibFlags & 7,
                       type->wTypeFlags, type->cbSizeVft),
            std::tuple(1, 0, 0ul, 0, TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE |
                                       TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE, (7 + 19) * sizeof(void*)));
  lib->ReleaseTLibAttr(library), vtable->ReleaseTypeAttr(type);
  const wchar_t* kinds[] = {L"", L"method", L"get", L"", L"put", L"", L"", L"", L"putref"};
  std::wstring slots;
  FUNCDESC* f = nullptr;
  for (UINT slot = 0; vtable->GetFuncDesc(slot, &f) == S_OK; ++slot, vtable->ReleaseFuncDesc(f)) {
    Bstr name;
    vtable->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
    slots += name.str() + L" " + kinds[f->invkind] + L" " + std::to_wstring(f->memid) + L", ";
    EXPECT_EQ((std::pair<int, int>(f->oVft, f->wFuncFlags)), (std::pair<int, int>((7 + slot) * sizeof(void*), 0)))
        << slot;
  }
  EXPECT_EQ(slots, kSlots);
}

// regsvr32 /i without a string sends "", a caller may send null: both mean the
// machine, "user" the user; anything else is refused. Install writes only its
// hive, uninstall takes it away again. Both hives are private keys of this test.
TEST(Contract, DllInstallTouchesOnlyItsOwnClassInTheHiveItsCommandLineNames) {
  const std::wstring root = L"Software\\VELKO tests\\" + std::to_wstring(::GetCurrentProcessId());
  UniqueHKey hives[2], volatile_key;  // HKEY_LOCAL_MACHINE's and HKEY_CURRENT_USER's stand-ins; a key of the user's
  for (int i : {0, 1})
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (root + L"\\" + std::to_wstring(i)).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, hives[i].put(), nullptr), ERROR_SUCCESS);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, hives[0].get()), ::RegOverridePredefKey(HKEY_CURRENT_USER, hives[1].get());
  const std::wstring clsid = L"Software\\Classes\\CLSID\\{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}\\InprocServer32",
                     version = L"Software\\Classes\\TypeLib\\{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}\\1.0",
                     interface_key = L"Software\\Classes\\Interface\\{024F49E9-03E8-4963-8DD4-3F4123E16E72}";
  const auto registered = [&] {  // + where the class's server is registered, - where not: machine, user
    std::wstring found;
    for (const UniqueHKey& hive : hives)
      found += ::RegGetValueW(hive.get(), clsid.c_str(), nullptr, RRF_RT_ANY, nullptr, nullptr, nullptr) ? L'-' : L'+';
    return found;
  };
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"", L"+-"}, {nullptr, L"+-"}, {L"user", L"-+"}, {L"machine", L"--"}};
  for (const auto& [line, where] : cases) {
    const HRESULT hr = where[0] == where[1] ? E_INVALIDARG : S_OK;
    // Braces: the call before the look.
    EXPECT_EQ((std::pair{CallExport("DllInstall", TRUE, line), registered()}), std::pair(hr, std::wstring(where))) << line;
    EXPECT_EQ((std::pair{CallExport("DllInstall", FALSE, line), registered()}), std::pair(hr, std::wstring(L"--"))) << line;
  }
  // A re-registration that a refused write ends keeps the earlier one, another
  // copy's here, value for value (a volatile key takes no lasting subkey: the one
  // write that fails). Unregistration then leaves a class it cannot tell for its own.
  const std::wstring values[][3] = {{clsid, L"", L"C:\\other\\VELKO.dll"}, {clsid, L"ThreadingModel", L"-"},
                                    {version + L"\\HELPDIR", L"", L"C:\\other"},
                                    {version + (sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32"), L"", L"C:\\o.dll"}};
  EXPECT_EQ(CallExport("DllInstall", TRUE, L"user"), S_OK);
  for (const auto& v : values)
    if (v[2] == L"-") ::RegDeleteKeyValueW(hives[1].get(), v[0].c_str(), v[1].c_str());
    else ::RegSetKeyValueW(hives[1].get(), v[0].c_str(), v[1].c_str(), REG_SZ, v[2].c_str(), (v[2].size() + 1) * 2);
  ::RegDeleteTreeW(hives[1].get(), interface_key.c_str());
  ::RegCreateKeyExW(hives[1].get(), interface_key.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                    volatile_key.put(), nullptr);
  EXPECT_EQ((std::pair{CallExport("DllInstall", TRUE, L"user"), registered()}),
            std::pair(HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE), std::wstring(L"-+")));
  for (const auto& v : values) {
    wchar_t data[MAX_PATH] = L"-";
    DWORD bytes = sizeof data;
    ::RegGetValueW(hives[1].get(), v[0].c_str(), v[1].c_str(), RRF_RT_REG_SZ, nullptr, data, &bytes);
    EXPECT_EQ(data, v[2]) << v[0] << " " << v[1];
  }
  // The server as another copy may have it, and whether unregistration takes the class as this file's.
  ::SetEnvironmentVariableW(L"VELKO_TEST_BIN", ProductFolder().c_str());
  const std::tuple<DWORD, std::wstring, const wchar_t*> servers[] = {
      {REG_EXPAND_SZ, L"%SystemRoot%\\VELKO.dll", L"-+"}, {REG_BINARY, ProductFolder() + L"\\VELKO.dll", L"-+"},
      {REG_EXPAND_SZ, L"%VELKO_TEST_BIN%\\VELKO.dll", L"--"}};
  for (const auto& [type, server, where] : servers) {
    ::RegSetKeyValueW(hives[1].get(), clsid.c_str(), nullptr, type, server.c_str(), (server.size() + 1) * 2);
    EXPECT_EQ((std::pair{CallExport("DllInstall", FALSE, L"user"), registered()}), std::pair(S_OK, std::wstring(where)))
        << type << " " << server;
  }
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr), ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
}

}  // namespace
}  // namespace velko::testing
