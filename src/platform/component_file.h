// The file that holds the component's code, as a support person asks about it.
#pragma once

#include <string>

namespace velko::platform {

struct ComponentFileFacts {
  std::u16string name;          // the file name without its folder ("VELKO.dll"); empty when unknown
  std::u16string version;       // FILEVERSION of its version resource as "a.b.c.d"; empty when it has none
  std::u16string architecture;  // what the code is built for: "x86" or "x64"
};

// The build's answer: the facts of the module's own file on Windows (of the test
// program when this is linked into one), fixed facts of the stand-in natively.
ComponentFileFacts ComponentFile();

}  // namespace velko::platform
