#!/usr/bin/env bash
# The product folder holds VELKO.dll and its language libraries, ready to copy:
# the DLL imports system DLLs only and exports the COM entry points; each language
# library is resource-only (no entry point, no imports).
#   product_files.sh <x86|x64> <build dir>
set -u
arch=$1; bin=$2/bin
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

for lcid in 1033 1041 1042 1028 2052; do
  lib="$bin/VELKORes$lcid.DLL"
  [ -f "$lib" ] || { fail "missing $lib"; continue; }
  $objdump -p "$lib" | grep -q 'DLL Name:' && fail "VELKORes$lcid.DLL imports code"
  $objdump -p "$lib" | grep -Eq 'AddressOfEntryPoint\s+0+$' || fail "VELKORes$lcid.DLL has an entry point"
done
extra=$(ls "$bin" | grep -vE '^(VELKO\.dll|VELKORes[0-9]+\.DLL)$' || true)
[ -z "$extra" ] || echo "note: also in bin: $extra"
echo "product files ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
