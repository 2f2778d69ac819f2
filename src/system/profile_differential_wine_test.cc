// The profile-file stand-in against the system's profile calls (Wine's): the
// same files and calls go through both, which must agree on every result, every
// last-error code, every character of the caller's buffer and the one after it,
// and every byte of the file left behind. Where they cannot:
//  - After a successful write Wine leaves whatever its own file calls set (183
//    from reopening an existing file, 87 when its copy begins with an empty
//    unnamed section); nobody reads the code of a success, so it is compared for
//    failures only.
//  - Wine 8 dereferences the null section of a write with a null section, a null
//    key and a value (the process dies); such a write is not made.
//  - For the key list of a missing section Wine writes a second NUL even past a
//    buffer of one character; the stand-in stays inside it. Not compared.
//  - Characters outside code page 1252 written to an ANSI file: Wine writes a
//    best-fit letter (Omega as "O"), the stand-in "?". The generator keeps them
//    out of ANSI files.
// Where Wine differs from Windows the stand-in follows Wine, the only system
// here: names fold case in ASCII only, and files with a UTF-8 or UTF-16BE mark
// are read and written in that encoding.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/portable/profile_file.h"
#include "system/profile_random_test.h"

namespace velko {
namespace {

namespace fs = std::filesystem;
using testing::Place;
using testing::ProfileCase;
using testing::ProfileOp;

struct Outcome {
  uint32_t result = 0, last_error = 0;
  std::u16string buffer;  // every character of the buffer, and one more
  std::string file;       // the bytes left behind, escaped
  bool operator==(const Outcome&) const = default;
};

Outcome Call(platform::ProfileApi& api, const ProfileOp& op, const fs::path& path, bool system) {
  const std::u16string name = path.u16string();
  auto arg = [](const testing::Arg& s) { return s ? s->c_str() : nullptr; };
  // Wine keeps recently used files parsed; emptying that cache first makes every
  // call read the file from disk, as the stand-in does.
  if (system) ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, reinterpret_cast<LPCWSTR>(name.c_str()));
  Outcome out;
  out.buffer.assign(op.size + 1, u'\xFFFF');
  const platform::ProfileCall call =
      op.write ? api.WriteString(arg(op.section), arg(op.key), arg(op.text), name.c_str())
               : api.GetString(arg(op.section), arg(op.key), arg(op.text), out.buffer.data(), op.size, name.c_str());
  out.result = call.result;
  out.last_error = op.write && call.result ? 0 : call.last_error;
  std::ifstream in(path, std::ios::binary);
  out.file = fs::is_regular_file(path) ? testing::Escape(std::string(std::istreambuf_iterator<char>(in), {})) : "(none)";
  return out;
}

bool Comparable(const ProfileOp& op) {
  return op.write ? (op.section || op.key || !op.text) : !(op.section && !op.key && op.size == 1);
}

class ProfileAgreement : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all(root_); }
  void TearDown() override { fs::remove_all(root_); }

  // Runs a case through both; stops at the first call on which they part, since
  // the calls after it would start from different files.
  void Agree(const ProfileCase& c, int index) {
    fs::path paths[2];
    for (int side = 0; side < 2; ++side) {
      const fs::path folder = root_ / (side ? "standin" : "system"), file = "case" + std::to_string(index) + ".ini";
      fs::create_directories(folder);
      paths[side] = c.place == Place::kNoFolder ? folder / "missing" / file : folder / file;
      if (c.place == Place::kFolder) fs::create_directory(paths[side]);
      if (c.place == Place::kFile) std::ofstream(paths[side], std::ios::binary) << c.bytes;
    }
    for (const ProfileOp& op : c.ops) {
      if (!Comparable(op)) continue;
      const Outcome wine = Call(platform::DefaultProfileApi(), op, paths[0], true);
      const Outcome ours = Call(standin_, op, paths[1], false);
      ++calls_;
      if (wine == ours) continue;
      const size_t shown = std::max(wine.result, ours.result) + 3;
      auto show = [&](const Outcome& o) {
        return std::to_string(o.result) + " error " + std::to_string(o.last_error) + " buffer " +
               testing::Escape(ToUtf8(o.buffer.substr(0, shown))) + " file " + o.file;
      };
      ADD_FAILURE() << c.name << ": file \"" << testing::Escape(c.bytes) << "\", " << testing::Describe(op)
                    << "\n  system:   " << show(wine) << "\n  stand-in: " << show(ours);
      ++failed_;
      return;
    }
  }

  const fs::path root_ = fs::temp_directory_path() / "velko-profile-agreement";
  platform::ProfileFileApi standin_;
  int calls_ = 0, failed_ = 0;
};

