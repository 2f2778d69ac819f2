// The real shell behind ShellApi, next to the raw calls: the ANSI conversion is
// the system's, null and given arguments reach the started program as such,
// and failures come back as the shell's own result.
#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cctype>

#include "platform/win32/shell_test_marker.h"

namespace velko::platform {
namespace {

using velko::testing::MarkerCopy;

TEST(ShellWine, ToAnsiIsTheSystemsConversion) {
  for (const wchar_t* text : {L"", L"plain", L"\u00E9t\u00E9 \u00FC", L"\u6771\u4EAC \u20AC"}) {
    const std::wstring wide(text);
    char expected[64] = {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), expected,
                                        sizeof expected, nullptr, nullptr);
    const std::u16string u16(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
    EXPECT_EQ(DefaultShellApi().ToAnsi(u16), std::string(expected, n));
  }
}

TEST(ShellWine, NullParametersStartTheProgramBareAndGivenOnesReachIt) {
  MarkerCopy bare(L"bare.exe");
  ASSERT_TRUE(bare.copied());
  const intptr_t started =
      DefaultShellApi().ShellExecuteA(nullptr, "open", bare.ansi_exe(), std::nullopt, std::nullopt, SW_SHOWNORMAL);
  EXPECT_GT(started, 32);
  std::string command_line, folder;
  ASSERT_TRUE(bare.Ran(&command_line, &folder));
  EXPECT_EQ(command_line.find(" -x"), std::string::npos) << command_line;
  EXPECT_NE(command_line.find("bare.exe"), std::string::npos) << command_line;

  MarkerCopy given(L"given.exe");
  EXPECT_GT(DefaultShellApi().ShellExecuteA(nullptr, std::nullopt, given.ansi_exe(), "-x 1", "C:\\windows",
                                            SW_SHOWNORMAL),
            32);
  ASSERT_TRUE(given.Ran(&command_line, &folder));
  EXPECT_EQ(command_line.substr(command_line.size() - 5), " -x 1") << command_line;
  for (char& c : folder) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(folder, "c:\\windows");
}

TEST(ShellWine, FailuresComeBackAsTheShellsOwnResult) {
  const char* missing = "C:\\no such folder\\no such file.velko";
  const intptr_t raw = reinterpret_cast<intptr_t>(::ShellExecuteA(nullptr, "open", missing, nullptr, nullptr, 1));
  const intptr_t ours = DefaultShellApi().ShellExecuteA(nullptr, "open", missing, std::nullopt, std::nullopt, 1);
  EXPECT_LE(ours, 32);
  EXPECT_EQ(ours, raw);
}

}  // namespace
}  // namespace velko::platform
