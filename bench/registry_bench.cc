// CRegSettings against the raw open + query/set + close sequence on the same
// key of HKEY_CURRENT_USER. The object's readers read once into a buffer, as the
// raw sequence does; its writers open with RegCreateKeyExW, so one more row holds
// SaveString against the raw sequence that makes that same call: what is left
// there is the object's own cost.
#include <windows.h>

#include <string>

#include "bench/bench.h"
#include "settings/reg_settings.h"

namespace {

const wchar_t kPath[] = L"Software\\VELKOTest\\Bench\\s";
const wchar_t kText[] = L"C:\\Program Files\\Product\\Data";

// The key and its values exist for one row's run and are deleted after it.
class BenchKey {
 public:
  BenchKey() {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    ::RegSetValueExW(key, L"text", 0, REG_SZ, reinterpret_cast<const BYTE*>(kText), sizeof kText);
    const DWORD number = 1234;
    ::RegSetValueExW(key, L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ::RegCloseKey(key);
    settings.SetPath(u"Software\\VELKOTest\\Bench");
  }
  ~BenchKey() {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kPath);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VELKOTest\\Bench");
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VELKOTest");
  }
  velko::CRegSettings settings;
};

volatile size_t sink = 0;

void RawRead(const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  BYTE data[512];
  DWORD size = sizeof data;
  ::RegQueryValueExW(key, name, nullptr, nullptr, data, &size);
  sink = sink + size;
  ::RegCloseKey(key);
}

velko::bench::Result GetString() {
  BenchKey k;
  return velko::bench::Compare([&] { sink = sink + k.settings.GetString(u"s", u"text").size(); },
                               [] { RawRead(L"text"); });
}

void RawWrite(bool create) {
  HKEY key = nullptr;
  const LSTATUS rc =
      create ? ::RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
             : ::RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_ALL_ACCESS, &key);
  if (rc != ERROR_SUCCESS) return;
  ::RegSetValueExW(key, L"text", 0, REG_SZ, reinterpret_cast<const BYTE*>(kText), sizeof kText - sizeof(wchar_t));
  ::RegCloseKey(key);
}

velko::bench::Result SaveString() {
  BenchKey k;
  return velko::bench::Compare([&] { sink = sink + k.settings.SaveString(u"s", u"text", u"C:\\Program Files\\Product\\Data"); },
                               [] { RawWrite(false); });
}

velko::bench::Result SaveStringAgainstCreate() {
  BenchKey k;
  return velko::bench::Compare([&] { sink = sink + k.settings.SaveString(u"s", u"text", u"C:\\Program Files\\Product\\Data"); },
                               [] { RawWrite(true); });
}

velko::bench::Result GetDWord() {
  BenchKey k;
  return velko::bench::Compare([&] { sink = sink + k.settings.GetDWord(u"s", u"number"); },
                               [] { RawRead(L"number"); });
}

VELKO_BENCH_ROW("GetString vs RegOpenKeyExW+RegQueryValueExW+RegCloseKey", 1.10, GetString);
VELKO_BENCH_ROW("SaveString vs RegOpenKeyExW+RegSetValueExW+RegCloseKey", 1.10, SaveString);
VELKO_BENCH_ROW("GetDWord vs RegOpenKeyExW+RegQueryValueExW+RegCloseKey", 1.10, GetDWord);
VELKO_BENCH_ROW("SaveString vs the same Reg* with RegCreateKeyExW", 0, SaveStringAgainstCreate);

}  // namespace
