// Inside the forms layer only: what the system says of how a form's dialog is
// shown, its pixels per inch and its visual styles.
#pragma once

#include <windows.h>

namespace velko::forms::detail {

// The pixels per inch of `window`, asked the newest way the system knows:
// GetDpiForWindow (Windows 10), GetDpiForMonitor (8.1), the screen's. A host
// that is not DPI-aware gets 96 from each, and the system scales its windows.
int WindowDpi(HWND window);

// The activation context of the module's manifest resource (common controls 6),
// made at the first call and kept; INVALID_HANDLE_VALUE where the module has
// none (a test program) or the system could not make it now, and then the next
// call tries again.
HANDLE CommonControlsContext();

}  // namespace velko::forms::detail
