#include "platform/win32/seams.h"

#include "platform/win32/system_function.h"

namespace velko::seams {
namespace {

// shell32 (and shlwapi and shcore behind it) is loaded the first time a
// document or address is opened, not with the DLL: most boxes never open one.
// Once loaded it stays, like a static import would.
HINSTANCE WINAPI ShellExecuteAFromShell32(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                          INT show) {
  static const auto real = SystemFunction<decltype(&::ShellExecuteA)>(
      ::LoadLibraryExW(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), "ShellExecuteA");
  if (!real) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
  return real(hwnd, verb, file, parameters, directory, show);
}

}  // namespace

decltype(&::RegConnectRegistryW) RegConnectRegistryW = ::RegConnectRegistryW;
decltype(&::RegOpenKeyExW) RegOpenKeyExW = ::RegOpenKeyExW;
decltype(&::RegCreateKeyExW) RegCreateKeyExW = ::RegCreateKeyExW;
decltype(&::RegQueryValueExW) RegQueryValueExW = ::RegQueryValueExW;
decltype(&::RegEnumValueW) RegEnumValueW = ::RegEnumValueW;
decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
decltype(&::GetComputerNameW) GetComputerNameW = ::GetComputerNameW;
decltype(&::ShellExecuteA) ShellExecuteA = ShellExecuteAFromShell32;

}  // namespace velko::seams
