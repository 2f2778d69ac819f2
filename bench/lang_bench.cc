// GetLangString with the library loaded against a raw LoadStringW of the same text.
#include <windows.h>

#include "bench/bench.h"
#include "localization/lang_support.h"

namespace {

velko::bench::Result LangString() {
  velko::LangSupport lang;
  lang.LoadLangLibrary(u"VELKORes");
  HMODULE raw = static_cast<HMODULE>(lang.hLangLib());
  volatile size_t sink = 0;
  auto r = velko::bench::Compare([&] { sink = sink + lang.GetLangString(14).size(); },
                                 [&] {
                                   wchar_t buffer[1024];
                                   sink = sink + ::LoadStringW(raw, 14, buffer, 1024);
                                 },
                                 2000);
  lang.FreeLangLibrary();
  return r;
}

VELKO_BENCH_ROW("GetLangString(14) vs LoadStringW", 1.10, LangString);

}  // namespace
