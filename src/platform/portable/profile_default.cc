#include "platform/portable/profile_file.h"

namespace velko::platform {

ProfileApi& DefaultProfileApi() {
  static ProfileFileApi api;
  return api;
}

}  // namespace velko::platform
