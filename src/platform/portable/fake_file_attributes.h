// Stand-in for file attributes: a table of files and their attribute bits, and
// every call that was made.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_attributes.h"

namespace velko::platform {

class FakeFileAttributeApi final : public FileAttributeApi {
 public:
  std::map<std::u16string, uint32_t> files;  // by path, exactly as given
  bool refuses = false;                      // an existing file that will not change

  // Observations.
  std::vector<std::pair<std::u16string, uint32_t>> calls;

  bool SetAttributes(const std::u16string& path, uint32_t attributes) override;
};

}  // namespace velko::platform
