#include "platform/win32/seams.h"

#include <atomic>

#include "platform/win32/system_function.h"

namespace velko::seams {
namespace {

// shell32 (and shlwapi and shcore behind it) is loaded the first time a
// document or address is opened, not with the DLL: most boxes never open one.
// Once loaded it stays, like a static import would; a load that failed is
// tried again at the next opening.
HINSTANCE WINAPI ShellExecuteAFromShell32(HWND hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                          INT show) {
  static std::atomic<decltype(&::ShellExecuteA)> loaded{nullptr};
  if (!loaded) loaded = SystemFunction<decltype(&::ShellExecuteA)>(LoadSystemLibrary(L"shell32.dll"), "ShellExecuteA");
  const auto real = loaded.load();
  if (!real) return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
  return real(hwnd, verb, file, parameters, directory, show);
}

}  // namespace

decltype(&::LoadLibraryExW) LoadLibraryExW = ::LoadLibraryExW;
decltype(&::RegConnectRegistryW) RegConnectRegistryW = ::RegConnectRegistryW;
decltype(&::RegOpenKeyExW) RegOpenKeyExW = ::RegOpenKeyExW;
decltype(&::RegCreateKeyExW) RegCreateKeyExW = ::RegCreateKeyExW;
decltype(&::RegQueryValueExW) RegQueryValueExW = ::RegQueryValueExW;
decltype(&::RegEnumValueW) RegEnumValueW = ::RegEnumValueW;
decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
decltype(&::GetComputerNameW) GetComputerNameW = ::GetComputerNameW;
decltype(&::ShellExecuteA) ShellExecuteA = ShellExecuteAFromShell32;
decltype(&::SystemParametersInfoW) SystemParametersInfoW = ::SystemParametersInfoW;

}  // namespace velko::seams
