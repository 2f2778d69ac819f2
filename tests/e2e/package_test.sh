#!/usr/bin/env bash
# The release packages of one architecture, in fresh Wine prefixes of their own:
#   package_test.sh <x86|x64> <build dir>
# The MSI installs per machine and writes the registration regsvr32 writes (in a
# second fresh prefix); the same version again or a higher one leaves one product;
# uninstall leaves no folder and the machine's classes as they were. Installed beside
# the other architecture's package, removing either leaves the other's registration
# as it was and its host working. First, without Wine: the zip holds what a team
# redistributes, SHA256SUMS matches, the bills of materials and the version
# resources say what is shipped, a throwaway certificate signs DLLs and MSI.
set -u
arch=$1; build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
failures=0
# A failure says what the last Windows program wrote to its error output.
fail() { local said; said=$(tail -n 4 "$tmp/wine.err" 2>/dev/null | tr -d '\r' | paste -sd' ')
  set -- "$*${said:+ (it said: $said)}"; echo "FAIL: $1"; echo "$(date '+%F %T') $1" >>"$build/failures-package.log"
  failures=$((failures + 1)); }
pkg="$build/package"; tmp="$build/package-test"; version=$(sed -n 's/^#define VELKO_VERSION "\(.*\)"/\1/p' "$build/include/velko_version.h")
rm -rf "$tmp"; mkdir -p "$tmp"

# The archive: exactly what a team redistributes, and the checksums of both packages.
want=$(printf '%s\n' bin/ bin/VELKO.dll bin/VELKO.manifest $(cd "$build/bin" && ls VELKORes*.DLL | sed 's|^|bin/|') include/ \
  include/velko.h include/velko_i.c include/velko_client.h include/velko_version.h msm/ msm/VELKO-$version-$arch.msm examples/ examples/cpp/ examples/cpp/host.cpp \
  examples/vbscript/ examples/vbscript/host.vbs examples/jscript/ examples/jscript/host.js examples/regfree/ examples/demo.vbs \
  examples/regfree/velko_host.exe.manifest README.md LICENSE CHANGELOG.md THIRD-PARTY-NOTICES.txt VELKO-$version-$arch.spdx.json | sort)
