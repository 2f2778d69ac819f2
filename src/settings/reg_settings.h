// CRegSettings: string and DWORD settings in the registry.
//
// An object names a place in the registry: a predefined root key (HKeyRoot), a
// key path below it (Path) and, for some operations, another machine
// (MachineName). Every operation takes a Section, the sub-key below Path
// (Path + "\" + Section, or Path alone for an empty Section; nothing is trimmed,
// so a Path ending in "\" gives a doubled backslash), and most take a Key, the
// value's name, where "" and "*" stand for the key's default value.
//
// GetString, SaveString, GetDWord, SaveDWord and KeyExists reach another
// machine's registry when MachineName is not empty and HKeyRoot is
// HKEY_LOCAL_MACHINE or HKEY_USERS; MachineName goes to the system exactly as
// stored. DeleteSetting and GetAllSettings always work on this machine.
//
// Absence is not an error: a missing key or value gives the caller's default,
// false or an empty table. Other failures throw velko::Error with the system
// error code and its one-line text, or the text "Error connecting to remote
// registry" where the remote registry could not be reached; every key and
// connection an operation opened is closed before the error leaves it.
//
// The object keeps nothing open between calls and is used on one thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>


namespace velko {

// GetAllSettings' result: one row per REG_SZ value, {name, text}, in the order
// the system enumerates them.
using SettingsTable = std::vector<std::array<std::u16string, 2>>;

class CRegSettings {
 public:
  // The predefined root keys, as the signed 32-bit values hosts store them.
  static constexpr int32_t kHKeyClassesRoot = static_cast<int32_t>(0x80000000u);
  static constexpr int32_t kHKeyCurrentUser = static_cast<int32_t>(0x80000001u);
  static constexpr int32_t kHKeyLocalMachine = static_cast<int32_t>(0x80000002u);
  static constexpr int32_t kHKeyUsers = static_cast<int32_t>(0x80000003u);

  // The root key, as a signed 32-bit predefined handle value; default
  // HKEY_CURRENT_USER (0x80000001). Any value is stored and passed on unchecked.
  int32_t HKeyRoot() const { return HKeyRoot_; }
  void SetHKeyRoot(int32_t lNewValue) { HKeyRoot_ = lNewValue; }
  // The key path below the root; default "Software".
  const std::u16string& Path() const { return Path_; }
  void SetPath(std::u16string szNewValue) { Path_ = std::move(szNewValue); }
  // The machine whose registry is used; "" (the default) is this machine.
  const std::u16string& MachineName() const { return MachineName_; }
  void SetMachineName(std::u16string szNewValue) { MachineName_ = std::move(szNewValue); }

  // With a Key: deletes that value ("*" is the default value) of Section's key;
  // throws the system's error when the delete fails, a missing value included.
  // Without one: deletes the sub-key Section of Path, which must have no sub-keys
  // of its own (the system's refusal is thrown). False when the key to delete
  // from cannot be opened. Always on this machine.
  [[nodiscard]] bool DeleteSetting(const std::u16string& Section, const std::u16string& Key = u"");

  // The REG_SZ values of Section's key as {name, text} rows; empty when the key
  // cannot be opened or has no REG_SZ value. Never throws a system error: a
  // failing enumeration ends the table early. Always on this machine.
  [[nodiscard]] SettingsTable GetAllSettings(const std::u16string& Section);

  // The value's data read as UTF-16 text without its last code unit, whatever
  // its type; Default when the key or value is missing or has no data, or when
  // the data cannot be read after its size was.
  [[nodiscard]] std::u16string GetString(const std::u16string& Section, const std::u16string& Key,
                                         const std::u16string& Default = u"");

  // Writes Setting as REG_SZ with its terminating NUL, making missing keys along
  // the way. An empty Setting deletes the value instead (a missing value is
  // fine). True, or throws.
  [[nodiscard]] bool SaveString(const std::u16string& Section, const std::u16string& Key,
                                const std::u16string& Setting);

  // The value's first four bytes, least significant first (shorter data gives
  // zero high bytes), whatever its type; Default when the key or value is
  // missing, has no data or has more than four bytes.
  [[nodiscard]] int32_t GetDWord(const std::u16string& Section, const std::u16string& Key, int32_t Default = 0);

  // Writes Setting as REG_DWORD, making missing keys along the way. True, or throws.
  [[nodiscard]] bool SaveDWord(const std::u16string& Section, const std::u16string& Key, int32_t Setting);

  // Whether Section's key exists and can be opened for reading; Key plays no
  // part. Never throws.
  [[nodiscard]] bool KeyExists(const std::u16string& Section, const std::u16string& Key) noexcept;

 private:
  class Session;

  std::u16string BuildKeyPath(const std::u16string& section) const;
  bool IsRemote() const;
  // The text at `pointer` ("" for null), released with CoTaskMemFree when asked.
  static std::u16string StringFromPointer(const char16_t* pointer, bool release) noexcept;
  // StripAtNull, then trailing U+0020 removed.
  static std::u16string TrimAtNull(std::u16string_view text);
  // The text before its first NUL; the NUL's position must fit in 16 bits.
  static std::u16string StripAtNull(std::u16string_view text);

  int32_t HKeyRoot_ = kHKeyCurrentUser;
  std::u16string Path_ = u"Software";
  std::u16string MachineName_;
};

}  // namespace velko
