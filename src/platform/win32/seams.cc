#include "platform/win32/seams.h"

namespace velko::seams {

decltype(&::RegConnectRegistryW) RegConnectRegistryW = ::RegConnectRegistryW;
decltype(&::RegOpenKeyExW) RegOpenKeyExW = ::RegOpenKeyExW;
decltype(&::RegCreateKeyExW) RegCreateKeyExW = ::RegCreateKeyExW;
decltype(&::RegQueryValueExW) RegQueryValueExW = ::RegQueryValueExW;
decltype(&::RegEnumValueW) RegEnumValueW = ::RegEnumValueW;
decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
decltype(&::GetComputerNameW) GetComputerNameW = ::GetComputerNameW;
decltype(&::ShellExecuteA) ShellExecuteA = ::ShellExecuteA;

}  // namespace velko::seams
