// Soak: thousands of objects created, used and released, and About boxes shown
// and closed, on four threads at once, must leave the process as they found it.
// Wine answers GetProcessHandleCount, GetGuiResources and PrivateUsage with 0, so
// handles are counted by probing the handle table, windows by enumeration and
// memory by walking the committed private pages.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "tests/com/com_host.h"
#include "tests/support/dialog_driver.h"

namespace velko::testing {
namespace {

BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  *reinterpret_cast<SIZE_T*>(count) += pid == ::GetCurrentProcessId();
  return TRUE;
}

// Handles, GDI and USER objects, windows, mapped files, committed private bytes.
std::vector<SIZE_T> Sample() {
  ::Sleep(100);  // threads just joined may still be leaving the system's bookkeeping
  std::vector<SIZE_T> s = {0, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS),
                           ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), 0,
                           static_cast<SIZE_T>(MappedFilesNamed(L"\\")), 0};
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    DWORD flags;
    s[0] += ::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
  }
  ::EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&s[3]));
  MEMORY_BASIC_INFORMATION info;
  for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) s[5] += info.RegionSize;
  }
  return s;
}

// `cycles` runs of `work` after two warm-up rounds (type information, fonts,
// window classes, and heaps, which four threads grow until the second round)
// leave every count as it was, and memory within a bound far below what one
// leaked allocation per cycle would add. The system makes some objects once, at
// a first contention say, in whichever round that comes: a round that is not
// flat gets one more, since a leak shows in every round.
template <typename Work>
void ExpectFlat(int cycles, Work work) {
  work(cycles), work(cycles);
  std::vector<SIZE_T> before, after;
  const auto counts_equal = [&] { return std::equal(before.begin(), before.end() - 1, after.begin()); };
  for (int round = 0; round < 2 && (round == 0 || !counts_equal()); ++round) {
    before = Sample();
    work(cycles);
    after = Sample();
    // What the system still releases on threads of its own is gone within a second.
    for (int retry = 0; retry < 10 && !counts_equal(); ++retry) after = Sample();
  }
  EXPECT_TRUE(counts_equal()) << "handles, GDI, USER, windows, mapped files: " << ::testing::PrintToString(before)
                              << " before, " << ::testing::PrintToString(after) << " after";
  EXPECT_LE(after.back(), before.back() + std::max<SIZE_T>(64 * 1024, cycles * 16u)) << "committed private bytes";
}

BOOL CALLBACK CloseShownBox(HWND window, LPARAM) {
  if (forms::testing::ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
    // Painted first, as a user sees it: a button's first paint loads the theme's helpers.
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

// On its own apartment thread: `cycles` objects created, used and released,
// and with `boxes`, one About box in every 25 shown while a second thread plays
// the user who closes it. (Boxes on several threads at once make Wine's
// CreateWindowEx fail now and then with 1411, a class missing, and hang.)
void Cycles(int cycles, bool boxes) {
  Apartment apartment;
  const DWORD shower = ::GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::thread user([&] {
    while (!done) ::EnumThreadWindows(shower, CloseShownBox, 0), ::Sleep(1);
  });
  for (int i = 0; i < cycles; ++i) {
    auto object = Create();
    object->put_EULAPath(Bstr(L"Soak product"));
    object->AddURL(Bstr(L"http://soak"), Bstr(L"Soak product"));
    Bstr back;
    object->get_EULAPath(back.put());
    VARIANT_BOOL result;
    EXPECT_EQ(boxes && i % 25 == 0 ? object->ShowAboutBox(&result) : S_OK, S_OK);
  }
  done = true;
  user.join();
}

TEST(Soak, ObjectsOnFourThreadsAtOnceAndAboutBoxesOnOne) {
  ExpectFlat(2000, [](int cycles) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(Cycles, cycles / 4, t == 0);
    for (auto& t : threads) t.join();
  });
}

}  // namespace
}  // namespace velko::testing
