// The few system calls that tests must break or watch.
//
// The product makes each of these calls through the pointer here, which points
// at the real function from the start. A test swaps one pointer for the length
// of a case, to produce a failure or a setting the system will not produce on
// demand (an open refused with 5, an enumeration that stops part-way, a
// high-contrast theme, which Wine cannot turn on) or to see an argument
// whose effect the system hides (a null versus an empty folder), and puts it
// back. Every other system call is made directly.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace velko::seams {

extern decltype(&::LoadLibraryExW) LoadLibraryExW;
extern decltype(&::RegConnectRegistryW) RegConnectRegistryW;
extern decltype(&::RegOpenKeyExW) RegOpenKeyExW;
extern decltype(&::RegCreateKeyExW) RegCreateKeyExW;
extern decltype(&::RegQueryValueExW) RegQueryValueExW;
extern decltype(&::RegEnumValueW) RegEnumValueW;
extern decltype(&::RegCloseKey) RegCloseKey;
extern decltype(&::GetComputerNameW) GetComputerNameW;
extern decltype(&::ShellExecuteA) ShellExecuteA;
extern decltype(&::SystemParametersInfoW) SystemParametersInfoW;

}  // namespace velko::seams
