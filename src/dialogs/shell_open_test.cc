// ShellOpen as the shell sees it: the arguments ShellExecuteA receives, watched
// through the seam and then passed on, so the real shell answers.
#include "dialogs/shell_open.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/seams.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

std::string g_seen;
std::string Arg(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
HINSTANCE WINAPI Watch(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  g_seen = std::to_string(reinterpret_cast<uintptr_t>(hwnd)) + " " + Arg(verb) + " " + Arg(file) + " " +
           Arg(parameters) + " " + Arg(directory) + " " + std::to_string(show);
  return ::ShellExecuteA(hwnd, verb, file, parameters, directory, show);
}

TEST(ShellOpen, OpensWithTheOpenVerbAndPassesEmptyArgumentsAsNull) {
  testing::SeamSwap watch(seams::ShellExecuteA, &Watch);
  const std::string missing = "C:\\no such folder\\x.velko";
  // ShellOpen's arguments, and what the shell is given.
  const struct { std::u16string_view file, parameters, directory; int show; std::string seen; } cases[] = {
      {u"C:\\no such folder\\x.velko", u"", u"", 1, "0 \"open\" \"" + missing + "\" null null 1"},
      {u"C:\\no such folder\\x.velko", u"\u00e9", u"C:\\", 3, "0 \"open\" \"" + missing + "\" \"\xe9\" \"C:\\\" 3"},
      {u"", u"", u"", 1, "0 \"open\" \"\" null null 1"},
  };
  for (const auto& c : cases) {
    const int32_t result = ShellOpen(nullptr, c.file, c.parameters, c.directory, c.show);
    EXPECT_EQ(g_seen, c.seen);
    EXPECT_LE(result, 32);
    EXPECT_EQ(result, static_cast<int32_t>(reinterpret_cast<intptr_t>(Watch(nullptr, "open", c.file.empty() ? "" : missing.c_str(),
                                                                             nullptr, nullptr, c.show))))
        << "the shell's own failure comes back unchanged";
  }
}

}  // namespace
}  // namespace velko
