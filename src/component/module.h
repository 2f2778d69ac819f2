// Process-wide state of the DLL and its whole lifetime: its module handle, what
// keeps it in use (and so decides DllCanUnloadNow), its pin, and the type
// information that every object's IDispatch uses.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace velko::module {

void SetInstance(HINSTANCE instance) noexcept;
HINSTANCE Instance() noexcept;
// Full path of VELKO.dll.
std::u16string FileName();

// What keeps the module's code in use: every live object whose code lives in
// the module (a class factory's references, a product object, a link's
// accessible object that a screen reader holds), every class-factory lock, and
// an open box. One count per module.
void AddUse() noexcept;
void ReleaseUse() noexcept;

// One use of the module for the life of its holder.
class Use {
 public:
  Use() noexcept { AddUse(); }
  Use(const Use&) noexcept { AddUse(); }
  Use& operator=(const Use&) = delete;
  ~Use() { ReleaseUse(); }
};

// An object whose every reference is one use of the module, for the objects of
// the lower layers that may outlive what made them (a link's accessible object).
IUnknown* UseHolder() noexcept;

// True when nothing uses the module.
bool CanUnload() noexcept;

// Keeps the DLL mapped until the process ends; called when it first hands out
// an object. Each thread that used an object keeps its state (thread_state.h)
// in the DLL's thread-local slot until the thread ends, and an unload could give
// back neither the slot nor the states of the other threads. Pinned, the DLL is
// loaded once per process whatever the host frees; DllCanUnloadNow still
// answers from what is in use. Fails (as an HRESULT) when the system cannot pin
// it; the DLL then hands out nothing.
[[nodiscard]] HRESULT Pin() noexcept;

// The type information of _CProductInfo from the DLL's own TYPELIB resource,
// loaded once per process (not per object) and kept while the process lives: the
// DLL is pinned, and an object may read it at any moment from any thread. Not
// counted for the caller; null when the type library cannot be loaded (with the
// failure in *hr).
ITypeInfo* ProductInfoTypeInfo(HRESULT* hr) noexcept;

// How many arguments member `id` takes when invoked with `flags` (a property
// put counts its value), from the type library; -1 for an unknown member. Only
// valid after ProductInfoTypeInfo succeeded.
int ArgumentCount(DISPID id, WORD flags) noexcept;

// The vtable slot of member `id` when it is a property get returning a BSTR
// (the type library's [out, retval] BSTR*), else -1. Same validity as above.
int StringGetterSlot(DISPID id) noexcept;

}  // namespace velko::module
