#include "platform/portable/profile_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace velko::platform {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorAlreadyExists = 183;

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

struct Entry {
  std::u16string name;
  std::optional<std::u16string> value;  // none: a line without "="
};

struct Section {
  std::u16string name;
  std::vector<Entry> keys;
};

struct Profile {
  Encoding encoding = Encoding::kAnsi;
  std::vector<Section> sections;
};

// ---- characters -------------------------------------------------------------

// The profile parser's white space: the C locale's, plus the DOS end-of-file
// mark that old files carry.
bool IsBlank(char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

std::u16string_view TrimLeft(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}
std::u16string_view TrimRight(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}
std::u16string_view Trim(std::u16string_view s) { return TrimRight(TrimLeft(s)); }

// The system folds case in ASCII only (é and É are different names).
char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

// Arguments arrive as C strings: a NUL ends them.
std::u16string_view CString(const char16_t* s) { return s ? std::u16string_view(s) : std::u16string_view(); }

// ---- code page 1252 -----------------------------------------------------------

constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromCp1252(unsigned char b) { return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : b; }

char ToCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

// ---- files --------------------------------------------------------------------

fs::path PathOf(const char16_t* file_name) {
  if (!file_name) return fs::path("win.ini");
#ifdef _WIN32
  return fs::path(std::wstring(reinterpret_cast<const wchar_t*>(file_name)));
#else
  return fs::path(ToUtf8(file_name));
#endif
}

// 0 when `path` names a file that can be opened, otherwise the error code that
// the system gives for it.
uint32_t Probe(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) {
    const fs::path parent = path.parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec)) return kErrorPathNotFound;
    return kErrorFileNotFound;
  }
  if (ec || fs::is_directory(status)) return kErrorAccessDenied;
  return 0;
}

std::u16string Decode(const std::string& bytes, Encoding& encoding) {
  auto starts = [&](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
  std::u16string text;
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    encoding = starts("\xFF\xFE") ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    const bool little = encoding == Encoding::kUtf16Le;
    text.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
      const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
      text.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
  } else if (starts("\xEF\xBB\xBF")) {
    encoding = Encoding::kUtf8;
    text = FromUtf8(std::string_view(bytes).substr(3));
  } else {
    encoding = Encoding::kAnsi;
    text.reserve(bytes.size());
    for (char b : bytes) text.push_back(FromCp1252(static_cast<unsigned char>(b)));
  }
  return text;
}

std::string Encode(std::u16string_view text, Encoding encoding) {
  std::string bytes;
  switch (encoding) {
    case Encoding::kAnsi:
      bytes.reserve(text.size());
      for (char16_t c : text) bytes.push_back(ToCp1252(c));
      break;
    case Encoding::kUtf8:
      bytes = "\xEF\xBB\xBF" + ToUtf8(text);
      break;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      const bool little = encoding == Encoding::kUtf16Le;
      bytes.reserve(2 + 2 * text.size());
      bytes += little ? "\xFF\xFE" : "\xFE\xFF";
      for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF);
        const char hi = static_cast<char>(c >> 8);
        bytes.push_back(little ? lo : hi);
        bytes.push_back(little ? hi : lo);
      }
      break;
    }
  }
  return bytes;
}

Profile Parse(std::u16string_view text, Encoding encoding) {
  Profile profile;
  profile.encoding = encoding;
  if (text.empty()) return profile;
  // Whatever stands before the first header has a section of its own, with the
  // empty name; it is there (and matches "") whenever the file has any text.
  profile.sections.push_back({});
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find_first_of(u"\r\n", from);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view line = Trim(text.substr(from, end - from));
    from = end + 1;
    if (line.empty()) continue;
    if (line.front() == u'[') {
      if (const size_t close = line.rfind(u']'); close != std::u16string_view::npos) {
        profile.sections.push_back({std::u16string(Trim(line.substr(1, close - 1))), {}});
        continue;
      }
    }
    Entry entry;
    if (const size_t eq = line.find(u'='); eq != std::u16string_view::npos) {
      entry.name = TrimRight(line.substr(0, eq));
      entry.value = std::u16string(TrimLeft(line.substr(eq + 1)));
    } else {
      entry.name = line;
    }
    // The system keeps no run of keys without a name: one follows another only
    // with a named key between them.
    std::vector<Entry>& keys = profile.sections.back().keys;
    if (entry.name.empty() && !keys.empty() && keys.back().name.empty()) continue;
    keys.push_back(std::move(entry));
  }
  return profile;
}

