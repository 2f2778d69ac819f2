// Process-wide state of the DLL: its module handle, the counts that decide
// DllCanUnloadNow, and the type information that every object's IDispatch uses.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace velko::module {

void SetInstance(HINSTANCE instance) noexcept;
HINSTANCE Instance() noexcept;
// Full path of VELKO.dll.
std::u16string FileName();

// Live objects and class-factory locks.
void AddObject() noexcept;
void ReleaseObject() noexcept;
void Lock() noexcept;
void Unlock() noexcept;
// True when no object and no lock is left; then the cached type information is
// released too, so an unload leaves nothing behind.
bool CanUnload() noexcept;

// The type information of _CProductInfo from the DLL's own TYPELIB resource,
// loaded once per process (not per object). Not counted for the caller; null when
// the type library cannot be loaded (with the failure in *hr).
ITypeInfo* ProductInfoTypeInfo(HRESULT* hr) noexcept;

// How many arguments member `id` takes when invoked with `flags` (a property
// put counts its value), from the type library; -1 for an unknown member. Only
// valid after ProductInfoTypeInfo succeeded.
int ArgumentCount(DISPID id, WORD flags) noexcept;

// The vtable slot of member `id` when it is a property get returning a BSTR
// (the type library's [out, retval] BSTR*), else -1. Same validity as above.
int StringGetterSlot(DISPID id) noexcept;

}  // namespace velko::module
