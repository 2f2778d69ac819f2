// What the dialogs need of the shell: ShellExecuteA and the conversion of text to
// the system's ANSI code page that goes with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velko::platform {

// An opaque window handle (HWND on Windows); nullptr for none.
using WindowHandle = void*;

// One string argument of ShellExecuteA: std::nullopt passes a null pointer.
using AnsiArg = std::optional<std::string>;

class ShellApi {
 public:
  virtual ~ShellApi() = default;
  // The text in the system's ANSI code page (WideCharToMultiByte with CP_ACP);
  // characters that the code page cannot hold come out as its default character.
  virtual std::string ToAnsi(std::u16string_view text) = 0;
  // ShellExecuteA(hwnd, verb, file, parameters, directory, show), returning the
  // call's result (an HINSTANCE; above 32 means success) as an integer.
  virtual intptr_t ShellExecuteA(WindowHandle hwnd, const AnsiArg& verb, const AnsiArg& file,
                                 const AnsiArg& parameters, const AnsiArg& directory, int32_t show) = 0;
};

// The build's implementation: the real shell on Windows, the recorder natively.
ShellApi& DefaultShellApi();

}  // namespace velko::platform
