// Soak: thousands of create/release cycles and a thousand About boxes shown and
// closed, on one thread and on four apartment threads at once, must leave the
// process as they found it: the same handles, windows,
// GDI and USER objects and modules, and private bytes within a bound far below
// what one leaked allocation per cycle would add.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/dialog_driver.h"
#include "tests/com/com_host.h"
#include "tests/com/soak.h"

namespace velko::testing {
namespace {

constexpr int kCycles = 10000;

void CreateReleaseCycles(int cycles) {
  Apartment apartment;
  UniqueBstr name = MakeBstr(u"Soak product");
  for (int i = 0; i < cycles; ++i) {
    auto object = Server().Create();
    ASSERT_TRUE(object);
    object->put_ProductName(name.get());
    object->AddURL(name.get(), name.get());
    BSTR back = nullptr;
    object->get_ProductName(&back);
    ::SysFreeString(back);
  }
}

TEST(Soak, CreateReleaseOnOneThreadLeavesNothingBehind) {
  CreateReleaseCycles(500);  // warm-up: type information, heaps, the language library's first load
  const ProcessSample before = ProcessSample::Take();
  CreateReleaseCycles(kCycles);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kCycles);
}

TEST(Soak, FourApartmentThreadsAtOnceLeaveNothingBehind) {
  auto run_four = [](int cycles) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(CreateReleaseCycles, cycles);
    for (auto& t : threads) t.join();
  };
  run_four(kCycles / 4);  // warm-up: a full round, until the heaps stop growing
  const ProcessSample before = ProcessSample::Take();
  run_four(kCycles / 4);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kCycles);
}

constexpr int kShows = 1000;

BOOL CALLBACK CloseVisibleDialog(HWND window, LPARAM closed) {
  if (forms::testing::ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
    // Painted first, as a user sees it: the first paint of a themed button loads
    // the theme's helpers, which must happen in the warm-up, not the measured run.
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ++*reinterpret_cast<int*>(closed);
  }
  return TRUE;
}

// Shows the About box `shows` times on this thread while a second thread plays
// the user who closes each box as soon as it is up.
void ShowCloseCycles(int shows) {
  Apartment apartment;
  auto object = Server().Create();
  ASSERT_TRUE(object);
  UniqueBstr name = MakeBstr(u"Soak product");
  object->put_ProductName(name.get());
  object->put_EULAPath(name.get());
  object->AddURL(name.get(), name.get());
  const DWORD shower = ::GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::thread user([&] {
    int closed = 0;
    while (!done) {
      ::EnumThreadWindows(shower, CloseVisibleDialog, reinterpret_cast<LPARAM>(&closed));
      ::Sleep(1);
    }
  });
  for (int i = 0; i < shows; ++i) {
    VARIANT_BOOL result = VARIANT_TRUE;
    ASSERT_EQ(object->ShowAboutBox(&result), S_OK) << "show " << i;
    ASSERT_EQ(result, VARIANT_FALSE);
  }
  done = true;
  user.join();
}

TEST(Soak, AboutBoxShowAndCloseLeavesNothingBehind) {
  ShowCloseCycles(50);  // warm-up: fonts, cursor, window classes
  const ProcessSample before = ProcessSample::Take();
  ShowCloseCycles(kShows);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kShows);
}

TEST(Soak, AboutBoxesOnFourApartmentThreadsAtOnceLeaveNothingBehind) {
  auto run_four = [](int shows) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(ShowCloseCycles, shows);
    for (auto& t : threads) t.join();
  };
  run_four(25);
  const ProcessSample before = ProcessSample::Take();
  run_four(kShows / 4);
  const ProcessSample after = ProcessSample::Take();
  ExpectNoGrowth(before, after, kShows);
}

}  // namespace
}  // namespace velko::testing
