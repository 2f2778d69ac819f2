#include "settings/reg_settings.h"

#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/win32/seams.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko {

namespace {

constexpr char16_t kRemoteConnectText[] = u"Error connecting to remote registry";
// GetString's first read: 256 code units (512 bytes) on the stack.
constexpr size_t kFirstReadUnits = 256;

// How an operation answers a failed open of its key. The connect step always
// fails with the connect text, and 5 (access denied) gets the connect text on
// a remote registry and the system's text locally, whatever the operation.
struct OpenFailures {
  bool missing_gives_default;  // 2: the caller's default rather than an error
  bool missing_says_remote;    // 2 on a remote registry: the connect text
  bool other_says_remote;      // any other code on a remote registry: the connect text
};
constexpr OpenFailures kGetStringFailures{true, false, true};
constexpr OpenFailures kGetDWordFailures{true, false, false};
constexpr OpenFailures kSaveStringFailures{false, false, false};
constexpr OpenFailures kSaveDWordFailures{false, true, true};

// "" and "*" both stand for the key's default (unnamed) value.
const std::u16string kDefaultValueName;

const std::u16string& ValueName(const std::u16string& key) { return key == u"*" ? kDefaultValueName : key; }

// Characters of `bytes` of string data without its terminator: bytes / 2 - 1,
// where an odd count's half rounds to even, as automation's conversion of a
// fraction to an integer does (3 bytes give 0 characters, 5 give 2, 7 give 2).
size_t TextUnits(uint32_t bytes) {
  const uint32_t whole = bytes / 2;
  if (bytes % 2 == 0) return whole == 0 ? 0 : whole - 1;
  return whole % 2 == 0 ? whole : whole - 1;
}

}  // namespace

// The handles of one operation. The members close in reverse order of
// declaration, so the key always goes before the connection it came through.
class CRegSettings::Session {
 public:
  // Sign extension of the stored root gives the same bits as the SDK's HKEY_*
  // constants on 64-bit Windows; any other value passes through unchanged.
  explicit Session(const CRegSettings& settings)
      : settings_(settings), base_(reinterpret_cast<HKEY>(static_cast<intptr_t>(settings.HKeyRoot_))) {}

  // Makes the same root of MachineName's registry the base of the key path.
  [[nodiscard]] LSTATUS Connect() {
    const LSTATUS rc = seams::RegConnectRegistryW(AsWide(settings_.MachineName_), base_, connection_.put());
    if (rc == ERROR_SUCCESS) base_ = connection_.get();
    return rc;
  }
  [[nodiscard]] LSTATUS OpenKey(const std::u16string& path, REGSAM rights) {
    return seams::RegOpenKeyExW(base_, AsWide(path), 0, rights, key_.put());
  }
  [[nodiscard]] LSTATUS CreateKey(const std::u16string& path) {
    return seams::RegCreateKeyExW(base_, AsWide(path), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  key_.put(), nullptr);
  }

  // Connects when the object names a remote registry, then opens Section's key
  // for reading, or creates it for writing. False when the key is missing and
  // `failures` makes that the caller's default; throws every other failure.
  bool Open(const std::u16string& section, bool for_writing, const OpenFailures& failures) {
    const bool remote = settings_.IsRemote();
    if (remote) {
      if (const LSTATUS rc = Connect()) throw Error(rc, kRemoteConnectText);
    }
    const std::u16string path = settings_.BuildKeyPath(section);
    const LSTATUS rc = for_writing ? CreateKey(path) : OpenKey(path, KEY_READ);
    if (rc == ERROR_SUCCESS) return true;
    const bool missing = rc == ERROR_FILE_NOT_FOUND;
    if (missing && failures.missing_gives_default) return false;
    const bool remote_text =
        rc == ERROR_ACCESS_DENIED || (missing ? failures.missing_says_remote : failures.other_says_remote);
    if (remote && remote_text) throw Error(rc, kRemoteConnectText);
    ThrowSystemError(rc);
  }

