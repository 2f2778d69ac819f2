// ShellOpen against the recording shell: the verb, null pointers for empty
// parameters and directory, the file even when empty, and the result as is.
#include "dialogs/shell_open.h"

#include <gtest/gtest.h>

#include "platform/portable/recording_shell.h"

namespace velko {
namespace {

using platform::AnsiArg;
using platform::RecordingShell;

TEST(ShellOpen, PassesOpenAndNullPointersForEmptyParametersAndDirectory) {
  struct Case {
    std::u16string file, parameters, directory;
    AnsiArg expected_file, expected_parameters, expected_directory;
  } cases[] = {
      {u"C:\\Docs\\eula.rtf", u"", u"", "C:\\Docs\\eula.rtf", std::nullopt, std::nullopt},
      {u"", u"", u"", "", std::nullopt, std::nullopt},  // the file goes even when empty
      {u"notepad.exe", u"/p a.txt", u"C:\\Work", "notepad.exe", "/p a.txt", "C:\\Work"},
      {u"x", u"", u"C:\\", "x", std::nullopt, "C:\\"},
      {u"x", u"-v", u"", "x", "-v", std::nullopt},
      {u" ", u" ", u" ", " ", " ", " "},  // a blank is not empty
      {u"\u00E9t\u00E9 \u6771\u4EAC.txt", u"\u00FC", u"", "\xE9t\xE9 ??.txt", "\xFC", std::nullopt},
  };
  for (const Case& c : cases) {
    RecordingShell shell;
    auto* hwnd = reinterpret_cast<platform::WindowHandle>(0x1234);
    (void)ShellOpen(hwnd, c.file, c.parameters, c.directory, 1, shell);
    ASSERT_EQ(shell.calls.size(), 1u);
    const RecordingShell::Call expected{hwnd, "open", c.expected_file, c.expected_parameters, c.expected_directory, 1};
    EXPECT_EQ(shell.calls[0], expected) << *c.expected_file;
  }
}

TEST(ShellOpen, HandsOverWindowAndShowCommandAndReturnsTheResultUnchanged) {
  for (intptr_t result : {intptr_t{0}, intptr_t{2}, intptr_t{31}, intptr_t{32}, intptr_t{33}, intptr_t{42}}) {
    for (int32_t show : {0, 1, 3, 10}) {
      RecordingShell shell;
      shell.result = result;
      EXPECT_EQ(ShellOpen(nullptr, u"f", u"", u"", show, shell), result);
      ASSERT_EQ(shell.calls.size(), 1u);
      EXPECT_EQ(shell.calls[0].show, show);
      EXPECT_EQ(shell.calls[0].hwnd, nullptr);
    }
  }
}

}  // namespace
}  // namespace velko
