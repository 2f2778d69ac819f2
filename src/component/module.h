// Process-wide state of the DLL and its whole lifetime: its module handle, what
// keeps it in use (and so decides DllCanUnloadNow), and its pin.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace velko::module {

void SetInstance(HINSTANCE instance) noexcept;
HINSTANCE Instance() noexcept;

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

}  // namespace velko::module
