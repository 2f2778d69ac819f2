// Random INI files and profile calls from a fixed seed, for the comparison with
// the system and for the fuzz test. Names and values are drawn from small pools
// full of the cases that matter: case variants, white space, quotes, brackets,
// comment marks, empty names, non-ASCII text.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"

namespace velko::testing {

struct ProfileOp {
  bool write = false;
  std::optional<std::u16string> section, key, text;  // text: the default or the value
  uint32_t size = 4096;                               // reads only
};

enum class Place { kFile, kNoFile, kNoFolder, kFolder };

struct ProfileCase {
  std::string name;
  Place place = Place::kFile;
  std::string bytes;  // the file's initial content (kFile)
  std::vector<ProfileOp> ops;
};

inline std::string Escape(const std::string& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}
inline std::string Describe(const ProfileOp& op) {
  auto arg = [](const std::optional<std::u16string>& s) { return s ? "\"" + Escape(ToUtf8(*s)) + "\"" : "null"; };
  return (op.write ? "write(" : "read(") + arg(op.section) + ", " + arg(op.key) + ", " + arg(op.text) +
         (op.write ? ")" : ", size " + std::to_string(op.size) + ")");
}

class RandomProfiles {
 public:
  explicit RandomProfiles(uint32_t seed) : rng_(seed) {}

  // A file of random lines and one operation or more on it. Characters outside
  // code page 1252 go only into Unicode files: for ANSI files the system
  // converts them with best-fit tables that the stand-in does not have.
  ProfileCase Next() {
    ProfileCase c;
    c.name = "generated " + std::to_string(++count_);
    const int encoding = Pick(6);  // 0..2 ANSI, 3 UTF-16LE, 4 UTF-16BE, 5 UTF-8
    unicode_ = encoding >= 3;
    const int place = Pick(20);
    c.place = place == 0 ? Place::kNoFile : place == 1 ? Place::kNoFolder : place == 2 ? Place::kFolder : Place::kFile;
    if (c.place == Place::kNoFile) unicode_ = false;  // a new file is ANSI
    std::u16string text;
    for (int lines = Pick(9); lines > 0; --lines) text += Line() + Eol();
    if (Pick(4) == 0) text += Line();  // no line end at the end of the file
    c.bytes = Encode(text, encoding);
    for (int ops = 1 + Pick(4); ops > 0; --ops) c.ops.push_back(Op());
    return c;
  }

  ProfileOp Op() {
    ProfileOp op;
    op.write = Pick(2) == 0;
    op.section = Pick(10) ? std::optional(Pad(Name())) : std::nullopt;
    op.key = Pick(6) ? std::optional(Pad(Name())) : std::nullopt;
    op.text = Pick(5) ? std::optional(Pad(Value())) : std::nullopt;
    static constexpr uint32_t kSizes[] = {1, 2, 3, 4, 6, 9, 16, 4096, 4096, 4096};
    op.size = kSizes[Pick(10)];
    return op;
  }

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

 private:
  std::u16string Name() {
    static const char16_t* kAscii[] = {u"A", u"a", u"Key", u"KEY", u"k 2", u"", u";c", u"#h", u"x]y", u"[z", u"q"};
    static const char16_t* kOther[] = {u"\u00e9", u"\u00c9", u"\u20ac"};
    static const char16_t* kWide[] = {u"\u03a9", u"\u03c9", u"\u65e5"};
    const int n = Pick(unicode_ ? 17 : 14);
    return n < 11 ? kAscii[n] : n < 14 ? kOther[n - 11] : kWide[n - 14];
  }
  std::u16string Value() {
    static const char16_t* kValues[] = {u"1",     u"",        u"v w", u"\"q\"", u"'s'",     u"\"",  u"\"a'",
                                        u"a=b",   u"\u00e9\u20ac", u"x\r\ny", u"\"\"", u"long value with words"};
    if (unicode_ && Pick(8) == 0) return u"\u65e5\u672c";
    return kValues[Pick(12)];
  }
  std::u16string Pad(std::u16string s) {
    static const char16_t* kPads[] = {u"", u"", u"", u" ", u"\t", u"  ", u"\x1a", u"\x0b"};
    return kPads[Pick(8)] + s + kPads[Pick(8)];
  }
  std::u16string Eol() {
    static const char16_t* kEols[] = {u"\r\n", u"\r\n", u"\n", u"\r", u"\r\n\r\n"};
    return kEols[Pick(5)];
  }
  std::u16string Line() {
    switch (Pick(8)) {
      case 0:
      case 1:
        return u"[" + Pad(Name()) + u"]" + (Pick(6) == 0 ? u"junk" : u"");
      case 2:
        return Pad(Name());  // no "=": a comment or a bare word
      case 3:
        return u"";
      default:
        return Pad(Name()) + u"=" + Pad(Value());
    }
  }
  static std::string Encode(const std::u16string& text, int encoding) {
    std::string out;
    if (encoding == 5) return "\xEF\xBB\xBF" + ToUtf8(text);
    if (encoding >= 3) {
      out = encoding == 3 ? "\xFF\xFE" : "\xFE\xFF";
      for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out.push_back(encoding == 3 ? lo : hi);
        out.push_back(encoding == 3 ? hi : lo);
      }
      return out;
    }
    for (char16_t c : text) out.push_back(c == u'\u20ac' ? '\x80' : static_cast<char>(c));  // code page 1252
    return out;
  }

  std::mt19937 rng_;
  bool unicode_ = false;
  int count_ = 0;
};

}  // namespace velko::testing
