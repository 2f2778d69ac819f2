#!/usr/bin/env bash
# Registration and late binding from real hosts in the private Wine prefix:
#   hosts.sh <x86|x64> <build dir>
# regsvr32 registers the DLL with lasting keys. The VBScript host round-trips a
# property, sees an error's number and text and shows the About box in each
# locale that has a language library of its own or its language's (Austrian
# German, Hong Kong and Singapore Chinese) and in one that has none (Icelandic
# falls back to English); about_driver.exe copies the box with Ctrl+C, which must show
# that locale's library and font, and closes it. The JScript host round-trips
# too. regsvr32 /u removes every key and creation then fails with 429. A
# per-user install writes the user's classes only and its removal leaves them as
# they were; a host with an application manifest needs no registration.
set -uo pipefail
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
# A fresh prefix of its own (a copy of one booted and never run): the checks of
# what registration leaves compare keys that tests running beside this one may touch.
velko_fresh_prefix "$build/hosts-prefix" && export WINEPREFIX="$build/hosts-prefix"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { env LC_ALL="$loc" "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null | tr -d '\r'; }
exists() { "$root/scripts/wine-run.sh" "$arch" reg query "$1" >/dev/null 2>&1; }
loc=C.UTF-8
clsid='{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}'
# The type library's key is shared by both architectures: only its platform is this one's.
platform=$([ "$arch" = x86 ] && echo win32 || echo win64)
keys=("CLSID\\$clsid\\InprocServer32" VELKO.CProductInfo "TypeLib\\{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}\\1.0\\0\\$platform"
      'Interface\{024F49E9-03E8-4963-8DD4-3F4123E16E72}')
dll=$(winepath -w "$build/bin/VELKO.dll" 2>/dev/null)
host=$(winepath -w "$root/tests/e2e/about_host.vbs" 2>/dev/null)
version=$(sed -n 's/^#define VELKO_VERSION_COMMAS //p' "$build/src/component/gen/velko_version.h" | tr , .)
rule=---------------------------

run regsvr32 /s "$dll" || fail "regsvr32"
for k in "${keys[@]}"; do exists "HKCR\\$k" || fail "missing after registration: $k"; done
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /s | grep -qzE "REG_SZ    ${dll//\\/\\\\}
 +ThreadingModel +REG_SZ +Apartment" || fail "InprocServer32"
# A lasting key takes lasting subkeys; one that goes at the next start does not.
run reg add "HKCR\\CLSID\\$clsid\\InprocServer32\\lasting" /f >/dev/null || fail "the keys are volatile"

for case in "en_US|1033|1033|Tahoma, 8" "ja_JP|1041|1041|ＭＳ Ｐゴシック, 9" "ko_KR|1042|1042|굴림, 9" \
            "zh_TW|1028|1028|新細明體, 9" "zh_CN|2052|2052|宋体, 9" "de_AT|3079|3079|Tahoma, 8" \
            "zh_HK|3076|3076|Tahoma, 8" "zh_SG|4100|4100|Tahoma, 8" "is_IS|1039|1033|Tahoma, 8"; do
  IFS='|' read -r loc lcid library font <<<"$case"
  loc=$loc.UTF-8
  run cscript //nologo "$host" >"$build/tests/about-host.out" &
  host_pid=$!
  # The caption (line 2) is the library's own text, checked by the C++ host.
  copied=$(run "$build/tests/about_driver.exe" copy | sed -e 2d -e 's/^Computer: ..*$/Computer: (name)/')
  [ "$copied" = "$rule
$rule
Sample Product 1.2.3
Copyright (c) 2026 Sample Company
Sample support <http://sample.example/support>
$rule
File: VELKO.dll
File version: $version
Architecture: $arch
Language library: VELKORes$library.DLL
User locale: $lcid
Dialog font: $font pt
DPI: 96
Computer: (name)
$rule" ] || { fail "$loc: Ctrl+C copied:"; echo "$copied"; }
  run "$build/tests/about_driver.exe" close >/dev/null || fail "$loc: the box did not close on OK"
  wait "$host_pid"
  out=$(tr -d '\r' <"$build/tests/about-host.out")
  [ "${out#*$'\n'}" = "ShowAboutBox returned Boolean 0" ] || fail "$loc: $out"
  # Script engines give their texts in the user's language.
  [ "$lcid" != 1033 ] || [ "${out%%$'\n'*}" = "vbscript: Sample Product 1.2.3, 13 Type mismatch" ] || fail "$out"
done
loc=C.UTF-8
out=$(run cscript //nologo "$(winepath -w "$root/tests/e2e/roundtrip.js" 2>/dev/null)")
[ "$out" = "jscript: Widget 2.5, -2147352571" ] || fail "JScript host: $out"

run regsvr32 /s /u "$dll" || fail "regsvr32 /u"
for k in "${keys[@]}"; do ! exists "HKCR\\$k" || fail "left behind by unregistration: $k"; done
run regsvr32 /s /u "$dll" || fail "a second regsvr32 /u"
out=$(run cscript //nologo "$host")
[ "$out" = "CreateObject failed: 429" ] || fail "creation after unregistration: $out"

before=$(run reg query 'HKCU\Software\Classes' /s)
run regsvr32 /s /n /i:user "$dll" || fail "regsvr32 /n /i:user"
for k in "${keys[@]}"; do
  exists "HKCU\\Software\\Classes\\$k" || fail "per-user key missing: $k"
  ! exists "HKLM\\Software\\Classes\\$k" || fail "the per-user install wrote the machine's $k"
done
run regsvr32 /s /u /n /i:user "$dll" || fail "regsvr32 /u /n /i:user"
[ "$(run reg query 'HKCU\Software\Classes' /s)" = "$before" ] || fail "the user's classes differ after removal"

app="$build/tests/regfree"
rm -rf "$app"; mkdir -p "$app"
cp "$build"/bin/* "$build/examples/velko_host.exe" "$build/examples/velko_host.exe.manifest" "$app/"
[ "$(run "$app/velko_host.exe")" = "created: Contoso Draw 4.2" ] || fail "registration-free host"
rm "$app/velko_host.exe.manifest"
[ "$(run "$app/velko_host.exe")" = "VELKO.CProductInfo is not available: 0x800401f3" ] || fail "host without manifest"

wineserver -k
[ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX"
echo "hosts ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
