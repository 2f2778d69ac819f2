// GetErrorText against the system's FormatMessageW, with the tests' own
// "netmsg.dll" beside the test program, where the library search looks first.
// System texts are Wine's, not Windows': they are compared with FormatMessageW's
// in the same run, never with a literal.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "tests/support/process_probe.h"

#include "system/api_support.h"

namespace velko {
namespace {

std::u16string SystemTable(uint32_t code) {
  wchar_t* buffer = nullptr;
  ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                   code, 0x400, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::u16string text(buffer ? reinterpret_cast<const char16_t*>(buffer) : u"");
  ::LocalFree(buffer);
  return text;
}

using testing::MappedFilesNamed;

TEST(GetErrorTextWine, GivesSystemTextsWithoutTheFinalLineBreakAndNothingForUnknownCodes) {
  for (uint32_t code : {5u, 2u, 3u, 87u}) {
    ASSERT_GE(SystemTable(code).size(), 3u) << code;
    EXPECT_EQ(GetErrorText(static_cast<int32_t>(code)) + u"\r\n", SystemTable(code)) << code;
  }
  ASSERT_EQ(SystemTable(0x2000ABCD), u"");  // a customer code: no table has it
  EXPECT_EQ(GetErrorText(0x2000ABCD), u"");
}

TEST(GetErrorTextWine, AsksTheNetworkTableFirstAndTheSystemTableAfterIt) {
  ASSERT_NE(SystemTable(2250), u"");  // Wine's system table knows 2221 and 2250
  ASSERT_NE(SystemTable(2221), u"");
  const std::pair<int32_t, std::u16string> cases[] = {
      {2100, u"Test table text 2100, first of the network range."},
      {2999, u"Test table text 2999, last of the network range."},
      {2250, u"Test table text 2250, which the system table has too."},
      {2221, SystemTable(2221).substr(0, SystemTable(2221).size() - 2)},  // not in ours: the system's
      {2102, u"Test table text 2102, first line. Second line."},
      {2103, u"Test table text 2103 ends with a space "},
      {2099, SystemTable(2099)},  // outside the range: ours is not asked (and the system has none)
      {3000, SystemTable(3000)},
  };
  for (const auto& [code, expected] : cases) EXPECT_EQ(GetErrorText(code), expected) << code;
  EXPECT_EQ(MappedFilesNamed(L"netmsg"), 0) << "the network table stays loaded";
}

}  // namespace
}  // namespace velko
