// Low-resource simulation for tests: a module's calls to the C runtime and the
// system go through counting wrappers, one of which fails exactly the Nth call
// of its kind with the function's own failure value, ERROR_NOT_ENOUGH_MEMORY
// as last error and ENOMEM as errno. A ledger counts what the module holds.
//
// PatchImports points a loaded module's import entries at the wrappers;
// HookDllLoads does it for a DLL as the loader maps it, before its entry point
// and static initialisers run (the loader's DLL notification). Only armed calls
// are counted and failed; the ledger counts always.
//
// The kinds are the calls that the component's DLL and libraries make on the
// paths the sweeps take (a dry run counts them), and the calls that give back
// what those take. Functions it resolves at run time (ShellExecuteA,
// CreateStdAccessibleObject, the version calls) and those of registration and
// the clipboard are reached on none of those paths.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <type_traits>

// The runtime's declarations carry attributes (malloc, nothrow) that a template
// argument drops; the calling convention it keeps.
#pragma GCC diagnostic ignored "-Wignored-attributes"

namespace velko::lowres {

enum Resource { kNone, kHeap, kBstr, kKey, kHook, kFont, kActCtx, kModule, kTls, kResources };
inline constexpr char kResourceNames[] = "heap bstr keys hooks fonts actctx modules tls";
// What a successful call does to the ledger. Givers are never failed. A call
// whose result is a LONG (a registry status, an HRESULT) succeeds with 0, a
// void one (free) when its argument is not null, any other when it does not
// return its failure value.
enum Effect { kGive = -1, kPlain, kTake };
inline constexpr INT_PTR kNoMemory = ERROR_NOT_ENOUGH_MEMORY;

// X(function, failure value[, resource, effect])
#define VELKO_LOWRES_KINDS(X)                                                                                     \
  X(malloc, 0, kHeap, kTake) X(calloc, 0, kHeap, kTake) X(realloc, 0, kHeap, kTake) X(free, 0, kHeap, kGive)        \
  X(SysAllocStringLen, 0, kBstr, kTake) X(SysFreeString, 0, kBstr, kGive) X(LoadTypeLibEx, E_OUTOFMEMORY)           \
  X(RegOpenKeyExW, kNoMemory, kKey, kTake) X(RegCreateKeyExW, kNoMemory, kKey, kTake)                               \
  X(RegConnectRegistryW, kNoMemory, kKey, kTake) X(RegQueryValueExW, kNoMemory) X(RegSetValueExW, kNoMemory)        \
  X(RegEnumValueW, kNoMemory) X(RegDeleteValueW, kNoMemory) X(RegCloseKey, 0, kKey, kGive) X(CreateWindowExW, 0)    \
  X(DialogBoxIndirectParamW, -1) X(SetWindowsHookExW, 0, kHook, kTake) X(UnhookWindowsHookEx, 0, kHook, kGive)      \
  X(SetPropW, 0) X(CreateFontIndirectW, 0, kFont, kTake) X(DeleteObject, 0, kFont, kGive)                           \
  X(CreateActCtxW, -1, kActCtx, kTake) X(ReleaseActCtx, 0, kActCtx, kGive) X(LoadLibraryExW, 0, kModule, kTake)     \
  X(FreeLibrary, 0, kModule, kGive) X(GetModuleHandleExW, 0) X(TlsAlloc, TLS_OUT_OF_INDEXES, kTls, kTake)           \
  X(TlsSetValue, 0) X(LoadStringW, 0) X(FormatMessageW, 0) X(GetPrivateProfileStringW, 0)                           \
  X(WritePrivateProfileStringW, 0) X(GetComputerNameW, 0) X(SetFileAttributesW, 0)

#define VELKO_LOWRES_ENUM(name, ...) k_##name,
enum Kind { VELKO_LOWRES_KINDS(VELKO_LOWRES_ENUM) kKinds };
#define VELKO_LOWRES_ROW(name, failure, ...) {#name, INT_PTR(failure), __VA_ARGS__},
inline const struct Row {
  const char* name;
  INT_PTR failure;
  Resource resource = kNone;
  Effect effect = kPlain;
} kRows[kKinds] = {VELKO_LOWRES_KINDS(VELKO_LOWRES_ROW)};

// The module calls from one thread at a time (the host's), as the sweeps do.
inline void* g_real[kKinds];
inline std::array<long, kKinds> g_calls;
inline std::array<long, kResources> g_held;  // the ledger
inline int g_fail_kind = -1;
inline long g_fail_n;
inline bool g_armed, g_injected;

// Arms the wrappers to fail the `n`th call of `kind` (none when n is 0), counting afresh.
inline void Arm(int kind, long n) { g_fail_kind = kind, g_fail_n = n, g_injected = false, g_calls = {}, g_armed = true; }

// One wrapper per kind, of the real function's own type and calling convention.
template <int K, typename Real, typename R, typename... A>
R Body(A... args) {
  const Row& row = kRows[K];
  if (row.effect != kGive && g_armed && ++g_calls[K] == g_fail_n && K == g_fail_kind) {
    g_injected = true, errno = ENOMEM;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return R(row.failure);
  }
  const uintptr_t a[] = {uintptr_t(args)..., 0, 0};
  // DeleteObject gives back a font only: the module deletes brushes too.
  const bool font = K != k_DeleteObject || ::GetObjectType(HGDIOBJ(a[0])) == OBJ_FONT;
  uintptr_t result = 0;
  if constexpr (std::is_void_v<R>) reinterpret_cast<Real>(g_real[K])(args...);
  else result = uintptr_t(reinterpret_cast<Real>(g_real[K])(args...));
  const DWORD error = ::GetLastError();
  const bool done = std::is_same_v<R, LONG> ? !result : std::is_void_v<R> ? a[0] : result != uintptr_t(row.failure);
  // realloc takes a block for a null one, gives one back for a size of 0.
  g_held[row.resource] += K == k_realloc ? (!a[0] && result) - (a[0] && !a[1]) : row.effect * (done && font);
  ::SetLastError(error);
  return R(result);
}
template <int K, typename F>
struct Wrap;
template <int K, typename R, typename... A>
struct Wrap<K, R(__cdecl*)(A...)> {
  static R __cdecl Call(A... a) { return Body<K, R(__cdecl*)(A...), R, A...>(a...); }
};
#ifndef _WIN64
template <int K, typename R, typename... A>
struct Wrap<K, R(__stdcall*)(A...)> {
  static R __stdcall Call(A... a) { return Body<K, R(__stdcall*)(A...), R, A...>(a...); }
};
#endif
#define VELKO_LOWRES_WRAPPER(name, ...) reinterpret_cast<void*>(&Wrap<k_##name, decltype(&::name)>::Call),
inline void* const kWrappers[kKinds] = {VELKO_LOWRES_KINDS(VELKO_LOWRES_WRAPPER)};

// Points `module`'s import entries of the kinds at the wrappers.
inline void PatchImports(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); dir.Size && d->Name; ++d) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); names->u1.AddressOfData; ++names, ++slot)
      for (int k = 0; k < kKinds && !IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal); ++k)
        if (!std::strcmp(kRows[k].name, reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name)) {
          DWORD protect;
          g_real[k] = reinterpret_cast<void*>(slot->u1.Function);
          ::VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protect);
          slot->u1.Function = reinterpret_cast<uintptr_t>(kWrappers[k]);
          ::VirtualProtect(&slot->u1.Function, sizeof(void*), protect, &protect);
        }
  }
}

// Patches every DLL of file name `name` as the loader maps it.
inline bool HookDllLoads(const wchar_t* name) {
  struct Loaded {
    ULONG flags;
    const UNICODE_STRING *full_name, *base_name;
    void* base;
  };
  static const wchar_t* hooked;
  struct Notification {
    static void CALLBACK OnLoad(ULONG reason, const Loaded* dll, void*) {
      if (reason == 1 /* loaded */ && !::_wcsnicmp(dll->base_name->Buffer, hooked, dll->base_name->Length / 2))
        PatchImports(static_cast<HMODULE>(dll->base));
    }
  };
  hooked = name;
  const auto reg = reinterpret_cast<NTSTATUS(NTAPI*)(ULONG, decltype(&Notification::OnLoad), void*, void**)>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "LdrRegisterDllNotification")));
  void* cookie = nullptr;
  return reg && reg(0, &Notification::OnLoad, nullptr, &cookie) == 0;
}

}  // namespace velko::lowres
