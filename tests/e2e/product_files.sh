#!/usr/bin/env bash
# The product folder holds VELKO.dll and its language libraries, ready to copy:
# the DLL imports system DLLs only and exports the COM entry points; each language
# library is resource-only (no entry point, no imports) and translated.
#   product_files.sh <x86|x64> <build dir>
set -u
arch=$1; bin=$2/bin
root=$(cd "$(dirname "$0")/../.." && pwd)
objdump=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

system='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|OLE32|OLEAUT32|COMCTL32|COMDLG32|SHLWAPI|VERSION|MSVCRT|UXTHEME|PSAPI)\.DLL$'
imports=$($objdump -p "$bin/VELKO.dll" | awk '/DLL Name:/ {print toupper($3)}')
echo "VELKO.dll imports:" $imports
for dll in $imports; do [[ $dll =~ $system ]] || fail "VELKO.dll imports $dll"; done
exports=$($objdump -p "$bin/VELKO.dll" | awk '/\[ *[0-9]+\] [A-Za-z]/ {print $NF}' | sort | tr '\n' ' ')
for e in DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer; do
  [[ " $exports " == *" $e "* ]] || fail "VELKO.dll does not export $e"
done
$objdump -h "$bin/VELKO.dll" | grep -q '\.rsrc' || fail "VELKO.dll has no resources"
echo "VELKO.dll: $(stat -c %s "$bin/VELKO.dll") bytes"

# Language libraries: exactly the locales that locales.tsv lists, resource-only,
# each holding texts 2 (with "%1"), 12, 14 and 44, and 2, 14 and 44 translated
# unless English. One objdump for all of them: a process costs more than the check.
listed=$(grep -E '^[0-9]' "$root/src/localization/translations/locales.tsv")
[ "$(cut -f1 <<<"$listed" | sort -n)" = "$(ls "$bin" | sed -n 's/^VELKORes\([0-9]*\)\.DLL$/\1/p' | sort -n)" ] ||
  fail "the VELKORes<LCID>.DLL files in bin are not the locales of locales.tsv"
while read -r problem; do fail "$problem"; done < <($objdump -p "$bin"/VELKORes*.DLL |
  awk '/file format/ {f = $1; sub(":", "", f)} /DLL Name:/ {print f " imports code"} /AddressOfEntryPoint/ && $2 !~ /^0+$/ {print f " has an entry point"}')
declare -A text
while IFS=$'\t' read -r lcid name language; do
  while IFS= read -r line; do
    [[ $line =~ ^\ \ ([0-9]+),\ (.*)$ ]] && text[$lcid.${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
  done < <(${objdump%objdump}windres -i "$bin/VELKORes$lcid.DLL" -O rc)
done <<<"$listed"
while IFS=$'\t' read -r lcid name language; do
  lib="VELKORes$lcid.DLL ($name)"
  [[ ${text[$lcid.2]-} == *%1* ]] || fail "$lib: text 2 has no %1"
  for id in 2 12 14 44; do
    [[ ${text[$lcid.$id]-} =~ ^L?\".+\"$ ]] || fail "$lib: text $id is missing or empty"
    [ "$language" = en ] || [ "$id" = 12 ] || [ "${text[$lcid.$id]-}" != "${text[1033.$id]-}" ] || fail "$lib: text $id is English"
  done
done <<<"$listed"
extra=$(ls "$bin" | grep -vE '^(VELKO\.dll|VELKORes[0-9]+\.DLL)$' || true)
[ -z "$extra" ] || echo "note: also in bin: $extra"
echo "product files ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
