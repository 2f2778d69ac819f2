#!/usr/bin/env bash
# The About box from a VBScript host on the registered DLL, in each locale that
# has a language library and in one that has none (German falls back to
# English): about_driver.exe finds the box from outside, a screenshot of it goes
# to build/about-<locale>-<arch>.png, Ctrl+C must copy the box and the facts of
# that locale's library and font, OK closes it and the script sees False.
#   about_vbs_test.sh <x86|x64> <build dir>
set -uo pipefail
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { env LC_ALL="$loc" "$root/scripts/wine-run.sh" "$arch" "$@" 2>/dev/null | tr -d '\r'; }
loc=C.UTF-8
run regsvr32 /s "$(winepath -w "$build/bin/VELKO.dll" 2>/dev/null)" || { echo "FAIL: registration"; exit 1; }
# Xvfb has no window manager: Wine draws the frame of the host's windows itself.
run reg add 'HKCU\Software\Wine\AppDefaults\cscript.exe\X11 Driver' /v Managed /d N /f >/dev/null
driver="$build/tests/about_driver.exe"
host=$(winepath -w "$root/tests/e2e/about_host.vbs" 2>/dev/null)
version=$(sed -n 's/^#define VELKO_VERSION_COMMAS //p' "$build/src/component/gen/velko_version.h" | tr , .)
rule=---------------------------
for case in "en_US|1033|1033|Tahoma, 8" "ja_JP|1041|1041|ＭＳ Ｐゴシック, 9" "ko_KR|1042|1042|굴림, 9" \
            "zh_TW|1028|1028|新細明體, 9" "zh_CN|2052|2052|宋体, 9" "de_DE|1031|1033|Tahoma, 8"; do
  IFS='|' read -r loc lcid library font <<<"$case"
  loc=$loc.UTF-8
  result=$(mktemp)
  run cscript //nologo "$host" >"$result" &
  host_pid=$!
  if read -r x y w h < <(run "$driver" wait) && [ -n "${h:-}" ]; then
    sleep 0.5  # the painted window reaches the X server
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$root/build/about-${loc%.*}-$arch.png"
  fi
  # The caption (line 2) is the library's own text, checked by the C++ host.
  copied=$(run "$driver" copy | sed -e 2d -e 's/^Computer: ..*$/Computer: (name)/')
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
  run "$driver" close >/dev/null || fail "$loc: the box did not close on OK"
  wait "$host_pid"
  [ "$(tr -d '\r' <"$result")" = "ShowAboutBox returned Boolean 0" ] || fail "$loc: $(cat "$result")"
  rm -f "$result"
done
echo "about_vbs_test ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
