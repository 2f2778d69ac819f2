#include "dialogs/shell_open.h"

#include <windows.h>

#include "platform/win32/seams.h"

namespace velko {

std::string ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (bytes == 0) return {};  // not convertible
  std::string out(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), bytes, nullptr, nullptr);
  return out;
}

int32_t ShellOpen(HWND hWnd, std::u16string_view File, std::u16string_view Parameters,
                  std::u16string_view Directory, int32_t ShowCmd) {
  const std::string parameters = ToAnsi(Parameters);
  const std::string directory = ToAnsi(Directory);
  const HINSTANCE result =
      seams::ShellExecuteA(hWnd, "open", ToAnsi(File).c_str(),
                           Parameters.empty() ? nullptr : parameters.c_str(),
                           Directory.empty() ? nullptr : directory.c_str(), ShowCmd);
  // The shell's result is an HINSTANCE-sized integer whose meaningful values
  // (error codes and "greater than 32") all fit in 32 bits.
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(result));
}

}  // namespace velko
