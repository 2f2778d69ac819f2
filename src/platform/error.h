// The component's one internal error type, and the one way a Windows error
// becomes one.
//
// Below the COM layer every failure that must reach a host is thrown as an
// `Error`: a number and a description, like an automation error. A system
// failure carries the Windows system error code and its text (ThrowSystemError),
// so the same code reaches a host with the same text whichever part of the
// component met it; the COM boundary turns it into IErrorInfo plus an HRESULT
// (see component/com_error.h).
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace velko {

class Error : public std::exception {
 public:
  Error(int32_t number, std::u16string description)
      : number_(number), description_(std::move(description)) {}

  int32_t number() const noexcept { return number_; }
  const std::u16string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return "velko::Error"; }

 private:
  int32_t number_;
  std::u16string description_;
};

// The one-line text of a system error code in the user's default language, or ""
// when no table knows the code. Codes 2100..2999 (the LAN Manager range) ask the
// network table "netmsg.dll" of the system folder (never one a host's folder or
// the current one holds, whose texts could lie) first and the system table after
// it; when that library cannot be loaded, the system table alone. One final CR LF
// is dropped, every other CR LF becomes one space, and a space before the final
// CR LF stays. Never raises for a failing system call; the modules and buffers it
// takes are released on every path.
std::u16string GetErrorText(int32_t error_code);

// Throws Error(code, GetErrorText(code)).
[[noreturn]] void ThrowSystemError(uint32_t code);

// Automation's own run-time errors, for the few helpers that behave like
// 16-bit integer code (their position counters overflow past 32,767).
inline constexpr int32_t kErrOverflow = 6;
[[noreturn]] inline void ThrowOverflow() { throw Error(kErrOverflow, u"Overflow"); }

// The one boundary of the code that a host or the system calls: every COM
// method, and every window, dialog and hook procedure, Enum*Windows and timer
// callback given to the system. Nothing may unwind into their callers (i686
// code cannot unwind through user32's frames, and a noexcept function would end
// the process): `body` runs, and whatever it throws ends here, with the result
// of `on_failure`, which runs inside the handler and may rethrow to see what
// was thrown.
template <typename Body, typename OnFailure>
auto Boundary(Body&& body, OnFailure&& on_failure) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    return on_failure();
  }
}

}  // namespace velko
