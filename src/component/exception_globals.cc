// The C++ runtime keeps, per thread, the exceptions being handled and the
// count of those thrown and not yet caught (__cxa_get_globals). Its own
// version keeps them in emulated thread-local storage, which allocates on a
// thread's first throw and calls abort() when that allocation fails, and
// whose memory comes from the thread library, which crashes when its own
// allocation fails: a host out of memory would die at the DLL's first
// std::bad_alloc on a thread. The DLL defines them instead, in a fixed table
// keyed by thread that needs no allocation; a thread's row is given back when
// it detaches (exception_globals.h).
//
// The rest of the runtime's exception support (the emergency allocator and, on
// x86, the unwinder's frame tables) takes the thread library for a few locks
// and one-time initialisations; that library calls abort() when it cannot get
// its own thread-local slot and crashes when its allocations fail. The DLL
// defines the five functions they call, on interlocked operations alone, so
// the thread library is not linked at all. Their locks are held for a few
// instructions and rarely contended: a waiter yields its time slice.
#include "component/exception_globals.h"

#include <windows.h>

#include <exception>

namespace {

// The runtime's __cxa_eh_globals (unwind-cxx.h), row by row.
struct Row {
  volatile LONG thread;  // 0: free; kGone: freed (probing goes past it)
  void* caught_exceptions;
  unsigned int uncaught_exceptions;
};
constexpr LONG kGone = -1;
// Threads that have used the DLL's exceptions at once. Thread ids are
// multiples of 4, hence the hash.
constexpr unsigned kRows = 1024;
Row g_rows[kRows];

unsigned Home(DWORD thread) { return (thread >> 2) % kRows; }

Row* Find(DWORD thread) noexcept {
  for (unsigned i = 0, at = Home(thread); i < kRows; ++i, at = (at + 1) % kRows) {
    const LONG owner = g_rows[at].thread;
    if (owner == static_cast<LONG>(thread)) return &g_rows[at];
    if (owner == 0) return nullptr;
  }
  return nullptr;
}

void* ThreadGlobals() noexcept {
  const DWORD thread = ::GetCurrentThreadId();
  if (Row* row = Find(thread)) return &row->caught_exceptions;
  // Only this thread claims a row for itself, so no other claim can race to
  // give it a second one.
  for (unsigned i = 0, at = Home(thread); i < kRows; ++i, at = (at + 1) % kRows)
    for (LONG owner = g_rows[at].thread; owner == 0 || owner == kGone; owner = g_rows[at].thread)
      if (::InterlockedCompareExchange(&g_rows[at].thread, static_cast<LONG>(thread), owner) == owner) {
        g_rows[at].caught_exceptions = nullptr;
        g_rows[at].uncaught_exceptions = 0;
        return &g_rows[at].caught_exceptions;
      }
  std::terminate();  // more threads at once than rows
}

}  // namespace

namespace velko {

void ReleaseThreadExceptionGlobals() noexcept {
  if (Row* row = Find(::GetCurrentThreadId())) ::InterlockedExchange(&row->thread, kGone);
}

}  // namespace velko

extern "C" {

void* __cxa_get_globals() noexcept { return ThreadGlobals(); }
void* __cxa_get_globals_fast() noexcept { return ThreadGlobals(); }

// A mutex is one pointer-sized word: the library's static initialisers are
// negative, 0 is unlocked, 1 locked.
int pthread_mutex_init(volatile LONG_PTR* mutex, const void*) noexcept { return *mutex = 0, 0; }
int pthread_mutex_destroy(volatile LONG_PTR*) noexcept { return 0; }
int pthread_mutex_lock(volatile LONG_PTR* mutex) noexcept {
  for (LONG_PTR seen;; ::SwitchToThread())
    if ((seen = *mutex) != 1 && ::InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(mutex),
                                                                    reinterpret_cast<void*>(1),
                                                                    reinterpret_cast<void*>(seen)) ==
                                    reinterpret_cast<void*>(seen))
      return 0;
}
int pthread_mutex_unlock(volatile LONG_PTR* mutex) noexcept {
  ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(mutex), nullptr);
  return 0;
}

// 0: not run, 1: running, 2: done.
int pthread_once(volatile LONG* once, void (*run)()) noexcept {
  if (::InterlockedCompareExchange(once, 1, 0) == 0) {
    run();
    ::InterlockedExchange(once, 2);
  }
  while (*once != 2) ::SwitchToThread();
  return 0;
}

}
