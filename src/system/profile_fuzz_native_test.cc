// The profile-file stand-in on random files and calls under AddressSanitizer:
// each buffer is allocated at exactly the size the call is given, so a write
// past it stops the run. Fixed seed; VELKO_FUZZ_CASES raises the count.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/portable/profile_file.h"
#include "system/profile_random_test.h"

namespace velko {
namespace {

namespace fs = std::filesystem;

std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// A successful write that must read back as written: a named section, text that
// every encoding holds, and a value that neither the line syntax (a line break)
// nor the reader's quote rule changes.
bool ReadsBack(const testing::ProfileOp& op) {
  if (!op.write || !op.section || !op.key || !op.text || Trim(*op.section).empty()) return false;
  for (const std::u16string* s : {&*op.section, &*op.key, &*op.text})
    if (std::any_of(s->begin(), s->end(), [](char16_t c) { return c > 0xFF && c != u'\u20ac'; })) return false;
  const std::u16string_view v = Trim(*op.text);
  return v.find_first_of(u"\r\n") == v.npos && !(v.size() > 1 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0]);
}

TEST(ProfileFuzz, RandomFilesAndCallsKeepTheContract) {
  const int cases = std::getenv("VELKO_FUZZ_CASES") ? std::atoi(std::getenv("VELKO_FUZZ_CASES")) : 1000;
  const fs::path root = fs::temp_directory_path() / ("velko-fuzz-" + std::to_string(::getpid()));
  fs::create_directories(root);
  platform::ProfileFileApi api;
  testing::RandomProfiles random(77031);
  int read_backs = 0;
  for (int i = 0; i < cases; ++i) {
    testing::ProfileCase c = random.Next();
    if (random.Pick(8) == 0) {  // raw bytes: NULs, broken marks, odd lengths
      c.place = testing::Place::kFile;
      c.bytes.resize(random.Pick(64));
      for (char& b : c.bytes) b = static_cast<char>(random.Pick(256));
    }
    const fs::path path = c.place == testing::Place::kNoFolder ? root / "missing" / "x.ini" : root / ("case" + std::to_string(i) + ".ini");
    if (c.place == testing::Place::kFile) std::ofstream(path, std::ios::binary) << c.bytes;
    if (c.place == testing::Place::kFolder) fs::create_directory(path);
    const std::u16string name = path.u16string();
    auto arg = [](const testing::Arg& s) { return s ? s->c_str() : nullptr; };
    for (const testing::ProfileOp& op : c.ops) {
      SCOPED_TRACE(c.name + ": " + testing::Describe(op) + " on \"" + testing::Escape(c.bytes) + "\"");
      auto buffer = std::make_unique<char16_t[]>(op.write ? 4096 : op.size);
      const platform::ProfileCall call =
          op.write ? api.WriteString(arg(op.section), arg(op.key), arg(op.text), name.c_str())
                   : api.GetString(arg(op.section), arg(op.key), arg(op.text), buffer.get(), op.size, name.c_str());
      // None, file or folder missing, access denied, a lone UTF-8 mark; 183 a rewrite.
      const uint32_t e = call.last_error;
      ASSERT_TRUE(e == 0 || e == 2 || e == 3 || e == 5 || e == 87 || (op.write && call.result && e == 183)) << e;
      if (op.write && call.result && ReadsBack(op)) {
        const platform::ProfileCall read = api.GetString(arg(op.section), arg(op.key), u"-", buffer.get(), 4096, name.c_str());
        ASSERT_EQ(ToUtf8({buffer.get(), read.result}), ToUtf8(Trim(*op.text)));
        ++read_backs;
      } else if (!op.write) {
        const uint32_t n = call.result;
        ASSERT_LT(n, op.size);
        ASSERT_EQ(buffer[n], u'\0');
        // A section list ends in two NULs, the second after the result when it
        // was cut; a value has no NUL inside.
        if (!op.section && n > 0) { ASSERT_TRUE(buffer[n - 1] == u'\0' || (n + 1 < op.size && buffer[n + 1] == u'\0')); }
        if (op.section && op.key) { ASSERT_EQ(std::u16string_view(buffer.get(), n).find(u'\0'), std::u16string_view::npos); }
      }
    }
  }
  fs::remove_all(root);
  std::printf("[ fuzzed   ] %d cases, %d values read back\n", cases, read_backs);
  EXPECT_GT(read_backs, cases / 20);
}

}  // namespace
}  // namespace velko
