#include "component/registration.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

#include "component/com_error.h"
#include "component/module.h"
#include "component/velko_h.h"
#include "platform/win32/own_module.h"
#include "platform/win32/unique_handle.h"

namespace velko {
namespace {

constexpr wchar_t kProgId[] = L"VELKO.CProductInfo";
constexpr wchar_t kClassName[] = L"CProductInfo";
constexpr wchar_t kInterfaceName[] = L"_CProductInfo";
constexpr wchar_t kLibraryHelp[] = L"VELKO product information and About box";
// The automation marshaler (PSOAInterface) serves every dual interface.
constexpr wchar_t kAutomationProxy[] = L"{00020424-0000-0000-C000-000000000046}";
constexpr bool kIs64Bit = sizeof(void*) == 8;
constexpr const wchar_t* kPlatform = kIs64Bit ? L"win64" : L"win32";
// The views of a 64-bit registry. CLSID and Interface have a key in each; the
// ProgID and TypeLib keys are one key that both views show (Wine keeps a ProgID
// per view). On 32-bit Windows both flags name the one registry there is.
constexpr REGSAM kOwnView = kIs64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kIs64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring GuidString(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

struct Keys {
  std::wstring clsid = L"CLSID\\" + GuidString(CLSID_CProductInfo);
  std::wstring libid = GuidString(LIBID_VELKO);
  std::wstring library = L"TypeLib\\" + libid;
  std::wstring version = library + L"\\1.0";
  std::wstring interface_key = L"Interface\\" + GuidString(IID__CProductInfo);
};

struct Entry {
  REGSAM view;
  std::wstring key;     // below Software\Classes
  const wchar_t* name;  // value name; nullptr for the default value
  std::wstring data;
};

// What registration writes: the keys and values RegisterTypeLib writes for the
// library and its interface, written here so that they go to the chosen hive and
// view rather than through the merged HKEY_CLASSES_ROOT.
std::vector<Entry> MakeEntries(const std::wstring& path, const std::wstring& library_flags) {
  const Keys k;
  std::vector<Entry> entries = {
      {kOwnView, k.clsid, nullptr, kClassName},
      {kOwnView, k.clsid + L"\\InprocServer32", nullptr, path},
      {kOwnView, k.clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {kOwnView, k.clsid + L"\\ProgID", nullptr, kProgId},
      {kOwnView, k.clsid + L"\\TypeLib", nullptr, k.libid},
      {kOwnView, k.clsid + L"\\Version", nullptr, L"1.0"},
      {kOwnView, kProgId, nullptr, kClassName},
      {kOwnView, std::wstring(kProgId) + L"\\CLSID", nullptr, GuidString(CLSID_CProductInfo)},
      {kOwnView, k.version, nullptr, kLibraryHelp},
      {kOwnView, k.version + L"\\0\\" + kPlatform, nullptr, path},
      {kOwnView, k.version + L"\\FLAGS", nullptr, library_flags},
      {kOwnView, k.version + L"\\HELPDIR", nullptr, path.substr(0, path.find_last_of(L'\\'))}};
  // The interface in its own view and where 32-bit clients look for it, as the
  // 64-bit RegisterTypeLib writes it (one and the same key for the 32-bit build).
  for (REGSAM view : {kOwnView, REGSAM{KEY_WOW64_32KEY}}) {
    entries.insert(entries.end(), {{view, k.interface_key, nullptr, kInterfaceName},
                                   {view, k.interface_key + L"\\ProxyStubClsid", nullptr, kAutomationProxy},
                                   {view, k.interface_key + L"\\ProxyStubClsid32", nullptr, kAutomationProxy},
                                   {view, k.interface_key + L"\\TypeLib", nullptr, k.libid},
                                   {view, k.interface_key + L"\\TypeLib", L"Version", L"1.0"}});
  }
  return entries;
}

HKEY Hive(RegistrationScope scope) {
  return scope == RegistrationScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring ClassesPath(const std::wstring& key) { return L"Software\\Classes\\" + key; }

LSTATUS WriteEntry(HKEY hive, const Entry& e) {
  UniqueHKey key;
  LSTATUS status = ::RegCreateKeyExW(hive, ClassesPath(e.key).c_str(), 0, nullptr, 0, KEY_SET_VALUE | e.view,
                                     nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return ::RegSetValueExW(key.get(), e.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(e.data.c_str()),
                          static_cast<DWORD>((e.data.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(HKEY hive, REGSAM view, const std::wstring& key) {
  UniqueHKey opened;
  return ::RegOpenKeyExW(hive, ClassesPath(key).c_str(), 0, KEY_READ | view, opened.put()) == ERROR_SUCCESS;
}

// Removes the key, its values and its subkeys; a missing key is not a failure.
LSTATUS DeleteTree(HKEY hive, REGSAM view, const std::wstring& key) {
  UniqueHKey opened;
  LSTATUS status = ::RegOpenKeyExW(hive, ClassesPath(key).c_str(), 0, KEY_ALL_ACCESS | view, opened.put());
  if (status == ERROR_SUCCESS) status = ::RegDeleteTreeW(opened.get(), nullptr);
  if (status == ERROR_SUCCESS) status = ::RegDeleteKeyExW(hive, ClassesPath(key).c_str(), view, 0);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Removes the key when it has no subkeys left (the system refuses it otherwise).
void DeleteIfEmpty(HKEY hive, REGSAM view, const std::wstring& key) {
  ::RegDeleteKeyExW(hive, ClassesPath(key).c_str(), view, 0);
}

// The highest key on the way to `key` that does not exist yet, which writing
// `key` creates with everything below it; empty when `key` exists.
std::wstring FirstMissing(HKEY hive, REGSAM view, std::wstring key) {
  std::wstring missing;
  while (!KeyExists(hive, view, key)) {
    missing = key;
    const size_t parent = key.find_last_of(L'\\');
    if (parent == std::wstring::npos) break;
    key.resize(parent);
  }
  return missing;
}

// `path` in its long form (an installer may have written the short one), or as
// it is where it names no file.
std::wstring LongPath(const std::wstring& path) {
  std::wstring long_path(MAX_PATH, L'\0');
  DWORD length = ::GetLongPathNameW(path.c_str(), long_path.data(), MAX_PATH);
  if (length >= MAX_PATH) long_path.resize(length), length = ::GetLongPathNameW(path.c_str(), long_path.data(), length);
  return length && length < long_path.size() ? long_path.substr(0, length) : path;
}

// A value as the registry holds it: the result of reading it
// (ERROR_FILE_NOT_FOUND where the key or the value is missing), its type and bytes.
struct Value {
  LSTATUS status = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

Value ReadValue(HKEY hive, REGSAM view, const std::wstring& key, const wchar_t* name) {
  Value value;
  UniqueHKey opened;
  DWORD bytes = 0;
  value.status = ::RegOpenKeyExW(hive, ClassesPath(key).c_str(), 0, KEY_QUERY_VALUE | view, opened.put());
  if (value.status == ERROR_SUCCESS)
    value.status = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, nullptr, &bytes);
  if (value.status != ERROR_SUCCESS) return value;
  value.data.resize(bytes);
  // A value that grew in between fails with ERROR_MORE_DATA: it is not read.
  value.status = ::RegQueryValueExW(opened.get(), name, nullptr, &value.type, value.data.data(), &bytes);
  value.data.resize(std::min<size_t>(bytes, value.data.size()));
  return value;
}

// Puts a value back as `before` holds it: written again, or deleted where it was missing.
void Restore(HKEY hive, const Entry& e, const Value& before) {
  UniqueHKey key;
  if (::RegOpenKeyExW(hive, ClassesPath(e.key).c_str(), 0, KEY_SET_VALUE | e.view, key.put()) != ERROR_SUCCESS) return;
  if (before.status == ERROR_SUCCESS)
    ::RegSetValueExW(key.get(), e.name, 0, before.type, before.data.data(), static_cast<DWORD>(before.data.size()));
  else
    ::RegDeleteValueW(key.get(), e.name);
}

// `text` with its environment variables expanded; "" where that fails.
std::wstring Expanded(const std::wstring& text) {
  const DWORD length = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  std::wstring expanded(length, L'\0');
  if (length == 0 || ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), length) != length) return {};
  return expanded.c_str();
}

// Whether the default value of `key` names no file but `path` (compared as a
// full path, without regard to case): an entry that another copy of the DLL
// wrote over this one's is that copy's to remove. A missing key or value names
// no file; a value that cannot be read, or is not a string, names one this
// code cannot tell, and is left.
bool NamesNoOtherFile(HKEY hive, REGSAM view, const std::wstring& key, const std::wstring& path) {
  const Value value = ReadValue(hive, view, key, nullptr);
  if (value.status == ERROR_FILE_NOT_FOUND) return true;
  if (value.status != ERROR_SUCCESS || (value.type != REG_SZ && value.type != REG_EXPAND_SZ)) return false;
  std::wstring named(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
  named = named.c_str();  // up to its terminator
  if (value.type == REG_EXPAND_SZ) named = Expanded(named);
  return !named.empty() &&
         ::CompareStringOrdinal(LongPath(named).c_str(), -1, LongPath(path).c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring OwnPath() {
  const std::u16string path = platform::OwnModulePath();
  return std::wstring(path.begin(), path.end());
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
  return Guarded(IID_NULL, [&]() -> HRESULT {
    const std::wstring path = OwnPath();
    if (path.empty()) return HRESULT_FROM_WIN32(::GetLastError());

    // The library's flags as RegisterTypeLib records them; loading it also proves
    // that the embedded type library is readable before anything is written.
    ComPtr<ITypeLib> lib;
    HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(hr)) hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    // std::to_string, not to_wstring: the wide one links the C runtime's whole printf.
    const std::string digits = std::to_string(attr->wLibFlags);
    const std::wstring flags(digits.begin(), digits.end());
    lib->ReleaseTLibAttr(attr);

    const HKEY hive = Hive(scope);
    const std::vector<Entry> entries = MakeEntries(path, flags);
    // What this call creates, and the values it writes over in keys that were
    // there (another copy's registration, which hosts may be using).
    std::vector<std::pair<REGSAM, std::wstring>> created;
    std::vector<std::pair<const Entry*, Value>> overwritten;
    for (const Entry& e : entries) {
      LSTATUS status = ERROR_SUCCESS;
      if (std::wstring top = FirstMissing(hive, e.view, e.key); !top.empty()) {
        created.emplace_back(e.view, top);
      } else {
        Value before = ReadValue(hive, e.view, e.key, e.name);
        // A value that cannot be read could not be put back: it is not written over.
        if (before.status == ERROR_SUCCESS || before.status == ERROR_FILE_NOT_FOUND)
          overwritten.emplace_back(&e, std::move(before));
        else
          status = before.status;
      }
      if (status == ERROR_SUCCESS) status = WriteEntry(hive, e);
      if (status != ERROR_SUCCESS) {
        // Everything goes back as it was before this call.
        for (auto it = overwritten.rbegin(); it != overwritten.rend(); ++it) Restore(hive, *it->first, it->second);
        for (auto it = created.rbegin(); it != created.rend(); ++it) (void)DeleteTree(hive, it->first, it->second);
        return HRESULT_FROM_WIN32(status);
      }
    }
    return S_OK;
  });
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
  return Guarded(IID_NULL, [&]() -> HRESULT {
    const HKEY hive = Hive(scope);
    const Keys k;
    const std::wstring path = OwnPath();
    LSTATUS failed = ERROR_SUCCESS;
    const auto remove = [&](REGSAM view, const std::wstring& key) {
      const LSTATUS status = DeleteTree(hive, view, key);
      if (failed == ERROR_SUCCESS) failed = status;
    };
    // The class goes first: where both views are one key (32-bit Windows, Wine's
    // per-user classes) the other build then no longer counts as registered.
    // A class that another copy of the DLL registered is that copy's, and so
    // are the ProgID and the interface it uses.
    if (NamesNoOtherFile(hive, kOwnView, k.clsid + L"\\InprocServer32", path)) {
      remove(kOwnView, k.clsid);
      const bool other_registered = KeyExists(hive, kOtherView, k.clsid + L"\\InprocServer32");
      if (kIs64Bit) remove(KEY_WOW64_64KEY, k.interface_key);
      if (!other_registered) {
        remove(KEY_WOW64_32KEY, k.interface_key);
        remove(kOwnView, kProgId);
        remove(kOtherView, kProgId);
      }
    }
    // The version key holds each platform's entry; it goes with the last one.
    const std::wstring entry = k.version + L"\\0\\" + kPlatform;
    if (NamesNoOtherFile(hive, kOwnView, entry, path)) remove(kOwnView, entry);
    DeleteIfEmpty(hive, kOwnView, k.version + L"\\0");
    if (!KeyExists(hive, kOwnView, k.version + L"\\0")) {
      remove(kOwnView, k.version);
      DeleteIfEmpty(hive, kOwnView, k.library);
    }
    // The containers (CLSID, TypeLib, Interface, Software\\Classes itself) stay
    // even when empty: other software owns them too.
    return HRESULT_FROM_WIN32(failed);
  });
}

}  // namespace velko
