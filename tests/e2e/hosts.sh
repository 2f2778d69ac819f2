#!/usr/bin/env bash
# Registration and late binding from real hosts in the private Wine prefix:
#   hosts.sh <x86|x64> <build dir>
# regsvr32 registers the DLL with lasting keys. The demo's VBScript host shows
# the About box in each locale that has a language library of its own or its
# language's (Austrian German, Hong Kong and Singapore Chinese) and in one that
# has none (Icelandic falls back to English); about_driver.exe copies the box
# with Ctrl+C, which must show that locale's library and font, and closes it.
# The example JScript host reads back what it set. A per-user install writes
# the user's classes only, and a machine-wide
# registration beside it leaves them alone. The other architecture's build is
# registered beside this one (for real where it runs, else as its keys in its
# registry view): regsvr32 /u of either leaves the other's keys, and its host,
# working, and removing both leaves no key. The per-user removal keeps the other's
# type library entry, and then leaves the user's classes as they were; a host with
# an application manifest needs no registration.
set -uo pipefail
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh" && velko_session
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
# A fresh prefix of its own (a copy of one booted and never run): the checks of
# what registration leaves compare keys that tests running beside this one may touch.
velko_fresh_prefix "$build/hosts-prefix" && export WINEPREFIX="$build/hosts-prefix"
# One server for the whole script, as the package test keeps one: otherwise each
# program starts a server that goes 5 s after its last client, and on a busy
# machine the next program can start while that server is saving the registry
# and going; a reg query that then fails reads as a key that is missing. It ends
# with this script, also when a time limit ends the script.
velko_server
failures=0
fail() { echo "FAIL: $*"; echo "$(date '+%F %T') $*" >>"$build/failures-hosts.log"; failures=$((failures + 1)); }
# What reg.exe wrote to its error output since the last call of this, for a failure's text.
errors="$build/tests/hosts-reg.err"; : >"$errors"
said() { local text; text=$(tr -d '\r' <"$errors" | paste -sd' '); : >"$errors"; echo "${text:+ (reg said: $text)}"; }
run() { env LC_ALL="$loc" "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null | tr -d '\r'; }
orun() { "$root/scripts/wine-run.sh" "$other" "$@" 2>/dev/null | tr -d '\r'; }
reg64() { "$root/scripts/wine-run.sh" x64 reg "$@" 2>>"$errors"; }  # either view, with /reg:32 or /reg:64
exists() { reg64 query "$1" "/reg:${2:-$bits}" >/dev/null; }
loc=C.UTF-8
clsid='{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}' libid='{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}' iid='{024F49E9-03E8-4963-8DD4-3F4123E16E72}'
bits=64 other=x86 obits=32; [ "$arch" = x86 ] && bits=32 other=x64 obits=64
keys=("CLSID\\$clsid\\InprocServer32" VELKO.CProductInfo "TypeLib\\$libid\\1.0\\0\\win$bits" "Interface\\$iid")
# A registration as registry view $1 shows it, without platform $2's entry of the
# shared type library key.
view() { for k in "CLSID\\$clsid" VELKO.CProductInfo "TypeLib\\$libid" "Interface\\$iid"; do
    reg64 export "HKCR\\$k" 'C:\k.reg' /y "/reg:$1" >/dev/null && iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/k.reg"
  done | drop="\\0\\${2:-}]" awk 'index($0, ENVIRON["drop"]) { skip = 1; next } /^\[/ { skip = 0 } !skip'; }
dll=$(winepath -w "$build/bin/VELKO.dll" 2>/dev/null)
other_dll=$(winepath -w "$(dirname "$build")/mingw-$other/bin/VELKO.dll" 2>/dev/null)
js=$(winepath -w "$root/examples/jscript/host.js" 2>/dev/null); jsout="created: Contoso Draw 4.2"
host=$(winepath -w "$root/examples/demo.vbs" 2>/dev/null)
version=$(sed -n 's/^#define VELKO_VERSION_COMMAS //p' "$build/src/component/gen/velko_version.h" | tr , .)
rule=---------------------------

# The user's class containers, which other software shares, are there before and stay after.
for c in CLSID TypeLib Interface; do reg64 add "HKCU\\Software\\Classes\\$c" /f >/dev/null; done
before=$(run reg query 'HKCU\Software\Classes' /s)
run regsvr32 /s /n /i:user "$dll" || fail "regsvr32 /n /i:user"
for k in "${keys[@]}"; do
  said >/dev/null; exists "HKCU\\Software\\Classes\\$k" || fail "per-user: $k is not in the user's classes$(said)"
  ! exists "HKLM\\Software\\Classes\\$k" || fail "per-user: $k is in the machine's classes too"
done
# Wine keeps one view of the user's classes: of the other architecture's per-user
# registration only its type library entry is a key of its own there.
usertl="HKCU\\Software\\Classes\\TypeLib\\$libid\\1.0\\0\\win$obits"; reg64 add "$usertl" /ve /d "$other_dll" /f >/dev/null
user=$(run reg query 'HKCU\Software\Classes' /s)
run regsvr32 /s "$dll" || fail "regsvr32"
[ "$(run reg query 'HKCU\Software\Classes' /s)" = "$user" ] || fail "the machine-wide registration changed the user's classes"
# A lasting key takes lasting subkeys; one that goes at the next start does not.
run reg add "HKCR\\CLSID\\$clsid\\InprocServer32\\lasting" /f >/dev/null || fail "the keys are volatile"

# Locale, its identifier, its library's, its dialog font, and False as VBScript
# writes it there (in the console's code page).
cases=("en_US|1033|1033|Tahoma, 8|False" "ja_JP|1041|1041|ＭＳ Ｐゴシック, 9|False" "ko_KR|1042|1042|굴림, 9|거짓|CP949"
       "zh_TW|1028|1028|新細明體, 9|假|BIG5" "zh_CN|2052|2052|宋体, 9|假|GBK" "de_AT|3079|3079|Tahoma, 8|Falsch"
       "zh_HK|3076|3076|Tahoma, 8|False" "zh_SG|4100|4100|Tahoma, 8|False" "is_IS|1039|1033|Tahoma, 8|False")
# In the emulated x86 machine, where each Wine process costs seconds: a Latin, a CJK and a fallback locale.
[ "${VELKO_EMULATED:-}" != 1 ] || cases=("${cases[0]}" "${cases[2]}" "${cases[8]}")
for case in "${cases[@]}"; do
  IFS='|' read -r loc lcid library font false codepage <<<"$case"
  loc=$loc.UTF-8
  # What the host writes to its error output goes into a failure's text.
  env LC_ALL="$loc" "$root/scripts/wine-run.sh" "$arch" cscript //nologo "$host" >"$build/tests/about-host.out" \
    2>"$build/tests/about-host.err" &
  host_pid=$!
  # The caption (line 2) is the library's own text, checked by the C++ host.
  copied=$(run "$build/tests/about_driver.exe" copy | sed -e 2d -e 's/^Computer: ..*$/Computer: (name)/')
  [ "$copied" = "$rule
$rule
Contoso Draw 4.2.1
Copyright (c) 2026 Contoso Ltd.
Contoso support and downloads <https://contoso.example/support>
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
  # The driver ends a host whose box stays; one whose box never came goes with the prefix's programs.
  for _ in $(seq 1 $((300 * ${VELKO_TIME_FACTOR:-1}))); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$host_pid" 2>/dev/null && { fail "$loc: the host did not end"; wineserver -k; velko_server; }
  wait "$host_pid"; host_rc=$?
  out=$(tr -d '\r' <"$build/tests/about-host.out")
  [ "$out" = "ShowAboutBox returned $(iconv -f UTF-8 -t "${codepage:-UTF-8}" <<<"$false")" ] ||
    fail "$loc: the host ended with $host_rc and wrote '$out'; errors: $(tail -n 6 "$build/tests/about-host.err" | tr -d '\r' | paste -sd' ')"
  # The real box's face and size, and its character set, which Ctrl+C does not copy.
  run "$build/tests/about_e2e_tests.exe" --gtest_filter='AboutBoxFont.*' --gtest_brief=1 || fail "$loc: the box's font"
done
loc=C.UTF-8
# The example JScript host, after regsvr32 /u of a second copy in another folder,
# which leaves this registration alone.
copy="$build/tests/copy"; mkdir -p "$copy" && cp "$build/bin/VELKO.dll" "$copy/" && run regsvr32 /s /u "$(winepath -w "$copy/VELKO.dll" 2>/dev/null)"
[ "$(run cscript //nologo "$js")" = "$jsout" ] || fail "regsvr32 /u of a second copy unregistered this one"; rm -rf "$copy"

# The other build beside this one, or where it cannot run its keys: this registration's
# with its DLL and platform, in its view.
if [ "$other" = x64 ] || velko_wine32_present; then orun regsvr32 /s "$other_dll"
else view 64 | sed -e 's/mingw-x64/mingw-x86/g' -e 's/\\win64]/\\win32]/' | awk 'NR == 1 || !/^Windows Registry/' |
  iconv -t UTF-16 >"$WINEPREFIX/drive_c/o.reg" && reg64 import 'C:\o.reg' /reg:32; fi || fail "registering $other"
theirs=$(view $obits win$bits; reg64 query 'HKCR\VELKO.CProductInfo' /reg:$bits)
run regsvr32 /s /u "$dll" || fail "regsvr32 /u"
gone=("CLSID\\$clsid" "TypeLib\\$libid\\1.0\\0\\win$bits"); [ "$arch" = x64 ] && gone+=("Interface\\$iid")
for k in "${gone[@]}"; do ! exists "HKCR\\$k" || fail "left behind by unregistration: $k"; done
# The ProgID stays in this view too: on Windows it is the other's as well.
after=$(view $obits win$bits; reg64 query 'HKCR\VELKO.CProductInfo' /reg:$bits); [ "$after" = "$theirs" ] || fail "$other's keys changed"
if [ "$other" = x64 ] || velko_wine32_present; then
  [ "$(orun cscript //nologo "$js")" = "$jsout" ] && orun regsvr32 /s /u "$other_dll" || fail "$other after unregistration"
else for k in "CLSID\\$clsid" "TypeLib\\$libid\\1.0\\0\\win32"; do reg64 delete "HKCR\\$k" /f /reg:32 >/dev/null; done; fi
run regsvr32 /s /u "$dll" || fail "regsvr32 /u after $other's"
left=$(view 32; view 64); [ -z "$left" ] || { fail "left behind by unregistration:"; echo "$left"; }
run regsvr32 /s /u /n /i:user "$dll" || fail "regsvr32 /u /n /i:user"
reg64 delete "$usertl" /f >/dev/null && run regsvr32 /s /u /n /i:user "$dll" || fail "the per-user removal took $other's entry"
[ "$(run reg query 'HKCU\Software\Classes' /s)" = "$before" ] || fail "the user's classes differ after removal"

app="$build/tests/regfree"; rm -rf "$app"; mkdir -p "$app"
cp "$build"/bin/* "$build/examples/velko_host.exe" "$build/examples/velko_host.exe.manifest" "$app/"
[ "$(run "$app/velko_host.exe")" = "created: Contoso Draw 4.2" ] || fail "registration-free host"
rm "$app/velko_host.exe.manifest"
[ "$(run "$app/velko_host.exe")" = "VELKO.CProductInfo is not available: 0x800401f3" ] || fail "host without manifest"

wineserver -k
[ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX"
echo "hosts ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
