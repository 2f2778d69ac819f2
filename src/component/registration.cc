#include "component/registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "component/module.h"
#include "component/velko_h.h"
#include "platform/win32/unique_handle.h"

namespace velko {
namespace {

constexpr wchar_t kProgId[] = L"VELKO.CProductInfo";
constexpr wchar_t kClassName[] = L"CProductInfo";
constexpr wchar_t kInterfaceName[] = L"_CProductInfo";
constexpr wchar_t kLibraryHelp[] = L"VELKO product information and About box";
// The automation marshaler (PSOAInterface) serves every dual interface.
constexpr wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kPlatform = sizeof(void*) == 8 ? L"win64" : L"win32";
constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

std::wstring GuidString(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

struct Entry {
  std::wstring key;     // below the classes root
  const wchar_t* name;  // value name; nullptr for the default value
  std::wstring data;
};

// What registration writes below the classes root, and the keys whose trees
// unregistration removes.
struct Table {
  std::vector<Entry> entries;
  std::vector<std::wstring> roots;
};

Table MakeTable(RegistrationScope scope, const std::wstring& path) {
  const std::wstring clsid = GuidString(CLSID_CProductInfo);
  const std::wstring libid = GuidString(LIBID_VELKO);
  const std::wstring clsid_key = L"CLSID\\" + clsid;
  Table t;
  t.entries = {{clsid_key, nullptr, kClassName},
               {clsid_key + L"\\InprocServer32", nullptr, path},
               {clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
               {clsid_key + L"\\ProgID", nullptr, kProgId},
               {clsid_key + L"\\TypeLib", nullptr, libid},
               {clsid_key + L"\\Version", nullptr, L"1.0"},
               {kProgId, nullptr, kClassName},
               {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid}};
  t.roots = {clsid_key, kProgId};
  if (scope == RegistrationScope::kUser) {
    // Machine-wide, RegisterTypeLib writes these. Per user they are written here:
    // Wine's RegisterTypeLibForUser registers system-wide, which a per-user
    // install must never do.
    const std::wstring lib_key = L"TypeLib\\" + libid;
    const std::wstring interface_key = L"Interface\\" + GuidString(IID__CProductInfo);
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    t.entries.insert(t.entries.end(),
                     {{lib_key + L"\\1.0", nullptr, kLibraryHelp},
                      {lib_key + L"\\1.0\\0\\" + kPlatform, nullptr, path},
                      {lib_key + L"\\1.0\\FLAGS", nullptr, L"0"},
                      {lib_key + L"\\1.0\\HELPDIR", nullptr, folder},
                      {interface_key, nullptr, kInterfaceName},
                      {interface_key + L"\\ProxyStubClsid", nullptr, kAutomationProxy},
                      {interface_key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy},
                      {interface_key + L"\\TypeLib", nullptr, libid},
                      {interface_key + L"\\TypeLib", L"Version", L"1.0"}});
    t.roots.insert(t.roots.end(), {lib_key, interface_key});
  }
  return t;
}

LSTATUS OpenClassesRoot(RegistrationScope scope, UniqueHKey& root) {
  if (scope == RegistrationScope::kMachine) {
    root.reset(HKEY_CLASSES_ROOT);
    return ERROR_SUCCESS;
  }
  return ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           root.put(), nullptr);
}

LSTATUS WriteEntry(HKEY root, const Entry& e) {
  UniqueHKey key;
  LSTATUS status = ::RegCreateKeyExW(root, e.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return ::RegSetValueExW(key.get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.data.c_str()),
                          static_cast<DWORD>((e.data.size() + 1) * sizeof(wchar_t)));
}

LSTATUS DeleteTree(HKEY root, const std::wstring& key) {
  const LSTATUS status = ::RegDeleteTreeW(root, key.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return status;
  ::RegDeleteKeyW(root, key.c_str());
  return ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  UniqueHKey opened;
  return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  try {
    const std::u16string path16 = module::FileName();
    if (path16.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    const std::wstring path(path16.begin(), path16.end());

    if (scope == RegistrationScope::kMachine) {
      ComPtr<ITypeLib> lib;
      HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
      if (SUCCEEDED(hr)) hr = ::RegisterTypeLib(lib.get(), const_cast<wchar_t*>(path.c_str()), nullptr);
      if (FAILED(hr)) return hr;
    }
    UniqueHKey root;
    LSTATUS status = OpenClassesRoot(scope, root);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    for (const Entry& e : MakeTable(scope, path).entries) {
      status = WriteEntry(root.get(), e);
      if (status != ERROR_SUCCESS) {
        root.reset();
        UnregisterServer(scope);
        return HRESULT_FROM_WIN32(status);
      }
    }
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  try {
    UniqueHKey root;
    LSTATUS status = OpenClassesRoot(scope, root);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    // Nothing registered is not a failure: unregistration is idempotent, and the
    // type library is only unregistered when its key is there (UnRegisterTypeLib
    // reports a missing library with different codes on Windows and Wine).
    HRESULT hr = S_OK;
    // The other architecture's build may be registered beside this one; only this
    // platform's entry of the type library is ours to remove.
    if (scope == RegistrationScope::kMachine &&
        KeyExists(root.get(), L"TypeLib\\" + GuidString(LIBID_VELKO) + L"\\1.0\\0\\" + kPlatform))
      hr = ::UnRegisterTypeLib(LIBID_VELKO, 1, 0, 0, kSysKind);
    for (const std::wstring& key : MakeTable(scope, L"").roots) {
      status = DeleteTree(root.get(), key);
      if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    }
    if (scope == RegistrationScope::kUser) {
      // Leave the user's classes as they were: the containers this install may
      // have created go again once empty (a non-empty key is not deleted).
      for (const wchar_t* container : {L"CLSID", L"TypeLib", L"Interface"}) ::RegDeleteKeyW(root.get(), container);
      root.reset();
      ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Classes");
    }
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace velko
