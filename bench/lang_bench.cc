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

namespace {

// The same text handed back as an owned string, as GetLangString must: what the
// allocation of the result costs under this heap, apart from the lookup.
velko::bench::Result LangStringOwned() {
  velko::LangSupport lang;
  lang.LoadLangLibrary(u"VELKORes");
  HMODULE raw = static_cast<HMODULE>(lang.hLangLib());
  volatile size_t sink = 0;
  auto r = velko::bench::Compare([&] { sink = sink + lang.GetLangString(14).size(); },
                                 [&] {
                                   wchar_t buffer[1024];
                                   const int n = ::LoadStringW(raw, 14, buffer, 1024);
                                   sink = sink + std::u16string(reinterpret_cast<char16_t*>(buffer), n).size();
                                 },
                                 2000);
  lang.FreeLangLibrary();
  return r;
}

VELKO_BENCH_ROW("GetLangString(14) vs LoadStringW + std::u16string", 0, LangStringOwned);

}  // namespace
