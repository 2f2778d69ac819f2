// An export of a system DLL looked up at run time, for the DLLs the component
// needs only on a path few hosts take: importing them would load them into
// every process that creates an object.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/seams.h"

namespace velko {

// The system DLL `name` (L"shell32.dll") from the system folder, by its full
// path: never a file of that name in the host's folder, the current one or the
// path. `flags` as LoadLibraryExW takes them. A full path rather than
// LOAD_LIBRARY_SEARCH_SYSTEM32, which Windows 7 without KB2533623 refuses (and
// which Wine ignores for data files). Null when it cannot be loaded; the caller
// frees what it gets.
inline HMODULE LoadSystemLibrary(const wchar_t* name, DWORD flags = 0) {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  // Its own imports then come from the system folder too.
  return seams::LoadLibraryExW((std::wstring(folder, length) + L"\\" + name).c_str(), nullptr,
                               flags | LOAD_WITH_ALTERED_SEARCH_PATH);
}

// `name` from `module` as a `Function` pointer; null when `module` is null or
// does not export `name`.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  // Through void (*)(): the one function type that casts to any other without a warning.
  return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace velko
