// What tests read of the process from the system itself, not from the
// component's own counters.
#pragma once

namespace velko::testing {

// Number of files mapped into this process (images and data files) whose
// device path contains `part`.
int MappedFilesNamed(const wchar_t* part);

}  // namespace velko::testing
