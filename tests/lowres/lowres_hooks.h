// Low-resource simulation for tests: a module's calls to the C runtime and the
// system go through counting wrappers, one of which fails exactly the Nth call
// of its kind with the function's own failure value, ERROR_NOT_ENOUGH_MEMORY
// as last error and ENOMEM as errno. A ledger counts what the module holds.
//
// PatchImports points a loaded module's import entries at the wrappers;
// HookDllLoads does it for a DLL as the loader maps it, before its entry point
// and static initialisers run (the loader's DLL notification). A patched
// GetProcAddress answers with the wrappers too. Only armed calls are counted
// and failed; the ledger counts always.
#pragma once

#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>
#include <winternl.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <type_traits>

// The runtime's declarations carry attributes (malloc, nothrow) that a template
// argument drops; the calling convention it keeps.
#pragma GCC diagnostic ignored "-Wignored-attributes"

namespace velko::lowres {

enum Resource { kNone, kHeap, kBstr, kKey, kHook, kDc, kFont, kGlobal, kActCtx, kModule, kTls, kResources };
inline constexpr char kResourceNames[] = "heap bstr keys hooks dcs fonts global actctx modules tls";
// What a call does to the ledger: nothing; takes one when it succeeds (its
// result is not the failure value, or a status of 0); realloc's; gives one back
// (a non-null first argument, or a status of 0). Givers are never failed.
enum Effect { kPlain, kTake, kTakeStatus, kRealloc, kGive, kGiveStatus };

// X(function, failure value, resource, effect)
#define VELKO_LOWRES_KINDS(X)                                                                                       \
  X(malloc, 0, kHeap, kTake) X(calloc, 0, kHeap, kTake) X(realloc, 0, kHeap, kRealloc) X(_strdup, 0, kHeap, kTake) \
  X(free, 0, kHeap, kGive) X(SysAllocString, 0, kBstr, kTake) X(SysAllocStringLen, 0, kBstr, kTake)                \
  X(SysFreeString, 0, kBstr, kGive) X(LoadTypeLibEx, E_OUTOFMEMORY, kNone, kPlain)                                  \
  X(CreateErrorInfo, E_OUTOFMEMORY, kNone, kPlain)                                                                  \
  X(RegOpenKeyExW, ERROR_NOT_ENOUGH_MEMORY, kKey, kTakeStatus)                                                      \
  X(RegCreateKeyExW, ERROR_NOT_ENOUGH_MEMORY, kKey, kTakeStatus)                                                    \
  X(RegConnectRegistryW, ERROR_NOT_ENOUGH_MEMORY, kKey, kTakeStatus)                                                \
  X(RegQueryValueExW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) X(RegSetValueExW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) \
  X(RegEnumValueW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) X(RegDeleteValueW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) \
  X(RegDeleteKeyExW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) X(RegDeleteTreeW, ERROR_NOT_ENOUGH_MEMORY, kNone, kPlain) \
  X(RegCloseKey, 0, kKey, kGiveStatus) X(CreateWindowExW, 0, kNone, kPlain)                                         \
  X(DialogBoxIndirectParamW, -1, kNone, kPlain) X(SetWindowsHookExW, 0, kHook, kTake)                               \
  X(UnhookWindowsHookEx, 0, kHook, kGive) X(SetPropW, 0, kNone, kPlain) X(GetDC, 0, kDc, kTake)                     \
  X(ReleaseDC, 0, kDc, kGive) X(CreateFontIndirectW, 0, kFont, kTake) X(DeleteObject, 0, kFont, kGive)              \
  X(GlobalAlloc, 0, kGlobal, kTake) X(GlobalFree, 0, kGlobal, kGive) X(CreateActCtxW, -1, kActCtx, kTake)           \
  X(ReleaseActCtx, 0, kActCtx, kGive) X(LoadLibraryExW, 0, kModule, kTake) X(FreeLibrary, 0, kModule, kGive)        \
  X(GetModuleHandleExW, 0, kNone, kPlain) X(TlsAlloc, TLS_OUT_OF_INDEXES, kTls, kTake)                              \
  X(TlsSetValue, 0, kNone, kPlain) X(LoadStringW, 0, kNone, kPlain) X(FormatMessageW, 0, kNone, kPlain)             \
  X(GetPrivateProfileStringW, 0, kNone, kPlain) X(GetPrivateProfileSectionW, 0, kNone, kPlain)                      \
  X(GetPrivateProfileSectionNamesW, 0, kNone, kPlain) X(WritePrivateProfileStringW, 0, kNone, kPlain)               \
  X(WritePrivateProfileSectionW, 0, kNone, kPlain) X(GetFileVersionInfoSizeW, 0, kNone, kPlain)                     \
  X(GetFileVersionInfoW, 0, kNone, kPlain) X(CreateStdAccessibleObject, E_OUTOFMEMORY, kNone, kPlain)               \
  X(ShellExecuteA, SE_ERR_OOM, kNone, kPlain) X(GetComputerNameW, 0, kNone, kPlain)                              \
  X(SetFileAttributesW, 0, kNone, kPlain) X(GetLongPathNameW, 0, kNone, kPlain)

#define VELKO_LOWRES_ENUM(name, ...) k_##name,
enum Kind { VELKO_LOWRES_KINDS(VELKO_LOWRES_ENUM) kKinds };
#undef VELKO_LOWRES_ENUM

struct Row {
  const char* name;
  INT_PTR failure;
  Resource resource;
  Effect effect;
};
#define VELKO_LOWRES_ROW(name, failure, resource, effect) {#name, INT_PTR(failure), resource, effect},
inline const Row kRows[kKinds] = {VELKO_LOWRES_KINDS(VELKO_LOWRES_ROW)};
#undef VELKO_LOWRES_ROW

inline std::atomic<void*> g_real[kKinds];
inline std::atomic<long> g_calls[kKinds], g_held[kResources], g_fail_n;
inline std::atomic<int> g_fail_kind{-1};
inline std::atomic<bool> g_armed, g_injected;

inline void Arm(bool on) { g_armed = on; }
// Fails the `n`th armed call of `kind` (none when n is 0) and counts afresh.
inline void FailNth(int kind, long n) {
  g_fail_kind = kind, g_fail_n = n, g_injected = false;
  for (auto& calls : g_calls) calls = 0;
}
inline std::array<long, kResources> Ledger() {
  std::array<long, kResources> held;
  for (int r = 0; r < kResources; ++r) held[r] = g_held[r];
  return held;
}

// An argument or result as a number, and back; 0 for what is neither (a GUID by reference).
template <typename T>
uintptr_t Bits(T value) {
  if constexpr (std::is_pointer_v<T>) return reinterpret_cast<uintptr_t>(value);
  else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) return static_cast<uintptr_t>(value);
  else return 0;
}
template <typename R>
R As(uintptr_t bits) {
  if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(bits);
  else return static_cast<R>(bits);
}

