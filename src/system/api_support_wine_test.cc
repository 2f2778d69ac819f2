// GetErrorText against the system's FormatMessageW, with the tests' own
// "netmsg.dll" beside the test program (the library search looks there first).
// System texts are Wine's, not Windows': they are compared with what
// FormatMessageW gives in the same run, never with a literal.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "system/api_support.h"

namespace velko {
namespace {

// The system table's own text for `code`, as FormatMessageW gives it.
std::u16string SystemTable(uint32_t code) {
  wchar_t* buffer = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                   code, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  if (!buffer) return {};
  std::u16string text(reinterpret_cast<const char16_t*>(buffer));
  ::LocalFree(buffer);
  return text;
}

// Files mapped into this process whose name contains `part`, as the system sees them.
int MappedFilesNamed(const wchar_t* part) {
  int count = 0;
  MEMORY_BASIC_INFORMATION info;
  for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State != MEM_COMMIT || info.AllocationBase != info.BaseAddress) continue;
    wchar_t name[MAX_PATH * 2];
    if (::GetMappedFileNameW(::GetCurrentProcess(), info.BaseAddress, name, MAX_PATH * 2) && wcsstr(name, part)) ++count;
  }
  return count;
}

TEST(GetErrorTextWine, GivesSystemTextsWithoutTheFinalLineBreak) {
  for (uint32_t code : {5u, 2u, 3u, 87u}) {
    const std::u16string raw = SystemTable(code);
    ASSERT_GE(raw.size(), 3u) << code;
    EXPECT_EQ(GetErrorText(static_cast<int32_t>(code)) + u"\r\n", raw) << code;
  }
}

TEST(GetErrorTextWine, GivesNothingForACodeWithoutAMessage) {
  const uint32_t code = 0x2000ABCD;  // a customer code: no table has it
  ASSERT_EQ(SystemTable(code), u"");
  EXPECT_EQ(GetErrorText(static_cast<int32_t>(code)), u"");
}

TEST(GetErrorTextWine, AsksTheNetworkTableFirstAndTheSystemTableAfterIt) {
  ASSERT_NE(SystemTable(2250), u"") << "the system table is expected to know 2250";
  ASSERT_NE(SystemTable(2221), u"") << "the system table is expected to know 2221";
  struct Case {
    int32_t code;
    std::u16string expected;
  } cases[] = {
      {2100, u"Test table text 2100, first of the network range."},
      {2999, u"Test table text 2999, last of the network range."},
      {2250, u"Test table text 2250, which the system table has too."},  // network first
      {2221, GetErrorText(2221)},                                        // not in ours: the system's
      {2102, u"Test table text 2102, first line. Second line."},
      {2103, u"Test table text 2103 ends with a space "},
      {2099, SystemTable(2099)},  // outside the range: our table is not asked
      {3000, SystemTable(3000)},
  };
  EXPECT_EQ(cases[3].expected + u"\r\n", SystemTable(2221));
  for (const Case& c : cases) EXPECT_EQ(GetErrorText(c.code), c.expected) << c.code;
  EXPECT_EQ(MappedFilesNamed(L"netmsg"), 0) << "the network table stays loaded";
}

}  // namespace
}  // namespace velko