struct Loaded {
  bool ok;         // the profile was read (a missing file reads as empty)
  uint32_t error;  // the last-error code that reading leaves
};

// Reads the file into `profile`. A missing file is an empty profile with code 2;
// a file that holds only a UTF-8 mark is one with code 87, which the system's
// conversion of no bytes at all leaves behind.
Loaded Load(const fs::path& path, Profile& profile) {
  profile = Profile();
  if (const uint32_t error = Probe(path)) return {error == kErrorFileNotFound, error};
  std::ifstream in(path, std::ios::binary);
  if (!in) return {false, kErrorAccessDenied};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Encoding encoding;
  const std::u16string text = Decode(bytes, encoding);
  profile = Parse(text, encoding);
  return {true, encoding == Encoding::kUtf8 && text.empty() ? kErrorInvalidParameter : 0};
}

uint32_t Save(const fs::path& path, const Profile& profile) {
  std::u16string text;
  for (const Section& section : profile.sections) {
    if (!section.name.empty()) text.append(u"[").append(section.name).append(u"]\r\n");
    for (const Entry& entry : section.keys) {
      text.append(entry.name);
      if (entry.value) text.append(u"=").append(*entry.value);
      text.append(u"\r\n");
    }
  }
  const std::string bytes = Encode(text, profile.encoding);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return kErrorAccessDenied;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? 0 : kErrorAccessDenied;
}

// ---- lookups --------------------------------------------------------------------

// Reads and writes trim the names they are given; deletions and key lists do not.
Section* FindSection(Profile& profile, std::u16string_view name) {
  for (Section& section : profile.sections)
    if (SameName(section.name, name)) return &section;
  return nullptr;
}
Entry* FindKey(Section& section, std::u16string_view name) {
  for (Entry& entry : section.keys)
    if (SameName(entry.name, name)) return &entry;
  return nullptr;
}

// ---- copying into the caller's buffer ---------------------------------------------

// lstrcpynW: at most size - 1 characters and a NUL.
uint32_t CopyCut(char16_t* buffer, uint32_t size, std::u16string_view text) {
  const size_t n = std::min<size_t>(text.size(), size - 1);
  std::copy_n(text.begin(), n, buffer);
  buffer[n] = u'\0';
  return static_cast<uint32_t>(n);
}

// A value or default, cut to the buffer, without a pair of quotes round it. The
// closing quote is dropped by position after the cut, so a value whose quoted
// text exactly fills the buffer loses its last character too: the system does
// the same.
uint32_t CopyEntry(char16_t* buffer, uint32_t size, std::u16string_view text) {
  text = text.substr(0, text.find(u'\0'));
  bool quoted = false;
  if (text.size() > 1 && (text.front() == u'"' || text.front() == u'\'') && text.back() == text.front()) {
    quoted = true;
    text.remove_prefix(1);
  }
  uint32_t n = CopyCut(buffer, size, text);
  if (quoted && size >= text.size() && n > 0) buffer[--n] = u'\0';
  return n;
}

// The default as the system uses it: trailing spaces dropped, but never the first
// character.
std::u16string_view TrimDefault(std::u16string_view text) {
  while (text.size() > 1 && text.back() == u' ') text.remove_suffix(1);
  return text;
}

bool Listed(const Entry& entry) { return entry.value && (entry.name.empty() || entry.name.front() != u';'); }

uint32_t SectionNames(const Profile& profile, char16_t* buffer, uint32_t size) {
  if (size == 1) {
    buffer[0] = u'\0';
    return 0;
  }
  size_t free = size - 1;  // room left before the closing NUL
  size_t at = 0;
  for (const Section& section : profile.sections) {
    if (section.name.empty()) continue;
    const size_t need = section.name.size() + 1;
    if (need >= free) {
      std::copy_n(section.name.begin(), free - 1, buffer + at);
      at += free - 1;
      buffer[at++] = u'\0';
      buffer[at] = u'\0';
      return size - 2;
    }
    std::copy(section.name.begin(), section.name.end(), buffer + at);
    buffer[at + section.name.size()] = u'\0';
    at += need;
    free -= need;
  }
  buffer[at] = u'\0';
  return static_cast<uint32_t>(at);
}

