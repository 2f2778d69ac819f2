#include "platform/portable/recording_shell.h"

namespace velko::platform {

std::string RecordingShell::ToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

intptr_t RecordingShell::ShellExecuteA(WindowHandle hwnd, const AnsiArg& verb, const AnsiArg& file,
                                       const AnsiArg& parameters, const AnsiArg& directory, int32_t show) {
  calls.push_back({hwnd, verb, file, parameters, directory, show});
  return result;
}

ShellApi& DefaultShellApi() {
  static RecordingShell shell;
  return shell;
}

}  // namespace velko::platform
