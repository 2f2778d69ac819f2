// Stand-in for the shell that records every ShellExecuteA call, with null
// pointers kept apart from empty strings, and answers with a chosen result.
#pragma once

#include <vector>

#include "platform/shell.h"

namespace velko::platform {

class RecordingShell final : public ShellApi {
 public:
  struct Call {
    WindowHandle hwnd;
    AnsiArg verb, file, parameters, directory;
    int32_t show;
    bool operator==(const Call&) const = default;
  };

  std::vector<Call> calls;
  intptr_t result = 42;  // what every call returns

  // A fixed single-byte code page: U+0000..U+00FF map to the byte of the same
  // value (Latin-1), every other character to '?'.
  std::string ToAnsi(std::u16string_view text) override;
  intptr_t ShellExecuteA(WindowHandle hwnd, const AnsiArg& verb, const AnsiArg& file, const AnsiArg& parameters,
                         const AnsiArg& directory, int32_t show) override;
};

}  // namespace velko::platform
