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

// The full path of `module`'s file, however long; empty when it cannot be had.
inline std::u16string ModulePath(HMODULE module) {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(module, AsWide(path.data()), static_cast<DWORD>(path.size()));
    if (n < path.size()) {  // 0 too: nothing to be had
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // cut at the buffer's end: try a larger one
  }
}

// The full path of OwnModule's file; empty when it cannot be had.
inline std::u16string OwnModulePath() { return ModulePath(OwnModule()); }

// What keeps the module's code in use, and so DllCanUnloadNow from answering
// S_OK: every live object whose code lives in the module (a class factory's
// references, a product object, a link's accessible object that a screen
// reader holds), every class-factory lock, and an open box. One count per module.
inline LONG g_module_uses = 0;
inline void AddModuleUse() noexcept { ::InterlockedIncrement(&g_module_uses); }
inline void ReleaseModuleUse() noexcept { ::InterlockedDecrement(&g_module_uses); }
inline bool ModuleInUse() noexcept { return ::InterlockedCompareExchange(&g_module_uses, 0, 0) != 0; }

// One use of the module for the life of its holder.
class ModuleUse {
 public:
  ModuleUse() noexcept { AddModuleUse(); }
  ModuleUse(const ModuleUse&) noexcept { AddModuleUse(); }
  ModuleUse& operator=(const ModuleUse&) = delete;
  ~ModuleUse() { ReleaseModuleUse(); }
};

}  // namespace velko::platform
