#include "component/thread_state.h"

#include "dialogs/about_box.h"

namespace velko {
namespace {

INIT_ONCE g_slot_once = INIT_ONCE_STATIC_INIT;
DWORD g_slot = TLS_OUT_OF_INDEXES;
SRWLOCK g_list_lock = SRWLOCK_INIT;
ThreadState* g_states = nullptr;

BOOL CALLBACK AllocateSlot(INIT_ONCE*, void*, void**) {
  g_slot = ::TlsAlloc();
  return g_slot != TLS_OUT_OF_INDEXES;
}

void Link(ThreadState* state) {
  ::AcquireSRWLockExclusive(&g_list_lock);
  state->next = g_states;
  if (g_states) g_states->prev = state;
  g_states = state;
  ::ReleaseSRWLockExclusive(&g_list_lock);
}

void Unlink(ThreadState* state) {
  ::AcquireSRWLockExclusive(&g_list_lock);
  if (state->prev) state->prev->next = state->next;
  else g_states = state->next;
  if (state->next) state->next->prev = state->prev;
  ::ReleaseSRWLockExclusive(&g_list_lock);
}

}  // namespace

ThreadState::ThreadState() = default;
ThreadState::~ThreadState() = default;

ThreadState& CurrentThreadState() {
  if (!::InitOnceExecuteOnce(&g_slot_once, AllocateSlot, nullptr, nullptr)) throw std::bad_alloc();
  if (auto* state = static_cast<ThreadState*>(::TlsGetValue(g_slot))) return *state;
  auto owned = std::make_unique<ThreadState>();
  if (!::TlsSetValue(g_slot, owned.get())) throw std::bad_alloc();
  Link(owned.get());
  return *owned.release();
}

void OnThreadDetach() noexcept {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  auto* state = static_cast<ThreadState*>(::TlsGetValue(g_slot));
  if (!state) return;
  ::TlsSetValue(g_slot, nullptr);
  Unlink(state);
  delete state;
}

void OnProcessDetach(bool unloading) noexcept {
  if (g_slot == TLS_OUT_OF_INDEXES) return;
  // At process exit other threads are gone without notice; touching their
  // objects is unsafe, and the memory goes with the process.
  if (!unloading) return;
  while (ThreadState* state = g_states) {
    Unlink(state);
    delete state;
  }
  ::TlsFree(g_slot);
  g_slot = TLS_OUT_OF_INDEXES;
}

}  // namespace velko
