#include "platform/component_file.h"

namespace velko::platform {

// The native test build is no component file: fixed facts, a version included,
// so that texts built from them show every part.
ComponentFileFacts ComponentFile() { return {u"VELKO.dll", u"1.0.0.0", sizeof(void*) == 8 ? u"x64" : u"x86"}; }

}  // namespace velko::platform
