#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide.h"

namespace velko::platform {
namespace {

const char* Pointer(const AnsiArg& arg) { return arg ? arg->c_str() : nullptr; }

class Win32ShellApi final : public ShellApi {
 public:
  std::string ToAnsi(std::u16string_view text) override {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), bytes, nullptr, nullptr);
    return out;
  }

  intptr_t ShellExecuteA(WindowHandle hwnd, const AnsiArg& verb, const AnsiArg& file, const AnsiArg& parameters,
                         const AnsiArg& directory, int32_t show) override {
    HINSTANCE result = ::ShellExecuteA(static_cast<HWND>(hwnd), Pointer(verb), Pointer(file), Pointer(parameters),
                                       Pointer(directory), show);
    return reinterpret_cast<intptr_t>(result);
  }
};

// Stateless and constant-initialized when the DLL loads, so first use from
// several apartment threads at once needs no guard.
constinit Win32ShellApi g_api;

}  // namespace

ShellApi& DefaultShellApi() { return g_api; }

}  // namespace velko::platform
