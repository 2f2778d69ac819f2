// The C++ runtime's per-thread exception state, and the locks of its exception
// support, kept by the DLL without allocating (exception_globals.cc says why).
#pragma once

namespace velko {

// Gives the calling thread's row back; DllMain's thread and process detach,
// after the thread's last use of exceptions in the DLL.
void ReleaseThreadExceptionGlobals() noexcept;

}  // namespace velko
