#include "component/registration.h"

#include <oleauto.h>

#include <string>

#include "component/module.h"
#include "component/velko_h.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

// Present in oleaut32 since Vista; MinGW's headers do not declare them.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* help_dir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND kind);

namespace velko {
namespace {

constexpr wchar_t kProgId[] = L"VELKO.CProductInfo";
constexpr wchar_t kClassName[] = L"CProductInfo";

std::wstring GuidString(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

struct Entry {
  std::wstring key;    // below the classes root
  const wchar_t* name; // value name; nullptr for the default value
  std::wstring data;
};

// Everything registration writes besides the type library. Unregistration
// removes the two top-level keys with all below them.
struct Table {
  std::wstring clsid_key, progid_key;
  Entry entries[8];
};

Table MakeTable(const std::wstring& path) {
  const std::wstring clsid = GuidString(CLSID_CProductInfo);
  const std::wstring clsid_key = L"CLSID\\" + clsid;
  const std::wstring progid_key = kProgId;
  return Table{clsid_key,
               progid_key,
               {{clsid_key, nullptr, kClassName},
                {clsid_key + L"\\InprocServer32", nullptr, path},
                {clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
                {clsid_key + L"\\ProgID", nullptr, kProgId},
                {clsid_key + L"\\TypeLib", nullptr, GuidString(LIBID_VELKO)},
                {clsid_key + L"\\Version", nullptr, L"1.0"},
                {progid_key, nullptr, kClassName},
                {progid_key + L"\\CLSID", nullptr, clsid}}};
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
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    ::RegDeleteKeyW(root, key.c_str());
    return ERROR_SUCCESS;
  }
  return status;
}

constexpr SYSKIND kSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  try {
    const std::u16string path16 = module::FileName();
    if (path16.empty()) return HRESULT_FROM_WIN32(::GetLastError());
    const std::wstring path(path16.begin(), path16.end());

    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    hr = scope == RegistrationScope::kMachine
             ? ::RegisterTypeLib(lib.get(), const_cast<wchar_t*>(path.c_str()), nullptr)
             : ::RegisterTypeLibForUser(lib.get(), const_cast<wchar_t*>(path.c_str()), nullptr);
    if (FAILED(hr)) return hr;

    UniqueHKey root;
    LSTATUS status = OpenClassesRoot(scope, root);
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    const Table table = MakeTable(path);
    for (const Entry& e : table.entries) {
      status = WriteEntry(root.get(), e);
      if (status != ERROR_SUCCESS) {
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
    const Table table = MakeTable(L"");
    status = DeleteTree(root.get(), table.clsid_key);
    if (status == ERROR_SUCCESS) status = DeleteTree(root.get(), table.progid_key);

    // Nothing registered is not a failure: unregistration is idempotent, and the
    // type library is only unregistered when its key is there (UnRegisterTypeLib
    // reports a missing library with different codes on Windows and Wine).
    HRESULT hr = S_OK;
    UniqueHKey typelib;
    const std::wstring typelib_key = L"TypeLib\\" + GuidString(LIBID_VELKO) + L"\\1.0";
    if (::RegOpenKeyExW(root.get(), typelib_key.c_str(), 0, KEY_READ, typelib.put()) == ERROR_SUCCESS) {
      typelib.reset();
      hr = scope == RegistrationScope::kMachine ? ::UnRegisterTypeLib(LIBID_VELKO, 1, 0, 0, kSysKind)
                                                : ::UnRegisterTypeLibForUser(LIBID_VELKO, 1, 0, 0, kSysKind);
    }
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace velko
