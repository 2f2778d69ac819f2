#include "platform/portable/fake_file_attributes.h"

namespace velko::platform {

bool FakeFileAttributeApi::SetAttributes(const std::u16string& path, uint32_t attributes) {
  calls.emplace_back(path, attributes);
  auto it = files.find(path);
  if (it == files.end() || refuses) return false;
  it->second = attributes;
  return true;
}

FileAttributeApi& DefaultFileAttributeApi() {
  static FakeFileAttributeApi api;
  return api;
}

}  // namespace velko::platform