template <int K, typename Real, typename R, typename... A>
R Body(A... args) {
  const Row& row = kRows[K];
  if (row.effect < kGive && g_armed && ++g_calls[K] == g_fail_n && K == g_fail_kind) {
    g_injected = true;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    errno = ENOMEM;
    return As<R>(row.failure);
  }
  const uintptr_t a[] = {Bits(args)..., 0, 0};
  // DeleteObject gives back a font only: the module deletes brushes too.
  const bool gives = row.effect == kGive && a[0] && (K != k_DeleteObject || ::GetObjectType(HGDIOBJ(a[0])) == OBJ_FONT);
  const auto real = reinterpret_cast<Real>(g_real[K].load());
  uintptr_t result = 0;
  if constexpr (std::is_void_v<R>) real(args...);
  else result = Bits(real(args...));
  const DWORD error = ::GetLastError();
  const bool taken = row.effect == kTake ? result != uintptr_t(row.failure)
                     : row.effect == kTakeStatus ? result == ERROR_SUCCESS
                     : row.effect == kRealloc && !a[0] && result;
  g_held[row.resource] += taken - (gives || (row.effect == kGiveStatus && result == ERROR_SUCCESS) ||
                                   (row.effect == kRealloc && a[0] && !a[1]));
  ::SetLastError(error);
  return As<R>(result);
}

// One wrapper per kind, of the real function's own type and calling convention.
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
#undef VELKO_LOWRES_WRAPPER

inline int KindOf(const char* name) {
  for (int k = 0; k < kKinds; ++k)
    if (!std::strcmp(kRows[k].name, name)) return k;
  return -1;
}

inline FARPROC WINAPI GetProcAddressWrapper(HMODULE module, LPCSTR name) {
  const FARPROC real = ::GetProcAddress(module, name);
  const int kind = real && HIWORD(reinterpret_cast<uintptr_t>(name)) ? KindOf(name) : -1;
  if (kind < 0) return real;
  g_real[kind] = reinterpret_cast<void*>(real);
  return reinterpret_cast<FARPROC>(kWrappers[kind]);
}

// Points `module`'s import entries (and its GetProcAddress) at the wrappers.
inline void PatchImports(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); dir.Size && d->Name; ++d) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); names->u1.AddressOfData; ++names, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      const int kind = KindOf(name);
      const bool gpa = !std::strcmp(name, "GetProcAddress");
      if (kind < 0 && !gpa) continue;
      if (kind >= 0) g_real[kind] = reinterpret_cast<void*>(slot->u1.Function);
      DWORD protect;
      ::VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &protect);
      slot->u1.Function = reinterpret_cast<uintptr_t>(gpa ? reinterpret_cast<void*>(&GetProcAddressWrapper) : kWrappers[kind]);
      ::VirtualProtect(&slot->u1.Function, sizeof(void*), protect, &protect);
    }
  }
}

struct DllLoads {
  struct Loaded {
    ULONG flags;
    const UNICODE_STRING *full_name, *base_name;
    void* base;
  };
  static inline const wchar_t* hooked;
  static void CALLBACK OnLoad(ULONG reason, const Loaded* dll, void*) {
    if (reason == 1 /* loaded */ && !::_wcsnicmp(dll->base_name->Buffer, hooked, dll->base_name->Length / 2))
      PatchImports(static_cast<HMODULE>(dll->base));
  }
};

// Patches every DLL of file name `name` as the loader maps it.
inline bool HookDllLoads(const wchar_t* name) {
  DllLoads::hooked = name;
  const auto reg = reinterpret_cast<NTSTATUS(NTAPI*)(ULONG, decltype(&DllLoads::OnLoad), void*, void**)>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "LdrRegisterDllNotification")));
  void* cookie = nullptr;
  return reg && reg(0, &DllLoads::OnLoad, nullptr, &cookie) == 0;
}

}  // namespace velko::lowres
