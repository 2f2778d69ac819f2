// ShellOpen against a watched shell, whose call is recorded and not passed on
// (so nothing starts), without shell32, and against the real one with nothing to open.
#include "dialogs/shell_open.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/seams.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

// "<owner> <verb> <file> <parameters> <directory> <show>" of the last call; it returns 4242.
std::string g_call;
HINSTANCE WINAPI Record(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  const auto arg = [](const char* s) { return s ? "\"" + std::string(s) + "\"" : std::string("null"); };
  g_call = std::to_string(reinterpret_cast<intptr_t>(owner)) + " " + arg(verb) + " " + arg(file) + " " +
           arg(parameters) + " " + arg(directory) + " " + std::to_string(show);
  return reinterpret_cast<HINSTANCE>(intptr_t{4242});
}

HMODULE WINAPI NoLibrary(LPCWSTR, HANDLE, DWORD) { return ::SetLastError(ERROR_MOD_NOT_FOUND), nullptr; }

// Texts in the ANSI code page (the tests' is 1252: é is \xe9); an empty
// parameter or folder goes as null, an empty file as "".
TEST(ShellOpen, IsOneShellExecuteAOpenCallInTheAnsiCodePage) {
  testing::SeamSwap watch(seams::ShellExecuteA, &Record);
  const HWND owner = reinterpret_cast<HWND>(intptr_t{16});
  EXPECT_EQ(ShellOpen(owner, u"C:\\\u00e9.txt", u"-p \u00e9", u"C:\\d", 3), 4242);
  EXPECT_EQ(g_call, "16 \"open\" \"C:\\\xe9.txt\" \"-p \xe9\" \"C:\\d\" 3");
  EXPECT_EQ(ShellOpen(nullptr, u"", u"", u"", 1), 4242);
  EXPECT_EQ(g_call, "0 \"open\" \"\" null null 1");
}

// shell32 is loaded at an opening until it loads; then a file that is not there
// is the real shell's own answer.
TEST(ShellOpen, WithoutShell32FailsWithDllNotFoundUntilItLoads) {
  {
    testing::SeamSwap fail(seams::LoadLibraryExW, &NoLibrary);
    EXPECT_EQ(ShellOpen(nullptr, u"C:\\x.velko", u"", u"", 1), SE_ERR_DLLNOTFOUND);
  }
  EXPECT_EQ(ShellOpen(nullptr, u"C:\\velko-no-such-file.velko", u"", u"", 1), SE_ERR_FNF);
}

}  // namespace
}  // namespace velko