  HKEY key() const { return key_.get(); }
  void Close() {
    key_.reset();
    connection_.reset();
  }

 private:
  const CRegSettings& settings_;
  HKEY base_;
  UniqueHKey connection_;
  UniqueHKey key_;
};

bool CRegSettings::DeleteSetting(const std::u16string& Section, const std::u16string& Key) {
  Session session(*this);  // always this machine: no Connect
  LSTATUS rc;
  if (!Key.empty()) {
    if (session.OpenKey(BuildKeyPath(Section), KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    rc = ::RegDeleteValueW(session.key(), AsWide(ValueName(Key)));
  } else {
    if (session.OpenKey(Path_, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    rc = ::RegDeleteKeyW(session.key(), AsWide(Section));
  }
  session.Close();
  if (rc != ERROR_SUCCESS) ThrowSystemError(rc);
  return true;
}

SettingsTable CRegSettings::GetAllSettings(const std::u16string& Section) {
  SettingsTable table;
  Session session(*this);  // always this machine: no Connect
  if (session.OpenKey(BuildKeyPath(Section), KEY_READ) != ERROR_SUCCESS) return table;
  DWORD max_name_chars = 0;
  DWORD max_data_bytes = 0;
  if (::RegQueryInfoKeyW(session.key(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &max_name_chars, &max_data_bytes, nullptr, nullptr) != ERROR_SUCCESS)
    return table;
  const DWORD name_capacity = max_name_chars + 1;
  const DWORD data_capacity = max_data_bytes + 1;
  std::vector<char16_t> name(name_capacity);
  std::vector<char16_t> data(data_capacity / 2 + 1);  // whole code units for an odd byte count
  for (DWORD index = 0;; ++index) {
    DWORD name_chars = name_capacity;
    DWORD data_bytes = data_capacity;
    DWORD type = 0;
    if (seams::RegEnumValueW(session.key(), index, AsWide(name.data()), &name_chars, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &data_bytes) != ERROR_SUCCESS)
      break;
    if (type != REG_SZ) continue;
    // The sizes come from the system; they are clamped so that a wrong one can
    // never read past the buffers.
    table.push_back({std::u16string(name.data(), std::min<size_t>(name_chars, name_capacity)),
                     std::u16string(data.data(), std::min(TextUnits(data_bytes), data.size()))});
  }
  return table;
}

std::u16string CRegSettings::GetString(const std::u16string& Section, const std::u16string& Key,
                                       const std::u16string& Default) {
  Session session(*this);
  if (!session.Open(Section, false, kGetStringFailures)) return Default;
  const std::u16string& name = ValueName(Key);
  // One read where the value fits this buffer, as most settings do; a longer
  // one is read again into a buffer of the size the first read reported.
  char16_t fixed[kFirstReadUnits];
  std::vector<char16_t> grown;
  const char16_t* data = fixed;
  size_t capacity = kFirstReadUnits;
  DWORD size = sizeof fixed;
  const LSTATUS rc =
      seams::RegQueryValueExW(session.key(), AsWide(name), nullptr, nullptr, reinterpret_cast<BYTE*>(fixed), &size);
  if (rc == ERROR_MORE_DATA) {
    grown.resize(size / 2 + 1);  // whole code units for an odd byte count
    data = grown.data(), capacity = grown.size();
    // A value that changed in between (grown again, deleted) reads as absent.
    if (seams::RegQueryValueExW(session.key(), AsWide(name), nullptr, nullptr, reinterpret_cast<BYTE*>(grown.data()),
                                &size) != ERROR_SUCCESS)
      return Default;
  } else if (rc == ERROR_FILE_NOT_FOUND) {
    return Default;
  } else if (rc != ERROR_SUCCESS) {
    ThrowSystemError(rc);
  }
  if (size == 0) return Default;
  // TextUnits never reaches past the bytes read: an odd count's last byte is dropped.
  return std::u16string(data, std::min(TextUnits(size), capacity));
}

bool CRegSettings::SaveString(const std::u16string& Section, const std::u16string& Key,
                              const std::u16string& Setting) {
  Session session(*this);
  session.Open(Section, true, kSaveStringFailures);  // a create: never "missing"
  const std::u16string& name = ValueName(Key);
  LSTATUS rc;
  if (Setting.empty()) {
    // An empty text is never stored: saving it removes the value, if there is one.
    rc = ::RegDeleteValueW(session.key(), AsWide(name));
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  } else {
    // The count leaves the terminator out; the system takes the NUL that
    // c_str() puts right after the text into the value.
    rc = ::RegSetValueExW(session.key(), AsWide(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(Setting.c_str()),
                          static_cast<DWORD>(Setting.size() * sizeof(char16_t)));
  }
  session.Close();
  if (rc != ERROR_SUCCESS) ThrowSystemError(rc);
  return true;
}

int32_t CRegSettings::GetDWord(const std::u16string& Section, const std::u16string& Key, int32_t Default) {
  Session session(*this);
  if (!session.Open(Section, false, kGetDWordFailures)) return Default;
  BYTE bytes[4] = {};
  DWORD size = sizeof bytes;
  const LSTATUS rc =
      seams::RegQueryValueExW(session.key(), AsWide(ValueName(Key)), nullptr, nullptr, bytes, &size);
  // Data longer than four bytes does not fit (ERROR_MORE_DATA) and reads as absent.
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_MORE_DATA) return Default;
  if (rc != ERROR_SUCCESS) ThrowSystemError(rc);
  if (size == 0) return Default;
  return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

bool CRegSettings::SaveDWord(const std::u16string& Section, const std::u16string& Key, int32_t Setting) {
  Session session(*this);
  session.Open(Section, true, kSaveDWordFailures);  // a create: never "missing"
  const auto value = static_cast<uint32_t>(Setting);
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  const LSTATUS rc = ::RegSetValueExW(session.key(), AsWide(ValueName(Key)), 0, REG_DWORD, bytes, sizeof bytes);
  session.Close();
  if (rc != ERROR_SUCCESS) ThrowSystemError(rc);
  return true;
}

bool CRegSettings::KeyExists(const std::u16string& Section, const std::u16string&) noexcept {
  bool exists = false;
  try {
    Session session(*this);
    if (IsRemote() && session.Connect() != ERROR_SUCCESS) return false;
    exists = session.OpenKey(BuildKeyPath(Section), KEY_READ) == ERROR_SUCCESS;
  } catch (...) {
    // Nothing may escape; a failure on the way (out of memory) leaves the answer as it was.
  }
  return exists;
}

std::u16string CRegSettings::BuildKeyPath(const std::u16string& section) const {
  return section.empty() ? Path_ : Path_ + u"\\" + section;
}

bool CRegSettings::IsRemote() const {
  return !MachineName_.empty() && (HKeyRoot_ == kHKeyLocalMachine || HKeyRoot_ == kHKeyUsers);
}

std::u16string CRegSettings::StringFromPointer(const char16_t* pointer, bool release) noexcept {
  std::u16string text;
  if (!pointer) return text;
  try {
    text.assign(pointer, std::char_traits<char16_t>::length(pointer));
  } catch (...) {
    // Out of memory: the text stays empty, and the memory is still released.
  }
  if (release) ::CoTaskMemFree(const_cast<char16_t*>(pointer));
  return text;
}

std::u16string CRegSettings::TrimAtNull(std::u16string_view text) {
  std::u16string trimmed = StripAtNull(text);
  trimmed.erase(trimmed.find_last_not_of(u' ') + 1);
  return trimmed;
}

std::u16string CRegSettings::StripAtNull(std::u16string_view text) { return std::u16string(velko::StripAtNull(text)); }

}  // namespace velko
