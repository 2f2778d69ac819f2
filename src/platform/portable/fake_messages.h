// Stand-in for the message tables: texts keyed by code, one table for the system
// and one for the network library, with counts of what is left open.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace velko::platform {

class FakeMessageApi final : public MessageApi {
 public:
  std::map<uint32_t, std::u16string> system_table;
  std::map<uint32_t, std::u16string> network_table;
  bool network_library_present = true;

  // Observations.
  std::vector<std::u16string> loaded_names;
  std::vector<uint32_t> format_flags;
  std::vector<uint32_t> format_languages;
  int open_modules = 0;
  int open_buffers = 0;

  ModuleHandle LoadLibraryAsDatafile(const std::u16string& name) override;
  void FreeLibrary(ModuleHandle module) override;
  char16_t* FormatMessageAlloc(uint32_t flags, ModuleHandle source, uint32_t code, uint32_t language) override;
  void LocalFree(char16_t* buffer) override;
};

}  // namespace velko::platform
