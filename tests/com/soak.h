// What a soak test samples of the process before and after its cycles.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace velko::testing {

// Wine answers GetProcessHandleCount, GetGuiResources and PrivateUsage with 0,
// so each figure that Wine leaves at 0 is also measured a second way that works
// there: handles by probing the handle table, windows by enumeration, private
// bytes by walking the committed private pages of the address space.
struct ProcessSample {
  DWORD handles = 0;        // GetProcessHandleCount
  DWORD open_handles = 0;   // valid handle values below 0x10000
  DWORD gdi_objects = 0;    // GetGuiResources
  DWORD user_objects = 0;   // GetGuiResources
  DWORD windows = 0;        // top-level windows of this process
  DWORD modules = 0;
  SIZE_T private_bytes = 0;     // PrivateUsage
  SIZE_T committed_private = 0; // committed MEM_PRIVATE pages

  static ProcessSample Take() {
    // Threads the test joined may still be leaving the system's own bookkeeping.
    ::Sleep(100);
    ProcessSample s;
    HANDLE self = ::GetCurrentProcess();
    ::GetProcessHandleCount(self, &s.handles);
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
      DWORD flags;
      if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++s.open_handles;
    }
    s.gdi_objects = ::GetGuiResources(self, GR_GDIOBJECTS);
    s.user_objects = ::GetGuiResources(self, GR_USEROBJECTS);
    ::EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&s.windows));
    HMODULE modules[1024];
    DWORD needed = 0;
    ::EnumProcessModules(self, modules, sizeof modules, &needed);
    s.modules = needed / sizeof(HMODULE);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    s.private_bytes = memory.PrivateUsage;
    MEMORY_BASIC_INFORMATION info;
    for (char* p = nullptr; ::VirtualQuery(p, &info, sizeof info) == sizeof info;
         p = static_cast<char*>(info.BaseAddress) + info.RegionSize) {
      if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) s.committed_private += info.RegionSize;
    }
    return s;
  }

  static BOOL CALLBACK CountOwnWindow(HWND window, LPARAM count) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == ::GetCurrentProcessId()) ++*reinterpret_cast<DWORD*>(count);
    return TRUE;
  }
};

// One leaked allocation of 16 bytes per cycle would add cycles * 16 bytes; the
// bound is a quarter of that, and never less than the heap's own slack of 64 KiB.
inline void ExpectNoGrowth(const ProcessSample& before, const ProcessSample& after, int cycles) {
  EXPECT_EQ(after.handles, before.handles) << "process handles";
  EXPECT_EQ(after.open_handles, before.open_handles) << "open handle values";
  EXPECT_EQ(after.gdi_objects, before.gdi_objects) << "GDI objects";
  EXPECT_EQ(after.user_objects, before.user_objects) << "USER objects";
  EXPECT_EQ(after.windows, before.windows) << "windows";
  EXPECT_EQ(after.modules, before.modules) << "loaded modules";
  const SIZE_T bound = std::max<SIZE_T>(64 * 1024, static_cast<SIZE_T>(cycles) * 4);
  EXPECT_LE(after.private_bytes, before.private_bytes + bound) << "private bytes";
  EXPECT_LE(after.committed_private, before.committed_private + bound) << "committed private pages";
  std::printf(
      "soak, %d cycles: handles %lu->%lu (probed %lu->%lu), GDI %lu->%lu, USER %lu->%lu, windows %lu->%lu, "
      "modules %lu->%lu, private KiB %lu->%lu (committed %lu->%lu)\n",
      cycles, before.handles, after.handles, before.open_handles, after.open_handles, before.gdi_objects,
      after.gdi_objects, before.user_objects, after.user_objects, before.windows, after.windows, before.modules,
      after.modules, static_cast<unsigned long>(before.private_bytes / 1024),
      static_cast<unsigned long>(after.private_bytes / 1024), static_cast<unsigned long>(before.committed_private / 1024),
      static_cast<unsigned long>(after.committed_private / 1024));
}

}  // namespace velko::testing
