// Random INI files and profile calls from a fixed seed, drawn from small pools of
// the cases that matter: case variants, white space, quotes, brackets, comment
// marks, empty names, non-ASCII text, every encoding, missing files and folders.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"

namespace velko::testing {

using Arg = std::optional<std::u16string>;
struct ProfileOp {
  bool write;
  Arg section, key, text;  // text: the default or the value
  uint32_t size;           // reads only
};
enum class Place { kFile, kNoFile, kNoFolder, kFolder };
struct ProfileCase {
  std::string name;
  Place place;
  std::string bytes;  // the file's content at the start
  std::vector<ProfileOp> ops;
};

inline std::string Escape(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      (out += "\\x") += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    }
  }
  return out;
}
inline std::string Describe(const ProfileOp& op) {
  auto arg = [](const Arg& s) { return s ? "\"" + Escape(ToUtf8(*s)) + "\"" : std::string("null"); };
  return std::string(op.write ? "write(" : "read(") + arg(op.section) + ", " + arg(op.key) + ", " + arg(op.text) +
         (op.write ? ")" : ", size " + std::to_string(op.size) + ")");
}

class RandomProfiles {
 public:
  explicit RandomProfiles(uint32_t seed) : rng_(seed) {}
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  // Characters outside code page 1252 go only into Unicode files: the system
  // writes them to ANSI files through best-fit tables the stand-in lacks.
  ProfileCase Next() {
    const int encoding = Pick(6);  // 0..2 ANSI, 3 UTF-16LE, 4 UTF-16BE, 5 UTF-8
    const int place = Pick(20);
    ProfileCase c{"generated " + std::to_string(++count_),
                  place == 0 ? Place::kNoFile : place == 1 ? Place::kNoFolder : place == 2 ? Place::kFolder : Place::kFile, {}, {}};
    unicode_ = encoding >= 3 && c.place != Place::kNoFile;  // a new file is ANSI
    std::u16string text;
    for (int lines = Pick(9); lines > 0; --lines) text += Line() + From({u"\r\n", u"\r\n", u"\n", u"\r", u"\r\n\r\n"});
    if (Pick(4) == 0) text += Line();
    if (encoding == 5) c.bytes = "\xEF\xBB\xBF" + ToUtf8(text);
    if (encoding == 3 || encoding == 4) c.bytes = encoding == 3 ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t ch : text) {
      if (encoding < 3) c.bytes.push_back(ch == u'\u20ac' ? '\x80' : static_cast<char>(ch));  // code page 1252
      if (encoding == 3) c.bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
      if (encoding == 4) c.bytes += {static_cast<char>(ch >> 8), static_cast<char>(ch & 0xFF)};
    }
    for (int ops = 1 + Pick(4); ops > 0; --ops) {
      auto arg = [&](int absent_one_in, std::u16string s) { return Pick(absent_one_in) ? Arg(Pad(s)) : std::nullopt; };
      c.ops.push_back({Pick(2) == 0, arg(10, Name()), arg(6, Name()), arg(5, Value()),
                       static_cast<uint32_t>(From({1, 2, 3, 4, 6, 9, 16, 4096, 4096, 4096}))});
    }
    return c;
  }

 private:
  template <typename T>
  T From(std::initializer_list<T> pool) { return pool.begin()[Pick(static_cast<int>(pool.size()))]; }
  std::u16string Name() {
    if (unicode_ && Pick(6) == 0) return From<std::u16string>({u"\u03a9", u"\u03c9", u"\u65e5"});
    return From<std::u16string>({u"A", u"a", u"Key", u"KEY", u"k 2", u"", u";c", u"#h", u"x]y", u"[z", u"q", u"\u00e9", u"\u00c9", u"\u20ac"});
  }
  std::u16string Value() {
    if (unicode_ && Pick(8) == 0) return u"\u65e5\u672c";
    return From<std::u16string>({u"1", u"", u"v w", u"\"q\"", u"'s'", u"\"", u"\"a'", u"a=b", u"\u00e9\u20ac", u"x\r\ny", u"\"\"", u"long value"});
  }
  std::u16string Pad(const std::u16string& s) {
    return From<std::u16string>({u"", u"", u"", u" ", u"\t", u"  ", u"\x1a", u"\x0b"}) + s + From<std::u16string>({u"", u"", u" ", u"\t", u"\x1a"});
  }
  std::u16string Line() {
    switch (Pick(8)) {
      case 0: case 1: return u"[" + Pad(Name()) + u"]" + (Pick(6) ? u"" : u"junk");
      case 2: return Pad(Name());  // no "=": a comment or a bare word
      case 3: return u"";
      default: return Pad(Name()) + u"=" + Pad(Value());
    }
  }
  std::mt19937 rng_;
  bool unicode_ = false;
  int count_ = 0;
};

}  // namespace velko::testing
