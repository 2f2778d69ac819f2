// The module that holds the calling code: VELKO.dll in the product, the test
// program when the platform layer is linked into one.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/wide.h"

namespace velko::platform {

inline HMODULE OwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// The full path of `module`'s file, however long (the system's paths end at
// 32,767 characters, so one buffer holds any); empty when it cannot be had.
inline std::u16string ModulePath(HMODULE module) {
  std::u16string path(32768, u'\0');
  path.resize(::GetModuleFileNameW(module, AsWide(path.data()), static_cast<DWORD>(path.size())));
  return path;
}

// The full path of OwnModule's file; empty when it cannot be had.
inline std::u16string OwnModulePath() { return ModulePath(OwnModule()); }

}  // namespace velko::platform
