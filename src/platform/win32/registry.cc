#include "platform/registry.h"

#include <windows.h>
#include <objbase.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

HKEY AsHKey(RegKey key) { return reinterpret_cast<HKEY>(key); }

// Each call forwards as it is: the contract and the codes are the system's own.
class Win32RegistryApi final : public RegistryApi {
 public:
  int32_t ConnectRegistry(const std::u16string& machine, RegKey root, RegKey* result) override {
    HKEY key = nullptr;
    const LSTATUS rc = ::RegConnectRegistryW(AsWide(machine), AsHKey(root), &key);
    if (rc == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(key);
    return rc;
  }
  int32_t OpenKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                  RegKey* result) override {
    // The system clears *result when it fails; the contract leaves it untouched.
    HKEY key = nullptr;
    const LSTATUS rc = ::RegOpenKeyExW(AsHKey(base), AsWide(path), options, rights, &key);
    if (rc == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(key);
    return rc;
  }
  int32_t CreateKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                    RegKey* result) override {
    HKEY key = nullptr;
    const LSTATUS rc =
        ::RegCreateKeyExW(AsHKey(base), AsWide(path), 0, nullptr, options, rights, nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS) *result = reinterpret_cast<RegKey>(key);
    return rc;
  }
  int32_t QueryValue(RegKey key, const std::u16string& name, uint32_t* type, uint8_t* data,
                     uint32_t* size) override {
    // The system writes some out-parameters even when it fails; the contract
    // hands back only what a success (or the size ERROR_MORE_DATA) reports.
    DWORD value_type = 0;
    DWORD value_size = size ? *size : 0;
    const LSTATUS rc = ::RegQueryValueExW(AsHKey(key), AsWide(name), nullptr, type ? &value_type : nullptr, data,
                                          size ? &value_size : nullptr);
    if ((rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && size) *size = value_size;
    if (rc == ERROR_SUCCESS && type) *type = value_type;
    return rc;
  }
  int32_t SetValue(RegKey key, const std::u16string& name, uint32_t type, const uint8_t* data,
                   uint32_t size) override {
    return ::RegSetValueExW(AsHKey(key), AsWide(name), 0, type, data, size);
  }
  int32_t DeleteValue(RegKey key, const std::u16string& name) override {
    return ::RegDeleteValueW(AsHKey(key), AsWide(name));
  }
  int32_t DeleteKey(RegKey key, const std::u16string& sub_key) override {
    return ::RegDeleteKeyW(AsHKey(key), AsWide(sub_key));
  }
  int32_t QueryInfoKey(RegKey key, uint32_t* max_value_name_chars, uint32_t* max_value_data_bytes) override {
    DWORD name_chars = 0;
    DWORD data_bytes = 0;
    const LSTATUS rc = ::RegQueryInfoKeyW(AsHKey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, &name_chars, &data_bytes, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) {
      *max_value_name_chars = name_chars;
      *max_value_data_bytes = data_bytes;
    }
    return rc;
  }
  int32_t EnumValue(RegKey key, uint32_t index, char16_t* name, uint32_t* name_chars, uint32_t* type,
                    uint8_t* data, uint32_t* data_bytes) override {
    DWORD chars = *name_chars;
    DWORD value_type = 0;
    DWORD bytes = data_bytes ? *data_bytes : 0;
    const LSTATUS rc = ::RegEnumValueW(AsHKey(key), index, AsWide(name), &chars, nullptr,
                                       type ? &value_type : nullptr, data, data_bytes ? &bytes : nullptr);
    if (rc == ERROR_SUCCESS) {
      *name_chars = chars;
      if (type) *type = value_type;
      if (data_bytes) *data_bytes = bytes;
    }
    return rc;
  }
  void CloseKey(RegKey key) noexcept override { UniqueHKey(AsHKey(key)).reset(); }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32RegistryApi g_api;

}  // namespace

RegistryApi& DefaultRegistryApi() { return g_api; }

void TaskMemFree(void* block) noexcept { ::CoTaskMemFree(block); }

}  // namespace velko::platform
