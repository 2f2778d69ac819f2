// The COM boundary: turns the component's internal errors into IErrorInfo plus
// an HRESULT, so a script's Err.Number is the error's number and Err.Description
// its text.
#pragma once

#include <windows.h>

#include <type_traits>

#include "platform/error.h"

namespace velko {

// An automation error for `number`: 0x800A0000 | number.
inline HRESULT AutomationHresult(int32_t number) {
  return static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

// Sets the thread's error information (description only, as an automation error
// without source or help) and returns the error's HRESULT.
HRESULT ReportError(const Error& error, REFIID iid) noexcept;

// Inside a handler: the HRESULT of the exception being handled, with the error
// information set for `iid` when it is the component's Error.
HRESULT CaughtHresult(REFIID iid) noexcept;

// A COM method's Boundary: runs `body` and returns its HRESULT (S_OK when it
// returns nothing), or the translation of whatever it throws.
template <typename Body>
HRESULT Guarded(REFIID iid, Body&& body) noexcept {
  return Boundary(
      [&]() -> HRESULT {
        if constexpr (std::is_void_v<decltype(body())>) {
          body();
          return S_OK;
        } else {
          return body();
        }
      },
      [&] { return CaughtHresult(iid); });
}

}  // namespace velko
