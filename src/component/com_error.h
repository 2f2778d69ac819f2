// The COM boundary: turns the component's internal errors into IErrorInfo plus
// an HRESULT, so a script's Err.Number is the error's number and Err.Description
// its text.
#pragma once

#include <windows.h>

#include <exception>
#include <new>

#include "platform/error.h"

namespace velko {

// An automation error for `number`: 0x800A0000 | number.
inline HRESULT AutomationHresult(int32_t number) {
  return static_cast<HRESULT>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

// Sets the thread's error information (description only, as an automation error
// without source or help) and returns the error's HRESULT.
HRESULT ReportError(const Error& error, REFIID iid) noexcept;

// Runs `body` and translates whatever it throws; S_OK when it returns normally.
template <typename Body>
HRESULT Guarded(REFIID iid, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (const Error& e) {
    return ReportError(e, iid);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace velko
