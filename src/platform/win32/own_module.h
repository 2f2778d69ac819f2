// The module that holds the calling code: VELKO.dll in the product, the test
// program when the platform layer is linked into one.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace velko::platform {

// The linker's symbol at the module's first byte: no system call, so nothing
// that can fail (GetModuleHandleExW can, in low memory) and the same answer
// from every call.
extern "C" IMAGE_DOS_HEADER __ImageBase;
inline HMODULE OwnModule() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

// The full path of `module`'s file, however long; empty when it cannot be had.
// A path cut at MAX_PATH is read again into a buffer of the system's longest
// path (32,767 characters), so the usual path costs one small buffer.
inline std::u16string ModulePath(HMODULE module) {
  std::u16string path(MAX_PATH, u'\0');
  DWORD n = ::GetModuleFileNameW(module, AsWide(path.data()), MAX_PATH);
  if (n == MAX_PATH) path.resize(32768), n = ::GetModuleFileNameW(module, AsWide(path.data()), 32768);
  path.resize(n);
  return path;
}

// The full path of OwnModule's file; empty when it cannot be had.
inline std::u16string OwnModulePath() { return ModulePath(OwnModule()); }

}  // namespace velko::platform
