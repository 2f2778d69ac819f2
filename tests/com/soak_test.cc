// Soak: thousands of objects created, used and released on four threads at once,
// and About boxes shown and closed, must leave the process as they found it.
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

// `cycles` runs of `work` after a warm-up (type information, heaps, fonts, window
// classes) leave every count as it was, and memory within a bound far below
// what one leaked allocation per cycle would add.
template <typename Work>
void ExpectFlat(int cycles, Work work) {
  work(cycles / 4);
  std::vector<SIZE_T> before = Sample();
  work(cycles);
  const std::vector<SIZE_T> after = Sample();
  EXPECT_LE(after[5], before[5] + std::max<SIZE_T>(64 * 1024, cycles * 16u)) << "committed private bytes";
  before[5] = after[5];
  EXPECT_EQ(after, before) << "handles, GDI, USER, windows, mapped files";
}

void CreateReleaseCycles(int cycles) {
  Apartment apartment;
  UniqueBstr name = MakeBstr(u"Soak product");
  for (int i = 0; i < cycles; ++i) {
    auto object = Create();
    object->put_ProductName(name.get());
    object->AddURL(name.get(), name.get());
    UniqueBstr back;
    object->get_ProductName(back.put());
  }
}

TEST(Soak, CreateUseReleaseOnFourThreadsAtOnce) {
  ExpectFlat(4000, [](int cycles) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(CreateReleaseCycles, cycles / 4);
    for (auto& t : threads) t.join();
  });
}

BOOL CALLBACK CloseShownBox(HWND window, LPARAM) {
  if (forms::testing::ClassOf(window) == L"#32770" && ::IsWindowVisible(window)) {
    // Painted first, as a user sees it: a button's first paint loads the theme's helpers.
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

TEST(Soak, AboutBoxesShownAndClosed) {
  Apartment apartment;
  auto object = Create();
  UniqueBstr name = MakeBstr(u"Soak product");
  object->put_EULAPath(name.get());
  object->AddURL(name.get(), name.get());
  ExpectFlat(120, [&](int shows) {
    const DWORD shower = ::GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread user([&] {
      while (!done) ::EnumThreadWindows(shower, CloseShownBox, 0), ::Sleep(1);
    });
    VARIANT_BOOL result;
    for (int i = 0; i < shows; ++i) EXPECT_EQ(object->ShowAboutBox(&result), S_OK);
    done = true;
    user.join();
  });
}

}  // namespace
}  // namespace velko::testing
