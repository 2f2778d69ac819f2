#include "settings/reg_settings.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/text.h"

namespace velko {

using platform::RegKey;

namespace {

constexpr char16_t kRemoteConnectText[] = u"Error connecting to remote registry";
constexpr int32_t kNetworkFirst = 2100;  // NERR_BASE
constexpr int32_t kNetworkLast = 2999;   // MAX_NERR
constexpr uint32_t kUserDefaultLanguage = 0x400;

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
  explicit Session(const CRegSettings& settings)
      : settings_(settings),
        base_(platform::PredefinedKey(settings.HKeyRoot_)),
        connection_(settings.registry_),
        key_(settings.registry_) {}

  // Makes the same root of MachineName's registry the base of the key path.
  [[nodiscard]] int32_t Connect() {
    const int32_t rc = registry().ConnectRegistry(settings_.MachineName_, base_, connection_.put());
    if (rc == platform::kErrorSuccess) base_ = connection_.get();
    return rc;
  }
  [[nodiscard]] int32_t OpenKey(const std::u16string& path, uint32_t rights) {
    return registry().OpenKey(base_, path, 0, rights, key_.put());
  }
  [[nodiscard]] int32_t CreateKey(const std::u16string& path) {
    return registry().CreateKey(base_, path, platform::kRegOptionNonVolatile, platform::kKeyAllAccess, key_.put());
  }

  // Connects when the object names a remote registry, then opens Section's key
  // for reading, or creates it for writing. False when the key is missing and
  // `failures` makes that the caller's default; throws every other failure.
  bool Open(const std::u16string& section, bool for_writing, const OpenFailures& failures) {
    const bool remote = settings_.IsRemote();
    if (remote) {
      if (const int32_t rc = Connect()) throw Error(rc, kRemoteConnectText);
    }
    const std::u16string path = settings_.BuildKeyPath(section);
    const int32_t rc = for_writing ? CreateKey(path) : OpenKey(path, platform::kKeyRead);
    if (rc == platform::kErrorSuccess) return true;
    const bool missing = rc == platform::kErrorFileNotFound;
    if (missing && failures.missing_gives_default) return false;
    const bool remote_text = rc == platform::kErrorAccessDenied ||
                             (missing ? failures.missing_says_remote : failures.other_says_remote);
    if (remote && remote_text) throw Error(rc, kRemoteConnectText);
    settings_.RaiseSystemError(rc);
  }

  RegKey key() const { return key_.get(); }
  void Close() {
    key_.reset();
    connection_.reset();
  }

 private:
  platform::RegistryApi& registry() const { return settings_.registry_; }

