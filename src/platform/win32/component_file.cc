#include "platform/component_file.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/own_module.h"
#include "platform/win32/system_function.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

std::u16string FileVersion(const std::u16string& path) {
  // version.dll only for this: the facts are read when a user copies the box's
  // text, so the DLL does not import it and a box that is only shown never loads it.
  const UniqueHModule version(LoadSystemLibrary(L"version.dll"));
  const auto size_of = SystemFunction<decltype(&::GetFileVersionInfoSizeW)>(version.get(), "GetFileVersionInfoSizeW");
  const auto read = SystemFunction<decltype(&::GetFileVersionInfoW)>(version.get(), "GetFileVersionInfoW");
  const auto query = SystemFunction<decltype(&::VerQueryValueW)>(version.get(), "VerQueryValueW");
  if (!size_of || !read || !query) return {};
  DWORD ignored = 0;
  // Without a version resource the size is 0, and the read below refuses it.
  const DWORD size = size_of(AsWide(path), &ignored);
  std::vector<BYTE> block(size);
  if (!read(AsWide(path), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!query(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed)
    return {};
  const DWORD parts[] = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                         HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
  std::string text;
  for (DWORD part : parts) text += (text.empty() ? "" : ".") + std::to_string(part);
  return FromUtf8(text);
}

}  // namespace

ComponentFileFacts ComponentFile() {
  ComponentFileFacts facts;
  facts.architecture = sizeof(void*) == 8 ? u"x64" : u"x86";
  const std::u16string path = OwnModulePath();
  if (path.empty()) return facts;
  facts.name = path.substr(path.find_last_of(u"\\/") + 1);  // npos + 1 is 0: no folder at all
  facts.version = FileVersion(path);
  return facts;
}

}  // namespace velko::platform
