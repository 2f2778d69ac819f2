#include "dialogs/shell_open.h"

namespace velko {

int32_t ShellOpen(platform::WindowHandle hWnd, std::u16string_view File, std::u16string_view Parameters,
                  std::u16string_view Directory, int32_t ShowCmd, platform::ShellApi& shell) {
  platform::AnsiArg parameters, directory;
  if (!Parameters.empty()) parameters = shell.ToAnsi(Parameters);
  if (!Directory.empty()) directory = shell.ToAnsi(Directory);
  const intptr_t result =
      shell.ShellExecuteA(hWnd, shell.ToAnsi(u"open"), shell.ToAnsi(File), parameters, directory, ShowCmd);
  // The shell's result is an HINSTANCE-sized integer whose meaningful values
  // (error codes and "greater than 32") all fit in 32 bits.
  return static_cast<int32_t>(result);
}

}  // namespace velko
