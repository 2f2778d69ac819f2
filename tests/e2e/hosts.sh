#!/usr/bin/env bash
# Registration and late binding from real hosts in the private Wine prefix:
#   hosts.sh <x86|x64> <build dir>
# regsvr32 registers the DLL with lasting keys (the box that hosts then show,
# in each locale, is about_languages.sh's). The example JScript host reads back
# what it set. A per-user install writes
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
run() { env LC_ALL=C.UTF-8 "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null | tr -d '\r'; }
orun() { "$root/scripts/wine-run.sh" "$other" "$@" 2>/dev/null | tr -d '\r'; }
reg64() { "$root/scripts/wine-run.sh" x64 reg "$@" 2>>"$errors"; }  # either view, with /reg:32 or /reg:64
exists() { reg64 query "$1" "/reg:${2:-$bits}" >/dev/null; }
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
