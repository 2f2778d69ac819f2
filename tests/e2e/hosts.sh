#!/usr/bin/env bash
# Registration and late binding from real hosts in the private Wine prefix:
#   hosts.sh <x86|x64> <build dir>
# regsvr32 registers the DLL (lasting keys), the VBScript and JScript hosts and
# the examples use it, regsvr32 /u removes every key and creation then fails with
# 429; a per-user install writes the user's classes only and its removal leaves
# them as they were; a host with an application manifest needs no registration.
set -uo pipefail
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null | tr -d '\r'; }
exists() { "$root/scripts/wine-run.sh" "$arch" reg query "$1" >/dev/null 2>&1; }
win() { winepath -w "$1" 2>/dev/null; }
clsid='{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}'
keys=("CLSID\\$clsid\\InprocServer32" VELKO.CProductInfo 'TypeLib\{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}\1.0'
      'Interface\{024F49E9-03E8-4963-8DD4-3F4123E16E72}')
dll=$(win "$build/bin/VELKO.dll")
vbs=$(win "$root/tests/e2e/roundtrip.vbs")

run regsvr32 /s /u "$dll"  # the prefix is shared: start from no registration
run regsvr32 /s "$dll" || fail "regsvr32"
for k in "${keys[@]}"; do exists "HKCR\\$k" || fail "missing after registration: $k"; done
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | grep -qF "REG_SZ    $dll" || fail "InprocServer32"
run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel | grep -q 'REG_SZ *Apartment$' ||
  fail "ThreadingModel"
run reg query 'HKCR\VELKO.CProductInfo\CLSID' /ve | grep -qF "$clsid" || fail "ProgID CLSID"
# A lasting key takes lasting subkeys; one that goes at the next start does not.
run reg add "HKCR\\CLSID\\$clsid\\InprocServer32\\lasting" /f >/dev/null || fail "the keys are volatile"

# Wine's script host ends silently on an uncaught script error, so a host passes
# only when it prints what it must.
out=$(run cscript //nologo "$vbs"); echo "$out"
[ "$out" = "vbscript: Widget 2.5, 13 Type mismatch" ] || fail "VBScript host"
out=$(run cscript //nologo "$(win "$root/tests/e2e/roundtrip.js")"); echo "$out"
[ "$out" = "jscript: Widget 2.5, -2147352571" ] || fail "JScript host"
for example in "cscript //nologo $(win "$root/examples/vbscript/host.vbs")" \
               "cscript //nologo $(win "$root/examples/jscript/host.js")" "$build/examples/velko_host.exe"; do
  [ "$(run $example)" = "created: Contoso Draw 4.2" ] || fail "example $example"
done

run regsvr32 /s /u "$dll" || fail "regsvr32 /u"
for k in "${keys[@]}"; do ! exists "HKCR\\$k" || fail "left behind by unregistration: $k"; done
run regsvr32 /s /u "$dll" || fail "a second regsvr32 /u"
out=$(run cscript //nologo "$vbs" unregistered); echo "$out"
[ "$out" = "vbscript: 429" ] || fail "creation after unregistration"

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

echo "hosts ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
