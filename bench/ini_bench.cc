// ReadINIValue against a raw GetPrivateProfileStringW of the same key in the
// same file, with the same buffer size.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "bench/bench.h"
#include "system/api_ini.h"

namespace {

velko::bench::Result IniRead() {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "velko-bench.ini";
  std::ofstream(path, std::ios::binary) << "[Settings]\r\nFirst=1\r\nName=A value of a usual length\r\nLast=2\r\n";
  const std::u16string file = path.u16string();
  const velko::IniString section = u"Settings", key = u"Name", fallback = u"", file_name = file;
  const auto* raw_file = reinterpret_cast<LPCWSTR>(file.c_str());
  volatile size_t sink = 0;
  auto r = velko::bench::Compare([&] { sink = sink + velko::ReadINIValue(section, key, fallback, file_name).size(); },
                                 [&] {
                                   wchar_t buffer[4096];
                                   sink = sink + ::GetPrivateProfileStringW(L"Settings", L"Name", L"", buffer, 4096,
                                                                            raw_file);
                                 },
                                 // One call is tens of microseconds of file work inside the system, whose
                                 // time wanders by several percent: many short samples give a steady median.
                                 20, 301);
  std::filesystem::remove(path);
  return r;
}

VELKO_BENCH_ROW("ReadINIValue vs GetPrivateProfileStringW", 1.05, IniRead);

}  // namespace
