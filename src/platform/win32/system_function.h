// An export of a system DLL looked up at run time, for the DLLs the component
// needs only on a path few hosts take: importing them would load them into
// every process that creates an object.
#pragma once

#include <windows.h>

namespace velko {

// `name` from `module` as a `Function` pointer; null when `module` is null or
// does not export `name`.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  // Through void (*)(): the one function type that casts to any other without a warning.
  return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace velko