  const CRegSettings& settings_;
  RegKey base_;
  platform::ScopedRegKey connection_;
  platform::ScopedRegKey key_;
};

bool CRegSettings::DeleteSetting(const std::u16string& Section, const std::u16string& Key) {
  Session session(*this);  // always this machine: no Connect
  int32_t rc;
  if (!Key.empty()) {
    if (session.OpenKey(BuildKeyPath(Section), platform::kKeyAllAccess) != platform::kErrorSuccess) return false;
    rc = registry_.DeleteValue(session.key(), ValueName(Key));
  } else {
    if (session.OpenKey(Path_, platform::kKeyAllAccess) != platform::kErrorSuccess) return false;
    rc = registry_.DeleteKey(session.key(), Section);
  }
  session.Close();
  if (rc != platform::kErrorSuccess) RaiseSystemError(rc);
  return true;
}

SettingsTable CRegSettings::GetAllSettings(const std::u16string& Section) {
  SettingsTable table;
  Session session(*this);  // always this machine: no Connect
  if (session.OpenKey(BuildKeyPath(Section), platform::kKeyRead) != platform::kErrorSuccess) return table;
  uint32_t max_name_chars = 0;
  uint32_t max_data_bytes = 0;
  if (registry_.QueryInfoKey(session.key(), &max_name_chars, &max_data_bytes) != platform::kErrorSuccess)
    return table;
  const uint32_t name_capacity = max_name_chars + 1;
  const uint32_t data_capacity = max_data_bytes + 1;
  std::vector<char16_t> name(name_capacity);
  std::vector<char16_t> data(data_capacity / 2 + 1);  // whole code units for an odd byte count
  for (uint32_t index = 0;; ++index) {
    uint32_t name_chars = name_capacity;
    uint32_t data_bytes = data_capacity;
    uint32_t type = 0;
    if (registry_.EnumValue(session.key(), index, name.data(), &name_chars, &type,
                            reinterpret_cast<uint8_t*>(data.data()), &data_bytes) != platform::kErrorSuccess)
      break;
    if (type != platform::kRegSz) continue;
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
  uint32_t size = 0;
  const int32_t rc = registry_.QueryValue(session.key(), name, nullptr, nullptr, &size);
  if (rc == platform::kErrorFileNotFound) return Default;
  if (rc != platform::kErrorSuccess) RaiseSystemError(rc);
  if (size == 0) return Default;
  std::vector<char16_t> buffer(size / 2 + 1);  // whole code units for an odd byte count
  // A value that changed in between (grown past the buffer, deleted) reads as absent.
  if (registry_.QueryValue(session.key(), name, nullptr, reinterpret_cast<uint8_t*>(buffer.data()), &size) !=
      platform::kErrorSuccess)
    return Default;
  return std::u16string(buffer.data(), std::min(TextUnits(size), buffer.size()));
}

bool CRegSettings::SaveString(const std::u16string& Section, const std::u16string& Key,
                              const std::u16string& Setting) {
  Session session(*this);
  session.Open(Section, true, kSaveStringFailures);  // a create: never "missing"
  const std::u16string& name = ValueName(Key);
  int32_t rc;
  if (Setting.empty()) {
    // An empty text is never stored: saving it removes the value, if there is one.
    rc = registry_.DeleteValue(session.key(), name);
    if (rc == platform::kErrorFileNotFound) rc = platform::kErrorSuccess;
  } else {
    // The count leaves the terminator out; the system takes the NUL that
    // c_str() puts right after the text into the value.
    rc = registry_.SetValue(session.key(), name, platform::kRegSz, reinterpret_cast<const uint8_t*>(Setting.c_str()),
                            static_cast<uint32_t>(Setting.size() * sizeof(char16_t)));
  }
  session.Close();
  if (rc != platform::kErrorSuccess) RaiseSystemError(rc);
  return true;
}

int32_t CRegSettings::GetDWord(const std::u16string& Section, const std::u16string& Key, int32_t Default) {
  Session session(*this);
  if (!session.Open(Section, false, kGetDWordFailures)) return Default;
  const std::u16string& name = ValueName(Key);
  uint32_t size = 0;
  int32_t rc = registry_.QueryValue(session.key(), name, nullptr, nullptr, &size);
  if (rc == platform::kErrorFileNotFound) return Default;
  if (rc != platform::kErrorSuccess) RaiseSystemError(rc);
  if (size == 0) return Default;
  uint8_t bytes[4] = {};
  size = sizeof bytes;
  // Data longer than four bytes fails here (ERROR_MORE_DATA) and reads as absent.
  if (registry_.QueryValue(session.key(), name, nullptr, bytes, &size) != platform::kErrorSuccess) return Default;
  return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

bool CRegSettings::SaveDWord(const std::u16string& Section, const std::u16string& Key, int32_t Setting) {
  Session session(*this);
  session.Open(Section, true, kSaveDWordFailures);  // a create: never "missing"
  const auto value = static_cast<uint32_t>(Setting);
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  const int32_t rc = registry_.SetValue(session.key(), ValueName(Key), platform::kRegDword, bytes, sizeof bytes);
  session.Close();
  if (rc != platform::kErrorSuccess) RaiseSystemError(rc);
  return true;
}

bool CRegSettings::KeyExists(const std::u16string& Section, const std::u16string&) noexcept {
  bool exists = false;
  try {
    Session session(*this);
    if (IsRemote() && session.Connect() != platform::kErrorSuccess) return false;
    exists = session.OpenKey(BuildKeyPath(Section), platform::kKeyRead) == platform::kErrorSuccess;
  } catch (...) {
    // Nothing may escape; a failure on the way (out of memory) leaves the answer as it was.
  }
  return exists;
}

std::u16string CRegSettings::BuildKeyPath(const std::u16string& section) const {
  return section.empty() ? Path_ : Path_ + u"\\" + section;
}

bool CRegSettings::IsRemote() const {
  return !MachineName_.empty() && (HKeyRoot_ == platform::kHKeyLocalMachine || HKeyRoot_ == platform::kHKeyUsers);
}

std::u16string CRegSettings::GetErrorText(int32_t code) const {
  // Released when the lookup ends, however it ends: the message, then the module.
  struct Held {
    platform::MessageApi& api;
    platform::ModuleHandle module = nullptr;
    char16_t* buffer = nullptr;
    ~Held() {
      if (buffer) api.LocalFree(buffer);
      if (module) api.FreeLibrary(module);
    }
  } held{messages_};
  if (code >= kNetworkFirst && code <= kNetworkLast) held.module = messages_.LoadLibraryAsDatafile(u"netmsg.dll");
  uint32_t flags = platform::kFormatAllocateBuffer | platform::kFormatIgnoreInserts | platform::kFormatFromSystem;
  if (held.module) flags |= platform::kFormatFromHModule;
  held.buffer = messages_.FormatMessageAlloc(flags, held.module, static_cast<uint32_t>(code), kUserDefaultLanguage);
  if (!held.buffer) return {};
  std::u16string text = TrimAtNull(StringFromPointer(held.buffer, false));
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, u"\r\n") == 0) text.resize(text.size() - 2);
  return ReplaceAll(text, u"\r\n", u" ");
}

void CRegSettings::RaiseSystemError(int32_t code) const { throw Error(code, GetErrorText(code)); }

std::u16string CRegSettings::StringFromPointer(const char16_t* pointer, bool release) noexcept {
  std::u16string text;
  if (!pointer) return text;
  try {
    text.assign(pointer, std::char_traits<char16_t>::length(pointer));
  } catch (...) {
    // Out of memory: the text stays empty, and the memory is still released.
  }
  if (release) platform::TaskMemFree(const_cast<char16_t*>(pointer));
  return text;
}

std::u16string CRegSettings::TrimAtNull(std::u16string_view text) {
  std::u16string trimmed = StripAtNull(text);
  trimmed.erase(trimmed.find_last_not_of(u' ') + 1);
  return trimmed;
}

std::u16string CRegSettings::StripAtNull(std::u16string_view text) { return std::u16string(velko::StripAtNull(text)); }

}  // namespace velko