TEST_F(ProfileAgreement, OnHandWrittenCases) {
  const std::string mixed =
      "; comment\r\n  [ Sec One ]  \r\n  Key A  =  value a  \r\nkey b=\"quoted\"\r\nkeyc='sq'\r\nnoequals\r\n\r\n"
      "=novalue\r\n=dropped\r\nk2=\r\nK2=second\r\n[sec one]\r\nk3=three\r\n[Two]\r\nx=1\r\n[]\r\ne=empty\r\n";
  const std::string odd = "pre=1\n; c1\r[x=1\r\r\n[s]]x]\nk=v\n[open\n[cl]junk\n; semi=1\n\tt1\t=\tv\t\nq1=\"abc'\n"
                          "q2=\"\nq3=\"\"\nq4= \" a \" \n\x1a" "z\x1a=\x1a" "w\x0b\n";
  auto r = [](testing::Arg s, testing::Arg k, testing::Arg d, uint32_t size = 4096) { return ProfileOp{false, s, k, d, size}; };
  auto w = [](testing::Arg s, testing::Arg k, testing::Arg v) { return ProfileOp{true, s, k, v, 0}; };
  const auto null = std::nullopt;
  std::vector<ProfileCase> cases = {
      {"lookups", Place::kFile, mixed,
       {r(null, null, null), r(u"Sec One", null, null), r(u" Sec One ", null, null), r(u"\tsec one ", u" KEY A", u"d"),
        r(u"SEC ONE", u"key b", null, 7), r(u"Sec One", u"keyc", null), r(u"Sec One", u"noequals", u"zz"),
        r(u"Sec One", u"", null), r(u"Sec One", u"k3", u"zz"), r(u"", u"e", u"zz"), r(u"Two", null, u"dd"),
        r(u"Nope", null, u"\"q\" "), r(u"S", u"k", u"  "), r(u"S", u"k", u"\"dq\" "), r(u"S", u"k", u"abcdefgh", 4)}},
      {"odd lines", Place::kFile, odd,
       {r(null, null, null), r(u"", null, null), r(u"cl", null, null), r(u"cl", u"q1", null), r(u"cl", u"q3", null),
        r(u"cl", u"q4", null), r(u"cl", u"z", null), w(u"cl", u"x", u"1")}},
      {"writes", Place::kFile, mixed,
       {w(u"SEC ONE", u"k3", u"v3"), w(u" New ", u" nk ", u" \tnv "), w(u"Sec One", u"KEY A", u"  value a"),
        w(u"sec one", u"noequals", u"now"), w(u"Sec One", u"; comment", null), w(u" Two ", null, null),
        w(u"Two", u" x ", null), w(u"two", null, u"ignored"), w(u"", u"top", u"1"), w(null, u"k", u"v"),
        w(null, null, null), w(u"Sec One", u"", u""), w(u"Sec One", u"e", u"line\r\nbreak")}},
      {"empty file", Place::kFile, "", {r(null, null, null), r(u"E", null, u"d"), w(u"", u"k", u"v")}},
      {"marks", Place::kFile, "\xEF\xBB\xBF", {r(u"S", u"k", null), w(u"S\u00e9", u"n", u"\u4e00")}},
      {"ANSI", Place::kFile, "[S\xE9]\r\nk\x80=v\r\n", {r(u"s\u00e9", null, null), w(u"S\u00e9", u"n", u"\u20ac")}},
      {"missing file", Place::kNoFile, "",
       {r(u"S", u"k", u"d"), r(u"S", u"k", null), r(null, null, null), r(u"S", null, u"\"q\""), w(u"S", null, null),
        w(null, u"k", u"v"), w(null, null, null), w(u"S", u"k", u"v")}},
      {"missing folder", Place::kNoFolder, "",
       {r(u"S", u"k", u"\"q\"", 6), r(u"S", null, u"\"q\"", 6), r(null, null, null), w(u"S", u"k", u"v"), w(u"S", null, null)}},
      {"folder as file", Place::kFolder, "", {r(u"S", u"k", u"dd"), r(u"S", null, u"d"), r(null, null, null), w(u"S", u"k", u"v")}},
      {"list sizes", Place::kFile, mixed, {}},
  };
  for (uint32_t size = 2; size <= 27; ++size) cases.back().ops.push_back(r(u"Sec One", null, null, size));
  for (uint32_t size = 2; size <= 23; ++size) cases.back().ops.push_back(r(null, null, null, size));
  int comparable = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    comparable += static_cast<int>(std::count_if(cases[i].ops.begin(), cases[i].ops.end(), Comparable));
    Agree(cases[i], static_cast<int>(i));
  }
  EXPECT_EQ(calls_, comparable);
  std::printf("[ compared ] %zu hand-written cases, %d calls\n", cases.size(), calls_);
}

TEST_F(ProfileAgreement, OnGeneratedCases) {
  ASSERT_EQ(::GetACP(), 1252u) << "the stand-in reads ANSI files as code page 1252";
  testing::RandomProfiles random(20240607);
  const char* env = std::getenv("VELKO_PROFILE_CASES");  // more for a long run
  const int cases = env ? std::atoi(env) : 400;
  for (int i = 0; i < cases && failed_ < 5; ++i) Agree(random.Next(), i);
  std::printf("[ compared ] %d generated cases, %d calls\n", cases, calls_);
}

}  // namespace
}  // namespace velko
