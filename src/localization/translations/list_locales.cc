// list_locales.exe: writes locales.tsv, the locales that get a language library.
// Run in this folder under Wine (or on Windows); the language files are the
// *.po files here, named by language tag (de, pt-BR, sr-Latn, zh-Hant ...):
//   cmake --build --preset mingw-x64 --target velko_locales
//
// A locale belongs to a language file when its name is the tag, starts with the
// tag and "-", or has the tag as its parent (zh-HK's parent is zh-Hant). Only
// locales with an identifier of their own count: those Windows gives the
// placeholder LOCALE_CUSTOM_UNSPECIFIED, and sort orders above 0xFFFF, cannot
// name a library. es-ES_tradnl (1034) is listed among the alternate sorts.
// Windows still reports Serbian (Latin, Serbia and Montenegro, former), 2074
// sr-Latn-CS, which Wine's table lacks; it is added to what the table lists, so
// that users with that locale get their own library on Windows.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> g_tags;
std::map<LCID, std::wstring> g_rows;  // sorted by identifier

bool Belongs(const std::wstring& name, const std::wstring& parent, const std::wstring& tag) {
  return name == tag || name.rfind(tag + L"-", 0) == 0 || parent == tag;
}

void Take(LCID lcid, const std::wstring& name, const std::wstring& parent) {
  for (const std::wstring& tag : g_tags)
    if (Belongs(name, parent, tag)) {
      g_rows[lcid] = name + L"\t" + tag;
      break;
    }
}

BOOL CALLBACK TakeLocale(LPWSTR name, DWORD, LPARAM) {
  const LCID lcid = ::LocaleNameToLCID(name, 0);
  if (lcid == 0 || lcid == LOCALE_CUSTOM_UNSPECIFIED || lcid > 0xFFFF) return TRUE;
  wchar_t parent[LOCALE_NAME_MAX_LENGTH] = L"";
  ::GetLocaleInfoEx(name, LOCALE_SPARENT, parent, LOCALE_NAME_MAX_LENGTH);
  Take(lcid, name, parent);
  return TRUE;
}

}  // namespace

int main() {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(L"*.po", &found);
  if (search == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "list_locales: no *.po file in the current folder\n");
    return 1;
  }
  do {
    std::wstring file = found.cFileName;
    g_tags.push_back(file.substr(0, file.size() - 3));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);

  ::EnumSystemLocalesEx(TakeLocale, LOCALE_SPECIFICDATA | LOCALE_ALTERNATE_SORTS, 0, nullptr);
  Take(0x081A, L"sr-Latn-CS", L"sr-Latn");  // retired, missing from Wine's table
  FILE* out = std::fopen("locales.tsv", "wb");
  if (!out) return 1;
  std::fprintf(out,
               "# lcid\tlocale\tlanguage file (.po); written by list_locales.cc from Wine's locale table "
               "(EnumSystemLocalesEx, LocaleNameToLCID) and the retired 2074 sr-Latn-CS\n");
  for (const auto& [lcid, row] : g_rows) std::fprintf(out, "%lu\t%ls\n", lcid, row.c_str());
  std::fclose(out);
  std::printf("%zu locales\n", g_rows.size());
  return 0;
}
