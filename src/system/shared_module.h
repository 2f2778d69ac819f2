// The component's shared helpers: the computer's name and file attributes. Both
// report nothing when the system call fails.
#pragma once

#include <cstdint>
#include <string>


namespace velko {

// The computer's NetBIOS name without trailing spaces, or "(unknown)" when the
// system cannot give it; never "".
std::u16string GetLocalComputerName();

// Sets the FILE_ATTRIBUTE_ bits of `path` as given. A missing file or a refused
// change leaves the file as it was, silently.
void SetFileAttr(const std::u16string& path, uint32_t attributes);

}  // namespace velko
