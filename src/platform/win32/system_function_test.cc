// LoadSystemLibrary against a loader that knows no LOAD_LIBRARY_SEARCH_* flag,
// as on Windows 7 without KB2533623, which refuses them with 87.
#include "platform/win32/system_function.h"

#include <gtest/gtest.h>

#include "platform/win32/unique_handle.h"
#include "tests/support/seam.h"

namespace velko {
namespace {

constexpr DWORD kWindows7Flags = DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE |
                                 LOAD_WITH_ALTERED_SEARCH_PATH | LOAD_IGNORE_CODE_AUTHZ_LEVEL |
                                 LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE;
HMODULE WINAPI Windows7LoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags) {
  if (flags & ~kWindows7Flags) return ::SetLastError(ERROR_INVALID_PARAMETER), nullptr;
  return ::LoadLibraryExW(name, file, flags);
}

TEST(LoadSystemLibrary, LoadsFromTheSystemFolderWhereTheLoaderKnowsNoSearchFlags) {
  testing::SeamSwap windows7(seams::LoadLibraryExW, &Windows7LoadLibraryExW);
  wchar_t system[MAX_PATH], loaded[MAX_PATH] = {};
  const std::wstring version = std::wstring(system, ::GetSystemDirectoryW(system, MAX_PATH)) + L"\\version.dll";
  const UniqueHModule module(LoadSystemLibrary(L"version.dll")),
      data(LoadSystemLibrary(L"version.dll", LOAD_LIBRARY_AS_DATAFILE));
  EXPECT_EQ(std::wstring(loaded, ::GetModuleFileNameW(module.get(), loaded, MAX_PATH)), version);
  EXPECT_NE(data.get(), nullptr) << "as a data file";
}

}  // namespace
}  // namespace velko
