// The profile-file stand-in on random files and calls under AddressSanitizer:
// every buffer is allocated to the exact size the call is given, so a write past
// it stops the run. Fixed seed; VELKO_FUZZ_CASES raises the count for a long run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/portable/profile_file.h"
#include "system/profile_random_test.h"

namespace velko {
namespace {

namespace fs = std::filesystem;
using testing::Place;
using testing::ProfileOp;

const char16_t* Arg(const std::optional<std::u16string>& s) { return s ? s->c_str() : nullptr; }

std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// A write whose value must read back as written: a named section, text that
// any file's encoding holds (code page 1252 for ANSI), and a value that the line
// syntax and the reader's quote rule leave alone.
bool ReadsBack(const ProfileOp& op) {
  if (!op.write || !op.section || !op.key || !op.text || Trim(*op.section).empty()) return false;
  for (const std::u16string* s : {&*op.section, &*op.key, &*op.text})
    for (char16_t c : *s)
      if (c > 0xFF && c != u'\u20ac') return false;
  const std::u16string_view value = Trim(*op.text);
  const bool quoted = value.size() > 1 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0];
  return !quoted && value.find_first_of(u"\r\n") == std::u16string_view::npos;
}

// The codes a profile call may leave: none, file or folder missing, access
// denied, and 87 for a file that holds nothing but a UTF-8 mark.
bool Known(uint32_t error) { return error == 0 || error == 2 || error == 3 || error == 5 || error == 87; }

TEST(ProfileFuzz, RandomFilesAndCallsKeepTheContract) {
  const char* env = std::getenv("VELKO_FUZZ_CASES");
  const int cases = env ? std::atoi(env) : 1500;
  const fs::path root = fs::temp_directory_path() / ("velko-fuzz-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  platform::ProfileFileApi api;
  testing::RandomProfiles random(77031);
  int calls = 0, read_backs = 0;
  for (int i = 0; i < cases; ++i) {
    testing::ProfileCase c = random.Next();
    if (random.Pick(8) == 0) {  // raw bytes, NULs and broken marks included
      c.place = Place::kFile;
      c.bytes.clear();
      for (int n = random.Pick(64); n > 0; --n) c.bytes.push_back(static_cast<char>(random.Pick(256)));
    }
    fs::path path = root / ("case" + std::to_string(i) + ".ini");
    if (c.place == Place::kFile) std::ofstream(path, std::ios::binary) << c.bytes;
    if (c.place == Place::kFolder) fs::create_directory(path);
    if (c.place == Place::kNoFolder) path = root / "missing" / "case.ini";
    const std::u16string name = path.u16string();
    for (const ProfileOp& op : c.ops) {
      ++calls;
      SCOPED_TRACE(c.name + ": " + testing::Describe(op) + " on \"" + testing::Escape(c.bytes) + "\"");
      if (op.write) {
        const platform::ProfileCall call = api.WriteString(Arg(op.section), Arg(op.key), Arg(op.text), name.c_str());
        ASSERT_LE(call.result, 1u);
        if (!call.result) {
          ASSERT_TRUE(Known(call.last_error)) << call.last_error;
        }
        if (call.result && ReadsBack(op)) {
          auto buffer = std::make_unique<char16_t[]>(4096);
          const platform::ProfileCall read = api.GetString(Arg(op.section), Arg(op.key), u"(missing)", buffer.get(), 4096, name.c_str());
          ASSERT_EQ(ToUtf8(std::u16string_view(buffer.get(), read.result)), ToUtf8(Trim(*op.text)));
          ++read_backs;
        }
      } else {
        auto buffer = std::make_unique<char16_t[]>(op.size);  // exactly the size: ASan guards the rest
        const platform::ProfileCall call =
            api.GetString(Arg(op.section), Arg(op.key), Arg(op.text), buffer.get(), op.size, name.c_str());
        ASSERT_TRUE(Known(call.last_error)) << call.last_error;
        ASSERT_LT(call.result, op.size);
        ASSERT_EQ(buffer[call.result], u'\0');
        // A section list ends in two NULs (the second one after the result when
        // the list was cut); a value holds no NUL before its end.
        if (!op.section && call.result > 0) {
          const uint32_t n = call.result;
          ASSERT_TRUE(buffer[n - 1] == u'\0' || (n + 1 < op.size && buffer[n + 1] == u'\0'));
        }
        if (op.section && op.key) {
          ASSERT_EQ(std::u16string_view(buffer.get(), call.result).find(u'\0'), std::u16string_view::npos);
        }
      }
    }
  }
  fs::remove_all(root);
  std::printf("[ fuzzed   ] %d cases, %d calls, %d values read back\n", cases, calls, read_backs);
  EXPECT_GT(read_backs, cases / 20);
}

}  // namespace
}  // namespace velko
