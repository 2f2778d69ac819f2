// GetLangString with the library loaded, against a raw LoadStringW of the same
// text, and against LoadStringW plus the owned string GetLangString must return.
#include <windows.h>

#include <string>

#include "bench/bench.h"
#include "localization/lang_support.h"

namespace {

constexpr UINT kText = 14;

template <typename Yardstick>
velko::bench::Result AgainstLoadString(Yardstick yardstick) {
  velko::LangSupport lang;
  lang.LoadLangLibrary(u"VELKORes");
  HMODULE raw = static_cast<HMODULE>(lang.hLangLib());
  volatile size_t sink = 0;
  auto r = velko::bench::Compare([&] { sink = sink + lang.GetLangString(kText).size(); },
                                 [&] { sink = sink + yardstick(raw); }, 2000);
  lang.FreeLangLibrary();
  return r;
}

velko::bench::Result Raw() {
  return AgainstLoadString([](HMODULE raw) {
    wchar_t buffer[1024];
    return static_cast<size_t>(::LoadStringW(raw, kText, buffer, 1024));
  });
}

// What the allocation of the result costs under this heap, apart from the lookup.
velko::bench::Result Owned() {
  return AgainstLoadString([](HMODULE raw) {
    wchar_t buffer[1024];
    const int n = ::LoadStringW(raw, kText, buffer, 1024);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n).size();
  });
}

VELKO_BENCH_ROW("GetLangString(14) vs LoadStringW", 1.10, Raw);
VELKO_BENCH_ROW("GetLangString(14) vs LoadStringW + std::u16string", 0, Owned);

}  // namespace