uint32_t KeyNames(Profile& profile, std::u16string_view section_name, char16_t* buffer, uint32_t size) {
  const Section* section = FindSection(profile, section_name);
  if (!section) {
    // The system writes two NULs here whatever the size (one past a buffer of
    // one character); this stays inside the buffer.
    buffer[0] = u'\0';
    if (size >= 2) buffer[1] = u'\0';
    return 0;
  }
  if (size == 1) {
    buffer[0] = u'\0';
    return 0;
  }
  size_t left = size;
  size_t at = 0;
  for (const Entry& entry : section->keys) {
    if (!Listed(entry)) continue;
    if (left <= 2) break;
    const size_t n = std::min(entry.name.size(), left - 2);
    std::copy_n(entry.name.begin(), n, buffer + at);
    buffer[at + n] = u'\0';
    at += n + 1;
    left -= n + 1;
  }
  buffer[at] = u'\0';
  if (left <= 1) {
    buffer[at - 1] = u'\0';
    return size - 2;
  }
  return static_cast<uint32_t>(at);
}

}  // namespace

ProfileCall ProfileFileApi::GetString(const char16_t* section, const char16_t* key, const char16_t* default_value,
                                      char16_t* buffer, uint32_t size, const char16_t* file_name) {
  if (!buffer || size == 0) return {0, 0};
  // Only a value's default loses its trailing spaces; a key list's stays whole.
  const std::u16string_view fallback = key ? TrimDefault(CString(default_value)) : CString(default_value);
  Profile profile;
  const auto [loaded, error] = Load(PathOf(file_name), profile);
  if (!loaded) {
    // A file that cannot be read at all: no list, and the default as it is (for
    // a key list, with its quotes dropped as usual).
    if (!section) return {0, error};
    if (key) return {CopyCut(buffer, size, fallback), error};
    return {CopyEntry(buffer, size, fallback), error};
  }
  if (!section) return {SectionNames(profile, buffer, size), error};
  if (key) {
    const Entry* entry = nullptr;
    if (Section* found = FindSection(profile, Trim(CString(section)))) entry = FindKey(*found, Trim(CString(key)));
    return {CopyEntry(buffer, size, entry && entry->value ? *entry->value : fallback), error};
  }
  uint32_t n = KeyNames(profile, CString(section), buffer, size);
  // An empty list, or one whose first name is empty, gives way to the default.
  if (buffer[0] == u'\0') n = CopyEntry(buffer, size, fallback);
  return {n, error};
}

ProfileCall ProfileFileApi::WriteString(const char16_t* section, const char16_t* key, const char16_t* value,
                                        const char16_t* file_name) {
  const fs::path path = PathOf(file_name);
  Profile profile;
  const auto [loaded, error] = Load(path, profile);
  // The system's "flush the cache" form: it reads the file and writes nothing.
  if (!section && !key && !value) return {0, error};
  if (!loaded) return {0, error};
  if (!section) {
    if (key) return {0, kErrorFileNotFound};
    return {1, error};  // deletes the section without a name: there is none
  }
  bool changed = false;
  if (!key) {
    const auto it = std::find_if(profile.sections.begin(), profile.sections.end(),
                                 [&](const Section& s) { return SameName(s.name, CString(section)); });
    if (it != profile.sections.end()) {
      profile.sections.erase(it);
      changed = true;
    }
  } else if (!value) {
    if (Section* found = FindSection(profile, CString(section))) {
      const auto it = std::find_if(found->keys.begin(), found->keys.end(),
                                   [&](const Entry& e) { return SameName(e.name, CString(key)); });
      if (it != found->keys.end()) {
        found->keys.erase(it);
        changed = true;
      }
    }
  } else {
    Section* target = FindSection(profile, Trim(CString(section)));
    if (!target) target = &profile.sections.emplace_back(Section{std::u16string(TrimLeft(CString(section))), {}});
    const std::u16string_view text = TrimLeft(CString(value));
    if (Entry* entry = FindKey(*target, Trim(CString(key)))) {
      changed = !entry->value || *entry->value != text;
      entry->value = std::u16string(text);
    } else {
      target->keys.push_back({std::u16string(TrimLeft(CString(key))), std::u16string(text)});
      changed = true;
    }
  }
  if (!changed) return {1, error};
  if (const uint32_t failed = Save(path, profile)) return {0, failed};
  return {1, error == kErrorFileNotFound ? 0u : kErrorAlreadyExists};
}

}  // namespace velko::platform
