// The profile-file stand-in against the system's profile calls (Wine's): the
// same files and calls go through both, which must agree on every result, every
// last-error code, every character of the caller's buffer (and the one after it)
// and every byte of the file left behind. What cannot agree is written down in
// the ProfileDifferences tests and in the filter below, with the reason.
//
// Known differences between Wine and Windows that the stand-in follows Wine in
// (the only system here): names fold case in ASCII only; files with a UTF-8 or
// UTF-16BE byte-order mark are read in that encoding and written back in it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/portable/profile_file.h"
#include "platform/profile.h"
#include "system/profile_random_test.h"

namespace velko {
namespace {

namespace fs = std::filesystem;
using testing::Describe;
using testing::Escape;
using testing::Place;
using testing::ProfileCase;
using testing::ProfileOp;

constexpr char16_t kUntouched = 0xFFFF;

struct Outcome {
  uint32_t result = 0;
  uint32_t last_error = 0;
  std::u16string buffer;  // every character of the buffer, and one more
  std::string file;    // the bytes left behind, escaped; "(none)" without a file
};

std::string FileState(const fs::path& path) {
  if (!fs::is_regular_file(path)) return "(none)";
  std::ifstream in(path, std::ios::binary);
  return Escape(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

const char16_t* Arg(const std::optional<std::u16string>& s) { return s ? s->c_str() : nullptr; }

Outcome Call(platform::ProfileApi& api, const ProfileOp& op, const fs::path& path, bool flush_system_cache) {
  const std::u16string name = path.u16string();
  // Wine keeps recently used files parsed in a cache. Emptied before each call,
  // every call reads the file from disk, as the stand-in does; kept, it makes
  // the last-error code of a write depend on the calls before it.
  if (flush_system_cache) ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, reinterpret_cast<LPCWSTR>(name.c_str()));
  Outcome out;
  if (op.write) {
    const platform::ProfileCall call = api.WriteString(Arg(op.section), Arg(op.key), Arg(op.text), name.c_str());
    out.result = call.result;
    // After a successful write Wine leaves whatever its own file calls set: 183
    // from reopening an existing file, or 87 when its in-memory copy begins with
    // an empty unnamed section. Nobody reads the code of a success, so it is
    // compared for failures only.
    out.last_error = call.result ? 0 : call.last_error;
  } else {
    std::u16string buffer(op.size + 1, kUntouched);
    const platform::ProfileCall call =
        api.GetString(Arg(op.section), Arg(op.key), Arg(op.text), buffer.data(), op.size, name.c_str());
    out.result = call.result;
    out.last_error = call.last_error;
    out.buffer = buffer;
  }
  out.file = FileState(path);
  return out;
}

// Calls that cannot be compared: Wine 8 dereferences the null section of a
// write with a null section, a null key and a value (the process dies), and for
// a key list of a missing section it writes a second NUL even past a buffer of
// one character (ProfileDifferences below). Neither is a call the INI access
// makes with its own buffer.
bool Comparable(const ProfileOp& op) {
  if (op.write) return op.section || op.key || !op.text;
  return !(op.section && !op.key && op.size == 1);
}

class ProfileAgreement : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("velko-profile-" + std::to_string(::GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "system");
    fs::create_directories(root_ / "standin");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Prepare(const char* side, const ProfileCase& c, int index) {
    const fs::path folder = root_ / side;
    const std::string file = "case" + std::to_string(index) + ".ini";
    switch (c.place) {
      case Place::kNoFolder:
        return folder / "missing" / file;
      case Place::kFolder:
        fs::create_directory(folder / file);
        break;
      case Place::kFile:
        std::ofstream(folder / file, std::ios::binary) << c.bytes;
        break;
      case Place::kNoFile:
        break;
    }
    return folder / file;
  }

  // Runs one case through both; false (with the failure reported) at the first
  // call on which they part, since the calls after it start from different files.
  bool Agree(const ProfileCase& c, int index) {
    const fs::path system_path = Prepare("system", c, index), standin_path = Prepare("standin", c, index);
    for (const ProfileOp& op : c.ops) {
      if (!Comparable(op)) continue;
      const Outcome wine = Call(platform::DefaultProfileApi(), op, system_path, true);
      const Outcome ours = Call(standin_, op, standin_path, false);
      ++calls_;
      if (wine.result != ours.result || wine.last_error != ours.last_error || wine.buffer != ours.buffer ||
          wine.file != ours.file) {
        // The buffers are shown up to a little past the first difference.
        size_t shown = 0;
        while (shown < wine.buffer.size() && wine.buffer[shown] == ours.buffer[shown]) ++shown;
        shown = std::max<size_t>(shown, std::max(wine.result, ours.result)) + 3;
        auto text = [&](const std::u16string& b) { return Escape(ToUtf8(b.substr(0, shown))); };
        ADD_FAILURE() << c.name << ": file \"" << Escape(c.bytes) << "\", " << Describe(op) << "\n  system:   "
                      << wine.result << " error " << wine.last_error << " buffer " << text(wine.buffer) << " file "
                      << wine.file << "\n  stand-in: " << ours.result << " error " << ours.last_error << " buffer "
                      << text(ours.buffer) << " file " << ours.file;
        return false;
      }
    }
    return true;
  }

  fs::path root_;
  platform::ProfileFileApi standin_;
  int calls_ = 0;
};

ProfileOp R(const char16_t* section, const char16_t* key, const char16_t* def, uint32_t size = 4096) {
  auto opt = [](const char16_t* s) { return s ? std::optional<std::u16string>(s) : std::nullopt; };
  return {false, opt(section), opt(key), opt(def), size};
}
ProfileOp W(const char16_t* section, const char16_t* key, const char16_t* value) {
  ProfileOp op = R(section, key, value);
  op.write = true;
  return op;
}
constexpr const char16_t* kNull = nullptr;

std::vector<ProfileCase> HandWrittenCases() {
  const std::string mixed =
      "; comment\r\n  [ Sec One ]  \r\n  Key A  =  value a  \r\nkey b=\"quoted\"\r\nkeyc='sq'\r\nnoequals\r\n\r\n"
      "=novalue\r\nk2=\r\nK2=second\r\n[sec one]\r\nk3=three\r\n[Two]\r\nx=1\r\n[]\r\ne=empty\r\n";
  const std::string odd =
      "pre=1\n; c1\r[x=1\r\r\n[s]]x]\nk=v\n[open\n[cl]junk\n; semi=1\n#hash=2\n\tt1\t=\tv\t\nq1=\"abc'\n"
      "q2=\"\nq3=\"\"\nq4= \" a \" \nq5=\"a\"b\"\nq6=a=b\n\x1a" "z\x1a=\x1a" "w\x0b\n";
  std::vector<ProfileCase> cases = {
      {"names, quotes and lists", Place::kFile, mixed,
       {R(kNull, kNull, kNull), R(u"Sec One", kNull, kNull), R(u" Sec One ", kNull, kNull), R(u"\tsec one ", u" KEY A", u"d"),
        R(u"SEC ONE", u"key b", kNull), R(u"Sec One", u"keyc", kNull), R(u"Sec One", u"noequals", u"zz"),
        R(u"Sec One", u"", u"zz"), R(u"Sec One", u"k2", u"zz"), R(u"Sec One", u"k3", u"zz"), R(u"", u"e", u"zz"),
        R(u"", kNull, kNull), R(u"Two", kNull, u"dd"), R(u"Nope", kNull, u"dd"), R(u"Nope", kNull, kNull, 3),
        R(u"Sec One", u"key b", kNull, 7), R(u"Sec One", u"key b", kNull, 8), R(u"Sec One", u"key b", kNull, 3),
        R(u"S", u"k", u"  "), R(u"S", u"k", u"a  "), R(u"S", u"k", u"\"dq\""), R(u"S", u"k", u"  a  "),
        R(u"S", u"k", u"a\t"), R(u"S", u"k", u"abcdefgh", 4), R(u"Sec One", u"Key A", kNull, 0)}},
      {"odd lines", Place::kFile, odd,
       {R(kNull, kNull, kNull), R(u"", kNull, kNull), R(u"s]]x", kNull, kNull), R(u"cl", kNull, kNull),
        R(u"cl", u"; semi", kNull), R(u"cl", u"t1", kNull), R(u"cl", u"q1", kNull), R(u"cl", u"q2", kNull),
        R(u"cl", u"q3", kNull), R(u"cl", u"q4", kNull), R(u"cl", u"q5", kNull), R(u"cl", u"z", kNull),
        W(u"cl", u"x", u"1")}},
      {"writes keep and drop", Place::kFile, mixed,
       {W(u"SEC ONE", u"k3", u"v3"), W(u" New Sec ", u" nk ", u" \tnv "), W(u"Sec One", u"KEY A", u"  value a"),
        W(u"sec one", u"noequals", u"now"), W(u"Sec One", u"; comment", kNull), W(u" Two ", kNull, kNull),
        W(u"Two", u" x ", kNull), W(u"Two", u"x", kNull), W(u"two", kNull, u"ignored"), W(u"", u"top", u"1"),
        W(kNull, u"k", u"v"), W(kNull, u"k", kNull), W(kNull, kNull, kNull), W(u"Sec One", u"", u""),
        W(u"Sec One", u"e", u"line\r\nbreak")}},
      {"empty file", Place::kFile, "", {R(kNull, kNull, kNull), R(u"E", kNull, u"d"), W(u"", u"k", u"v"), W(u"A", u"k", u"v")}},
      {"UTF-16LE mark only", Place::kFile, "\xFF\xFE", {W(u"A", u"k", u"v"), W(u"A", kNull, kNull)}},
      {"UTF-8 mark", Place::kFile, "\xEF\xBB\xBF[S\xC3\xA9]\r\nk=v\r\n", {R(kNull, kNull, kNull), W(u"S\u00e9", u"n", u"\u4e00")}},
      {"UTF-16BE mark", Place::kFile, std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v", 18), {R(u"S", u"k", kNull), W(u"S", u"k", u"w")}},
      {"ANSI code page", Place::kFile, "[S\xE9]\r\nk\x80=v\xFF\r\n", {R(kNull, kNull, kNull), R(u"s\u00e9", kNull, kNull), W(u"S\u00e9", u"n", u"\u00e9\u20ac")}},
      {"missing file", Place::kNoFile, "",
       {R(u"S", u"k", u"dflt"), R(u"S", u"k", kNull), R(kNull, kNull, kNull), R(u"S", kNull, kNull), R(u"S", kNull, u"\"q\""),
        W(u"S", kNull, kNull), W(u"S", u"k", kNull), W(kNull, u"k", u"v"), W(kNull, kNull, kNull), W(kNull, kNull, u"v"),
        W(u"S", u"k", u"v")}},
      {"missing folder", Place::kNoFolder, "",
       {R(u"S", u"k", u"\"q\"", 6), R(u"S", kNull, u"\"q\"", 6), R(u"S", kNull, kNull), R(kNull, kNull, kNull),
        R(u"S", u"k", u"  "), W(u"S", u"k", u"v"), W(u"S", kNull, kNull), W(u"S", u"k", kNull), W(kNull, kNull, kNull)}},
      {"folder as file", Place::kFolder, "",
       {R(u"S", u"k", u"dd"), R(u"S", kNull, u"\"q\""), R(kNull, kNull, kNull), W(u"S", u"k", u"v"), W(kNull, kNull, kNull)}},
  };
  // Every buffer size round the list lengths, where the cut moves.
  ProfileCase sizes{"list sizes", Place::kFile, mixed, {}};
  for (uint32_t size = 2; size <= 27; ++size) {
    sizes.ops.push_back(R(u"Sec One", kNull, kNull, size));
    sizes.ops.push_back(R(kNull, kNull, kNull, size));
  }
  cases.push_back(sizes);
  return cases;
}

TEST_F(ProfileAgreement, OnHandWrittenCases) {
  const std::vector<ProfileCase> cases = HandWrittenCases();
  int comparable = 0;
  for (const ProfileCase& c : cases)
    for (const ProfileOp& op : c.ops) comparable += Comparable(op);
  for (size_t i = 0; i < cases.size(); ++i) Agree(cases[i], static_cast<int>(i));
  EXPECT_EQ(calls_, comparable);
  std::printf("[ compared ] %zu hand-written cases, %d calls\n", cases.size(), calls_);
}

TEST_F(ProfileAgreement, OnGeneratedCases) {
  ASSERT_EQ(::GetACP(), 1252u) << "the stand-in reads ANSI files as code page 1252";
  testing::RandomProfiles random(20240607);
  // VELKO_PROFILE_CASES raises the count for a long run.
  const char* env = std::getenv("VELKO_PROFILE_CASES");
  const int cases = env ? std::atoi(env) : 400;
  int failed = 0;
  for (int i = 0; i < cases && failed < 5; ++i) failed += !Agree(random.Next(), 1000 + i);
  std::printf("[ compared ] %d generated cases, %d calls\n", cases, calls_);
}

TEST(ProfileDifferences, KeyListOfAMissingSectionInOneCharacter) {
  const fs::path path = fs::temp_directory_path() / "velko-profile-one.ini";
  std::ofstream(path, std::ios::binary) << "[A]\r\nk=1\r\n";
  char16_t system[2] = {kUntouched, kUntouched}, ours[2] = {kUntouched, kUntouched};
  (void)platform::DefaultProfileApi().GetString(u"B", nullptr, nullptr, system, 1, path.u16string().c_str());
  platform::ProfileFileApi standin;
  (void)standin.GetString(u"B", nullptr, nullptr, ours, 1, path.u16string().c_str());
  fs::remove(path);
  EXPECT_EQ(system[1], u'\0') << "Wine writes past the buffer";
  EXPECT_EQ(ours[0], u'\0');
  EXPECT_EQ(ours[1], kUntouched) << "the stand-in stays inside it";
}

TEST(ProfileDifferences, AnsiFilesGetBestFitCharactersFromWineAndQuestionMarksFromTheStandIn) {
  const fs::path system = fs::temp_directory_path() / "velko-profile-fit-w.ini";
  const fs::path ours = fs::temp_directory_path() / "velko-profile-fit-s.ini";
  ASSERT_TRUE(platform::DefaultProfileApi().WriteString(u"A", u"k", u"\u03a9\u0101", system.u16string().c_str()).result);
  platform::ProfileFileApi standin;
  ASSERT_TRUE(standin.WriteString(u"A", u"k", u"\u03a9\u0101", ours.u16string().c_str()).result);
  EXPECT_EQ(FileState(system), "[A]\\x0d\\x0ak=Oa\\x0d\\x0a");
  EXPECT_EQ(FileState(ours), "[A]\\x0d\\x0ak=??\\x0d\\x0a");
  fs::remove(system);
  fs::remove(ours);
}

}  // namespace
}  // namespace velko
