// The settings store's results and errors in automation types, for the COM
// members that hand them to hosts.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "platform/error.h"
#include "settings/reg_settings.h"

namespace velko {

// GetAllSettings' table as an automation variant: VT_EMPTY when it has no rows,
// otherwise VT_ARRAY | VT_BSTR with bounds (0 to n - 1, 0 to 1), element (i, 0)
// the name and (i, 1) the text of row i. `out` is overwritten without being
// cleared first, as an [out, retval] is. E_POINTER for a null `out`; on
// E_OUTOFMEMORY `out` is VT_EMPTY and nothing is left allocated.
HRESULT SettingsToVariant(const SettingsTable& table, VARIANT* out) noexcept;

// A settings error as the automation error a host receives: the thread's error
// information gets the description (no source, no help), and the result is
// 0x800A0000 | number, so a script's Err.Number is the system error code.
HRESULT SettingsErrorToHresult(const Error& error, REFIID iid) noexcept;

}  // namespace velko