diff <(echo "$want") <(cmake -E tar tf "$pkg/VELKO-$version-$arch.zip" | sort) || fail "the archive's listing"
(cd "$pkg" && sha256sum -c SHA256SUMS) || fail "SHA256SUMS"
[ "$(awk '{print $2}' "$pkg/SHA256SUMS" | xargs)" = "$(printf "VELKO-$version-$arch.%s " msi msi.spdx.json msm msm.spdx.json zip | xargs)" ] || fail "SHA256SUMS lists"
# An installer replaces versioned files by version; support requests and audits read the rest.
for f in "$pkg/VELKO-$version-$arch"/bin/*.{dll,DLL}; do [ "$(strings -el "$f" | grep -A1 -xE 'CompanyName|FileVersion|LegalCopyright|ProductName|ProductVersion' |
  grep -vx -- -- | paste -sd'|')" = "CompanyName|The VELKO authors|FileVersion|$version|LegalCopyright|$(grep -m1 ^Copyright "$root/LICENSE")|ProductName|VELKO|ProductVersion|$version" ] || fail "version resource of $(basename "$f")"; done

# Each bill of materials names every file its package holds, with its checksum, and
# each runtime the link map shows linked, at the version of the Debian package it came from.
msiextract -C "$tmp/msi" "$pkg/VELKO-$version-$arch.msi" >/dev/null && python3 - "$pkg" "VELKO-$version-$arch" "$build/packaging/VELKO.map" "$(dirname "$(find "$tmp/msi" -name VELKO.dll)")" <<'EOF' || fail "bills of materials"
import hashlib, json, os, re, subprocess, sys, zipfile; pkg, name, link_map, msi = sys.argv[1:]; z = zipfile.ZipFile(f"{pkg}/{name}.zip")
sha, dpkg = lambda data: hashlib.sha256(data).hexdigest(), lambda *a: subprocess.check_output(["dpkg-query", *a], text=True)
linked = {os.path.normpath(a or o) for a, o in re.findall(r"^(/\S+\.a)\(|^LOAD (/\S+\.o)$", open(link_map).read(), re.M)}
for doc, files in ((json.load(z.open(f"{name}.spdx.json")), {n: sha(z.read(n)) for n in z.namelist() if n[-1] != "/" and n != f"{name}.spdx.json"}),
                   *((json.load(open(f"{pkg}/{name}.{m}.spdx.json")), {n: sha(open(f"{msi}/{n}", "rb").read()) for n in os.listdir(msi)}) for m in ("msi", "msm"))):
    listed = {f["fileName"][2:]: c["checksumValue"] for f in doc["files"] for c in f["checksums"] if c["algorithm"] == "SHA256"}
    assert doc["spdxVersion"] == "SPDX-2.3" and listed == files, f"{doc['name']}: {set(listed.items()) ^ set(files.items())}"
    runtimes = {path: p for p in doc["packages"][1:] for path in re.findall(r"/[^\s,]+\.[ao]\b", p["comment"])}  # VELKO's comes first
    assert set(runtimes) == linked, f"{doc['name']} has runtimes from {sorted(set(runtimes) ^ linked)}"
    assert all(p["versionInfo"] == dpkg("-W", "-f", "${Version}", dpkg("-S", path).split(":")[0]) and p["licenseDeclared"] != "NOASSERTION"
               for path, p in runtimes.items()), "a runtime's version is not its Debian package's, or it has no licence"
EOF

# A higher version, signed with a throwaway certificate.
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tmp/key.pem" -out "$tmp/cert.pem" -days 1 -subj /CN=VELKO-test 2>/dev/null
openssl pkcs12 -export -inkey "$tmp/key.pem" -in "$tmp/cert.pem" -out "$tmp/test.pfx" -passout pass:throwaway
VELKO_SIGN_PFX="$tmp/test.pfx" VELKO_SIGN_PASSWORD=throwaway cmake -DCONFIG="$build/packaging/package-config.cmake" \
  -DACTION=msi -DVERSION=99.0.0 -DOUT="$tmp" -P "$root/packaging/package.cmake" >/dev/null || fail "packaging 99.0.0"
for f in "$tmp"/VELKO-99.0.0-$arch.msi "$tmp"/VELKO-99.0.0-$arch/bin/*.{dll,DLL}; do
  osslsigncode verify -CAfile "$tmp/cert.pem" -in "$f" >/dev/null 2>&1 || fail "signature of $(basename "$f")"
done

. "$root/scripts/wine-env.sh" && velko_session
if [ "$arch" = x86 ] && ! velko_wine32_present; then
  echo "SKIPPED: wine32 does not run here; the x86 packages were checked without Wine: $failures failure(s)"
  [ "$failures" -eq 0 ] && exit 77 || exit 1
fi
velko_fresh_prefix "$build/msi-prefix" && velko_fresh_prefix "$build/regsvr32-prefix"
export WINEPREFIX="$build/msi-prefix"
run() { "$root/scripts/wine-run.sh" "$arch" "$@" 2>"$tmp/wine.err"; }
reg64() { "$root/scripts/wine-run.sh" x64 reg "$@" 2>/dev/null; }  # either view, with /reg:32 or /reg:64
win() { echo "Z:${1//\//\\}"; }  # the paths here are absolute; Wine's Z: is /
keys=('CLSID\{4F52FD55-CEEA-43B0-BEB8-45CF905BE7C3}' VELKO.CProductInfo 'TypeLib\{0EA78CCF-3B05-4D6D-B8E0-285EFC8C7276}'
      'Interface\{024F49E9-03E8-4963-8DD4-3F4123E16E72}')
classes() { for v in 32 64; do reg64 export 'HKLM\Software\Classes' 'C:\c.reg' /y /reg:$v && cat "$WINEPREFIX/drive_c/c.reg"; done; }
key() { reg64 export "HKCR\\$1" 'C:\k.reg' /y "/reg:$2" >/dev/null && iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/k.reg" || echo "missing: $1"; }
# The registration of architecture $1 as its registry view shows it; a 64-bit one
# also writes the interface where 32-bit clients look. Windows keeps one ProgID key
# for both views; Wine puts an x86 one in its 32-bit view when a 64-bit program
# writes it, in the 64-bit one when a 32-bit program does, and 32-bit clients find either.
export_keys() { local k v=64; [ "$1" = x86 ] && v=32
  for k in "${keys[@]}"; do { [ "$k" = "${keys[1]}" ] && key "$k" 64 | grep -v '^missing'; } || key "$k" $v; done
  [ "$1" = x86 ] || key "${keys[3]}" 32; }

# A VBScript host, where its architecture can run.
host() { [ "$1" = x86 ] && ! velko_wine32_present ||
  [ "$("$root/scripts/wine-run.sh" "$1" cscript //nologo "$(win "$root/examples/vbscript/host.vbs")" 2>/dev/null | tr -d '\r')" = "created: Contoso Draw 4.2" ]; }

# What regsvr32 writes, with the build's bin folder where the installer puts the files.
programs='Program Files'; [ "$arch" = x86 ] && programs='Program Files (x86)'
folder="C:\\$programs\\VELKO"; dir="$WINEPREFIX/drive_c/$programs/VELKO"
bin=$(win "$build/bin")
# One server per prefix, each ended with the (sub)shell that started it, however that ends.
velko_server
reference=$(export WINEPREFIX="$build/regsvr32-prefix"; velko_server; run regsvr32 /s "$bin\\VELKO.dll" && export_keys $arch; wineserver -k)
! grep '^missing' <<<"$reference" || fail "regsvr32 wrote not every key"
reference=${reference//"${bin//\\/\\\\}"/"${folder//\\/\\\\}"}

# Windows has the installer's own containers from the start; Wine makes them on
# the first install and keeps them. Wine's script host registers its own type
# library on its first run.
[ "$(run cscript //nologo "$(win "$root/examples/jscript/host.js")" | tr -d '\r')" = "VELKO.CProductInfo is not available: 0x800a01ad" ] ||
  fail "VELKO.CProductInfo was there before the install, or the script host did not run"
{ echo REGEDIT4; printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer\\%s]\n' Features Products UpgradeCodes; } >"$tmp/installer.reg"
run reg import "$(win "$tmp/installer.reg")" || fail "reg import"
classes >"$tmp/before.reg"
msi=$(win "$pkg/VELKO-$version-$arch.msi")
run msiexec /i "$msi" /qn || fail "msiexec /i exit $?"
for f in VELKO.dll VELKO.manifest THIRD-PARTY-NOTICES.txt $(cd "$build/bin" && ls VELKORes*.DLL); do [ -f "$dir/$f" ] || fail "not installed: $f"; done
diff <(echo "$reference") <(export_keys $arch) || fail "the installer's registration differs from regsvr32's"

products() {  # the versions of the installed VELKO products
  run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' | awk '
    /^HKEY/ { if (n ~ /VELKO/) print v; n = v = "" } /DisplayName/ { n = $0 } /DisplayVersion/ { v = $3 }
    END { if (n ~ /VELKO/) print v }' | xargs; }
run msiexec /i "$msi" /qn || fail "installing $version again: exit $?"
[ "$(products)" = "$version" ] || fail "after installing $version again: '$(products)'"
run msiexec /i "$(win "$tmp/VELKO-99.0.0-$arch.msi")" /qn || fail "upgrade: exit $?"
[ "$(products)" = "99.0.0" ] || fail "after the upgrade: '$(products)'"

# Products of other teams that merged the module (host A and B): the installer
# counts the component with this MSI's and with each other's, so one copy in the
# MSI's folder serves while any of them is there, and the last removal takes it.
for h in A B; do (cd "$root/tests/e2e" && wixl -a $arch -D Host=$h -o "$tmp/host$h.msi" host_product.wxs && python3 msm_merge.py "$tmp/host$h.msi" "$pkg/VELKO-$version-$arch.msm" Main TARGETDIR) || fail "host $h"; done
serving() { [ "$(find "$WINEPREFIX/drive_c" -name VELKO.dll)" = "$dir/VELKO.dll" ] && [ "$(export_keys $arch)" = "$reference" ] && host $arch; }
gone() { [ ! -e "$dir" ] && cmp -s "$tmp/before.reg" <(classes); }  # no install folder, the machine's classes as they were
hosts() { run msiexec "$1" "$(win "$tmp/host$2.msi")" /qn; }
hosts /i A && serving && hosts /x A && serving || fail "a merged product beside the MSI"
run msiexec /x "$(win "$tmp/VELKO-99.0.0-$arch.msi")" /qn && gone || fail "uninstall left the install folder or changed the machine's classes"
hosts /i A && hosts /i B && serving || fail "installing two merged products"
hosts /x A && serving || fail "removing one of two merged products"
hosts /x B && gone || fail "removing the last merged product left files or keys"

# Beside the other architecture's package (the 64-bit msiexec installs either);
# a host runs where its architecture can.
# The other package comes from its own build (scripts/test.sh builds both), not
# from this test: a test that built it would build a mutated tree twice.
other=x86; [ "$arch" = x86 ] && other=x64
omsi_file=$(dirname "$build")/mingw-$other/package/VELKO-$version-$other.msi
[ -f "$omsi_file" ] || { fail "no $other package: cmake --build --preset mingw-$other --target msi"; other=; }
omsi() { "$root/scripts/wine-run.sh" x64 msiexec "$1" "$(win "$omsi_file")" /qn 2>"$tmp/wine.err"; }
# In the emulated x86 machine, where each Wine process costs seconds, the x64
# package test installs this one beside its own (the x64 msiexec installs either).
[ "${VELKO_EMULATED:-}" != 1 ] || other=
if [ -n "$other" ]; then
omsi /i && theirs=$(export_keys $other) && run msiexec /i "$msi" /qn && omsi /x || fail "installing beside the $other package"
mine=$(export_keys $arch); [ "$mine" = "$reference" ] && host $arch || fail "removing the $other package changed this one's registration: $(diff <(echo "$reference") <(echo "$mine") | paste -sd' ')"
omsi /i && run msiexec /x "$msi" /qn || fail "removing this package beside the $other one"
after=$(export_keys $other); [ "$after" = "$theirs" ] && host $other || fail "removing this package changed the $other one's registration: $(diff <(echo "$theirs") <(echo "$after") | paste -sd' ')"
fi
wineserver -k
[ "$failures" -eq 0 ] && rm -rf "$WINEPREFIX" "$build/regsvr32-prefix"
echo "package ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
