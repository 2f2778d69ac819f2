// The file that holds the component's code, as a support person asks about it.
#pragma once

#include <string>

namespace velko::platform {

struct ComponentFileFacts {
  std::u16string name;          // the file name without its folder ("VELKO.dll"); empty when unknown
  std::u16string version;       // FILEVERSION of its version resource as "a.b.c.d"; empty when it has none
  std::u16string architecture;  // what the code is built for: "x86" or "x64"
};

// The facts of the module's own file: VELKO.dll's, or the test program's when
// this is linked into one.
ComponentFileFacts ComponentFile();

}  // namespace velko::platform
