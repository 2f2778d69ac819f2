#!/usr/bin/env bash
# End-to-end from real hosts in the private Wine prefix:
#   hosts.sh <x86|x64> <build dir>
# regsvr32 registers the DLL; VBScript and JScript hosts round-trip every property;
# a C++ host shows which language library each locale picks; regsvr32 /u removes
# every key again and creation then fails with 429.
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
here="$root/tests/e2e"
run() { "$root/scripts/wine-run.sh" "$arch" "$@"; }
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
win() { winepath -w "$1" 2>/dev/null; }
clsid='{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}'
libid='{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}'
iid='{024F49E9-03E8-4963-8DD4-3F4123E16E72}'
dll="$build/bin/VELKO.dll"
keys=("HKCR\\CLSID\\$clsid" "HKCR\\VELKO.CProductInfo" "HKCR\\TypeLib\\$libid" "HKCR\\Interface\\$iid")
query() { run reg query "$@" 2>/dev/null | tr -d '\r'; }
exists() { run reg query "$1" >/dev/null 2>&1; }

# The prefix is shared: start from no registration at all (another run or the
# other architecture may have left one).
for k in "${keys[@]}"; do run reg delete "$k" /f >/dev/null 2>&1; done
run regsvr32 /s "$(win "$dll")" || fail "regsvr32 exit $?"
server=$(query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | awk -F'REG_SZ' '/REG_SZ/{gsub(/^ +/,"",$2); print $2}')
[ "$server" = "$(win "$dll")" ] || fail "InprocServer32 is '$server'"
query "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel | grep -q 'REG_SZ *Apartment' || fail "ThreadingModel"
query "HKCR\\VELKO.CProductInfo\\CLSID" /ve | grep -qi "$clsid" || fail "ProgID CLSID"
for k in "${keys[@]}"; do exists "$k" || fail "missing after registration: $k"; done

# Wine's script host ends silently on an uncaught script error, so a host passes
# only when it reaches its own summary line.
for script in roundtrip.vbs:vbscript roundtrip.js:jscript; do
  out=$(run cscript "$(win "$here/${script%%:*}")" | tr -d '\r')
  echo "$out"
  grep -qx "${script##*:}: 0 failure(s)" <<<"$out" || fail "${script%%:*} did not pass"
done

# The example hosts, against the machine-wide registration.
for example in "cscript $(win "$root/examples/vbscript/host.vbs")" "cscript $(win "$root/examples/jscript/host.js")" \
               "$build/examples/velko_host.exe"; do
  out=$(run $example | tr -d '\r')
  [ "$out" = "created: Contoso Draw 4.2" ] || fail "example $example: '$out'"
done

probe="$build/tests/locale_probe.exe"
for pair in en_US.UTF-8:1033:VELKORes1033.DLL ja_JP.UTF-8:1041:VELKORes1041.DLL de_AT.UTF-8:3079:VELKORes3079.DLL \
            zh_HK.UTF-8:3076:VELKORes3076.DLL zh_SG.UTF-8:4100:VELKORes4100.DLL is_IS.UTF-8:1039:VELKORes1033.DLL; do
  IFS=: read -r loc lcid file <<<"$pair"
  got=$(env LC_ALL=$loc "$root/scripts/wine-run.sh" "$arch" "$probe" 2>/dev/null | tr -d '\r')
  [ "$got" = "$lcid $file" ] || fail "locale $loc: got '$got', want '$lcid $file'"
done

run regsvr32 /s /u "$(win "$dll")" || fail "regsvr32 /u exit $?"
for k in "${keys[@]}"; do ! exists "$k" || fail "left behind by unregistration: $k"; done
run regsvr32 /s /u "$(win "$dll")" || fail "a second regsvr32 /u fails"
created=$(run cscript "$(win "$here/create.vbs")" | tr -d '\r')
[ "$created" = "create: 429" ] || fail "after unregistration: '$created'"

echo "hosts ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
