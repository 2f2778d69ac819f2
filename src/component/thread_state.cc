#include "component/thread_state.h"

#include "dialogs/about_box.h"

namespace velko {
namespace {

INIT_ONCE g_slot_once = INIT_ONCE_STATIC_INIT;
DWORD g_slot = TLS_OUT_OF_INDEXES;

BOOL CALLBACK AllocateSlot(INIT_ONCE*, void*, void**) {
  g_slot = ::TlsAlloc();
  return g_slot != TLS_OUT_OF_INDEXES;
}

}  // namespace

ThreadState::ThreadState() = default;
// Only a thread's detach destroys its state, under the loader lock and perhaps
// after the host left the apartment (CoUninitialize): a proxy, or a picture whose
// DLL is gone, would be called there, so an icon still held is left.
ThreadState::~ThreadState() { (void)product_icon.detach(); }

ThreadState& CurrentThreadState() {
  if (!::InitOnceExecuteOnce(&g_slot_once, AllocateSlot, nullptr, nullptr)) throw std::bad_alloc();
  if (auto* state = static_cast<ThreadState*>(::TlsGetValue(g_slot))) return *state;
  auto owned = std::make_unique<ThreadState>();
  if (!::TlsSetValue(g_slot, owned.get())) throw std::bad_alloc();
  return *owned.release();
}

void ReleaseThreadState(ThreadState& state) noexcept {
  if (--state.owners == 0) delete &state;
}

void OnThreadDetach() noexcept {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  auto* state = static_cast<ThreadState*>(::TlsGetValue(g_slot));
  ::TlsSetValue(g_slot, nullptr);
  if (!state) return;
  state->thread_ended = true;
  ReleaseThreadState(*state);
}

}  // namespace velko
