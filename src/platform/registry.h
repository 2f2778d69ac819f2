// What the settings store needs of the system: the registry, local or remote.
//
// One call per Win32 registry function, with the same arguments and the same
// result: 0 (ERROR_SUCCESS) or the system error code the call returned. Out-
// parameters are left untouched when a call fails, except the size that
// QueryValue reports with ERROR_MORE_DATA. Strings are NUL-terminated UTF-16; an
// empty value name is the key's default (unnamed) value.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace velko::platform {

// An opaque key handle (HKEY on Windows); nullptr when none.
struct RegKeyTag;
using RegKey = RegKeyTag*;

// The predefined root keys, as the signed 32-bit values hosts store them.
inline constexpr int32_t kHKeyClassesRoot = static_cast<int32_t>(0x80000000u);
inline constexpr int32_t kHKeyCurrentUser = static_cast<int32_t>(0x80000001u);
inline constexpr int32_t kHKeyLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kHKeyUsers = static_cast<int32_t>(0x80000003u);

// The handle for a root value. Sign extension gives the same bits as the SDK's
// HKEY_* constants on 64-bit Windows; any other value passes through unchanged.
inline RegKey PredefinedKey(int32_t root) {
  return reinterpret_cast<RegKey>(static_cast<intptr_t>(root));
}

inline constexpr uint32_t kKeyQueryValue = 0x0001;
inline constexpr uint32_t kKeySetValue = 0x0002;
inline constexpr uint32_t kKeyRead = 0x20019;
inline constexpr uint32_t kKeyAllAccess = 0xF003F;

inline constexpr uint32_t kRegOptionNonVolatile = 0;
inline constexpr uint32_t kRegOptionVolatile = 1;

inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

inline constexpr int32_t kErrorSuccess = 0;
inline constexpr int32_t kErrorFileNotFound = 2;
inline constexpr int32_t kErrorAccessDenied = 5;
inline constexpr int32_t kErrorInvalidHandle = 6;
inline constexpr int32_t kErrorBadNetPath = 53;
inline constexpr int32_t kErrorInvalidParameter = 87;
inline constexpr int32_t kErrorBadPathName = 161;
inline constexpr int32_t kErrorMoreData = 234;
inline constexpr int32_t kErrorNoMoreItems = 259;
inline constexpr int32_t kErrorKeyDeleted = 1018;
inline constexpr int32_t kErrorChildMustBeVolatile = 1021;

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;

  // RegConnectRegistryW(machine, root, &result): the root key of another
  // machine's registry (or of this one, when `machine` names it).
  [[nodiscard]] virtual int32_t ConnectRegistry(const std::u16string& machine, RegKey root, RegKey* result) = 0;
  // RegOpenKeyExW(base, path, options, rights, &result).
  [[nodiscard]] virtual int32_t OpenKey(RegKey base, const std::u16string& path, uint32_t options, uint32_t rights,
                                        RegKey* result) = 0;
  // RegCreateKeyExW(base, path, 0, no class, options, rights, no security,
  // &result, no disposition): opens the key, making every missing key of `path`.
  [[nodiscard]] virtual int32_t CreateKey(RegKey base, const std::u16string& path, uint32_t options,
                                          uint32_t rights, RegKey* result) = 0;
  // RegQueryValueExW(key, name, nullptr, type, data, size). With `data` null
  // only the type and the size in bytes come back; with a buffer of *size bytes
  // too small, ERROR_MORE_DATA and the size needed.
  [[nodiscard]] virtual int32_t QueryValue(RegKey key, const std::u16string& name, uint32_t* type, uint8_t* data,
                                           uint32_t* size) = 0;
  // RegSetValueExW(key, name, 0, type, data, size). For string types the system
  // counts a NUL that directly follows `size` bytes as part of the value, so
  // `data` must stay readable two bytes past `size`.
  [[nodiscard]] virtual int32_t SetValue(RegKey key, const std::u16string& name, uint32_t type,
                                         const uint8_t* data, uint32_t size) = 0;
  // RegDeleteValueW(key, name).
  [[nodiscard]] virtual int32_t DeleteValue(RegKey key, const std::u16string& name) = 0;
  // RegDeleteKeyW(key, sub_key): not recursive; a key with sub-keys is refused.
  [[nodiscard]] virtual int32_t DeleteKey(RegKey key, const std::u16string& sub_key) = 0;
  // RegQueryInfoKeyW asking only for the longest value name (characters,
  // without terminator) and the largest value data (bytes).
  [[nodiscard]] virtual int32_t QueryInfoKey(RegKey key, uint32_t* max_value_name_chars,
                                             uint32_t* max_value_data_bytes) = 0;
  // RegEnumValueW(key, index, name, name_chars, nullptr, type, data, data_bytes):
  // ERROR_NO_MORE_ITEMS past the last value, ERROR_MORE_DATA when the name (with
  // its terminator) or the data does not fit; *name_chars is the capacity in and
  // the name's length without terminator out.
  [[nodiscard]] virtual int32_t EnumValue(RegKey key, uint32_t index, char16_t* name, uint32_t* name_chars,
                                          uint32_t* type, uint8_t* data, uint32_t* data_bytes) = 0;
  // RegCloseKey, for opened keys and remote connections alike. Nothing can be
  // done about a failing close, so it reports nothing.
  virtual void CloseKey(RegKey key) noexcept = 0;
};

// The build's implementation: the real API on Windows, the stand-in natively.
RegistryApi& DefaultRegistryApi();

// CoTaskMemFree, for text the system hands over from the task allocator (the
// stand-in's task allocator is malloc).
void TaskMemFree(void* block) noexcept;

// Owns one key or connection handle of a RegistryApi and closes it on every
// path. The Win32 close functions live in win32/unique_handle.h; this holder
// closes through the interface, so the stand-in sees every close too.
class ScopedRegKey {
 public:
  explicit ScopedRegKey(RegistryApi& api) noexcept : api_(&api) {}
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  ~ScopedRegKey() { reset(); }

  RegKey get() const noexcept { return key_; }
  explicit operator bool() const noexcept { return key_ != nullptr; }
  // Closes what is held and hands out the slot, for an out-parameter.
  RegKey* put() noexcept {
    reset();
    return &key_;
  }
  void reset() noexcept {
    if (RegKey old = std::exchange(key_, nullptr)) api_->CloseKey(old);
  }

 private:
  RegistryApi* api_;
  RegKey key_ = nullptr;
};

}  // namespace velko::platform
