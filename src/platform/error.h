// The component's one internal error type.
//
// Below the COM layer every failure that must reach a host is thrown as an
// `Error`: a number and a description, like an automation error. A system
// failure carries the Windows system error code and its text; the COM boundary
// turns it into IErrorInfo plus an HRESULT (see component/com_error.h).
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
