#!/usr/bin/env bash
# Per-user and registration-free use in a fresh Wine prefix:
#   deployment.sh <x86|x64> <build dir>
# regsvr32 /n /i:user registers under HKCU\Software\Classes only and /u /n /i:user
# leaves the user's and the machine's classes exactly as they were; a host with an
# application manifest creates VELKO.CProductInfo with nothing registered, and fails
# cleanly once the manifest is gone.
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="$build/wine-fresh"
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock" "$WINEPREFIX.ready"
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
run() { "$root/scripts/wine-run.sh" "$arch" "$@"; }
win() { winepath -w "$1" 2>/dev/null; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
exists() { run reg query "$1" >/dev/null 2>&1; }
tmp="$build/deployment"
rm -rf "$tmp"; mkdir -p "$tmp"
snapshot() {  # <tag>: the user's and the machine's classes as exported text
  run reg export 'HKCU\Software\Classes' "$(win "$tmp")\\user-$1.reg" /y >/dev/null 2>&1 || echo absent >"$tmp/user-$1.reg"
  run reg export 'HKLM\Software\Classes' "$(win "$tmp")\\machine-$1.reg" /y >/dev/null 2>&1 || echo absent >"$tmp/machine-$1.reg"
}
clsid='{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}'
dll=$(win "$build/bin/VELKO.dll")

# Wine's script host registers its own type library on its first run; let it do
# that before the machine's classes are compared.
echo 'WScript.Echo "warm"' >"$tmp/warm.vbs"
run cscript "$(win "$tmp/warm.vbs")" >/dev/null 2>&1
snapshot before
run regsvr32 /s /n /i:user "$dll" || fail "regsvr32 /n /i:user exit $?"
for k in "CLSID\\$clsid\\InprocServer32" VELKO.CProductInfo 'TypeLib\{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}\1.0' \
         'Interface\{024F49E9-03E8-4963-8DD4-3F4123E16E72}'; do
  exists "HKCU\\Software\\Classes\\$k" || fail "per-user key missing: $k"
  ! exists "HKLM\\Software\\Classes\\$k" || fail "per-user install wrote the machine key $k"
done
out=$(run "$build/tests/user_class_probe.exe" | tr -d '\r')
[ "$out" = "created: Per-user product" ] || fail "C++ host from the per-user registration: $out"
# Windows merges HKCU\Software\Classes into HKEY_CLASSES_ROOT, so script hosts find
# a per-user class there; Wine 8 does not, so here CreateObject reports 429.
out=$(run cscript "$(win "$root/examples/vbscript/host.vbs")" | tr -d '\r')
echo "VBScript host with the per-user registration under Wine: ${out:-none, the class is not in HKEY_CLASSES_ROOT of Wine}"
snapshot during
cmp -s "$tmp/machine-before.reg" "$tmp/machine-during.reg" || fail "machine classes changed by the per-user install"
run regsvr32 /s /u /n /i:user "$dll" || fail "regsvr32 /u /n /i:user exit $?"
snapshot after
cmp -s "$tmp/user-before.reg" "$tmp/user-after.reg" || { fail "HKCU\\Software\\Classes differs after per-user uninstall"; diff "$tmp/user-before.reg" "$tmp/user-after.reg" | head; }
cmp -s "$tmp/machine-before.reg" "$tmp/machine-after.reg" || fail "machine classes changed"

# Registration-free: nothing in the registry, the manifests beside the host.
app="$tmp/app"
mkdir -p "$app"
cp "$build"/bin/* "$build/examples/velko_host.exe" "$build/examples/velko_host.exe.manifest" "$app/"
out=$(run "$app/velko_host.exe" | tr -d '\r')
[ "$out" = "created: Contoso Draw 4.2" ] || fail "registration-free host: $out"
rm "$app/velko_host.exe.manifest"
out=$(run "$app/velko_host.exe" | tr -d '\r'); code=$?
[[ "$out" == "VELKO.CProductInfo is not available: 0x800401f3" ]] || fail "without the manifest: '$out'"

wineserver -k >/dev/null 2>&1
echo "deployment ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
