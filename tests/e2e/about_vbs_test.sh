#!/usr/bin/env bash
# The About box from a VBScript host on the registered DLL, in English and in
# Japanese: cscript calls ShowAboutBox, about_driver.exe reads the box from
# outside, a screenshot of it goes to build/about-<lcid>-<arch>.png, Ctrl+C puts
# the box and the component's facts on the clipboard, the buttons are themed
# common controls 6 although cscript has no manifest, the driver presses OK and
# the script must see False.
#   about_vbs_test.sh <x86|x64> <build dir>
# With VELKO_TEST_DPI set (about_dpi.sh), the screen is at that DPI and the
# screenshots are build/about-dpi<dpi>-<lcid>-<arch>.png; without it, at 96.
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
win() { winepath -w "$1" 2>/dev/null; }
run() { env LC_ALL="$loc" "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null; }
"$root/scripts/register.sh" "$arch" || { echo "FAIL: registration"; exit 1; }
# Xvfb has no window manager: Wine draws the frame of the host's windows itself
# (so the screenshot has a title bar) instead of waiting for one to do it.
loc=C.UTF-8 run reg add 'HKCU\Software\Wine\AppDefaults\cscript.exe\X11 Driver' /v Managed /d N /f >/dev/null

driver="$build/tests/about_driver.exe"
host=$(win "$root/tests/e2e/about_host.vbs")
dpi=${VELKO_TEST_DPI:-96}
version=$(sed -n 's/^#define VELKO_VERSION_COMMAS //p' "$build/src/component/gen/velko_version.h" | tr , .)
rule=---------------------------
for case in "en_US.UTF-8|1033|About Sample Product|&OK|Tahoma, 8 pt" \
            "ja_JP.UTF-8|1041|Sample Product のバージョン情報|OK|ＭＳ Ｐゴシック, 9 pt"; do
  IFS='|' read -r loc lcid caption ok font <<<"$case"
  result_file=$(mktemp)
  run cscript //nologo "$host" >"$result_file" &
  pid=$!
  geometry=$(run "$driver" wait | tr -d '\r' | head -1)
  if read -r x y w h <<<"$geometry" && [ -n "${h:-}" ]; then
    shot="$root/build/about-${VELKO_TEST_DPI:+dpi$dpi-}$lcid-$arch.png"
    sleep 0.5  # the painted window reaches the X server
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot" && echo "screenshot: $shot"
  else
    fail "$loc: no About box appeared"
  fi

  copied=$(run "$driver" copy | tr -d '\r')
  echo "Ctrl+C copied:"; echo "$copied"
  [ "$copied" = "$rule
$caption
$rule
Sample Product 1.2.3
Copyright (c) 2026 Sample Company
Sample support <http://sample.example/support>
$rule
File: VELKO.dll
File version: $version
Architecture: $arch
Language library: VELKORes$lcid.DLL
User locale: $lcid
Dialog font: $font
DPI: $dpi
$rule" ] || fail "$loc: Ctrl+C did not copy the box and the facts above"

  styles=$(run "$driver" styles | tr -d '\r')
  echo "$styles"
  grep -qxF "host manifest: none" <<<"$styles" || fail "$loc: the host has a manifest of its own"
  for name in cmdOK cmdVisitWebsite cmdViewEULA; do
    grep -Eqx "$name: 6\.[0-9.]+!Button, themed" <<<"$styles" || fail "$loc: $name is not a themed common controls 6 button"
  done

  seen=$(run "$driver" close | tr -d '\r'); closed=$?
  echo "$seen"
  expected="caption: $caption
lblProductName: Sample Product 1.2.3
lblCopyright: Copyright (c) 2026 Sample Company
cmdOK: $ok
url1: Sample support"
  while IFS= read -r line; do
    grep -qxF -- "$line" <<<"$seen" || fail "$loc: the box does not show '$line'"
  done <<<"$expected"
  grep -q '^cmdViewEULA: .*(hidden)$' <<<"$seen" && fail "$loc: the EULA button is hidden despite a EULA path"
  wait "$pid"; status=$?
  result=$(tr -d '\r' <"$result_file"); rm -f "$result_file"
  echo "$loc: $result"
  [ "$status" -eq 0 ] && [ "$result" = "ShowAboutBox returned Boolean False" ] ||
    fail "$loc: the host ended with $status: $result"
done
[ "$failures" -eq 0 ] && echo "about_vbscript: passed" || echo "about_vbscript: $failures failure(s)"
[ "$failures" -eq 0 ]
