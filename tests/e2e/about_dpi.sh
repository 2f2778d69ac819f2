#!/usr/bin/env bash
# The About box at 96, 144 and 192 DPI. Wine takes the DPI from the prefix value
# HKCU\Control Panel\Desktop\LogPixels when a process starts, so each step sets
# it in a prefix of this test's own (<build>/wine-dpi; the shared one keeps its
# DPI), on an X display of its own (no other test's window in the pictures).
# At each DPI the real-dialog tests of dialogs_tests.exe check every control's
# rectangle against its twips and every font's height at that DPI, and the
# VBScript host test shows the box (screenshots build/about-dpi<dpi>-<lcid>-<arch>.png)
# whose Ctrl+C must report that DPI.
#   about_dpi.sh <x86|x64> <build dir>
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="$build/wine-dpi"
unset DISPLAY
export VELKO_XVFB_DISPLAY=$([ "$arch" = x86 ] && echo :88 || echo :89)
. "$root/scripts/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { "$root/scripts/wine-run.sh" "$arch" "$@"; }
for dpi in 96 144 192; do
  echo "== $dpi DPI"
  run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    { fail "LogPixels $dpi not set"; continue; }
  out=$(VELKO_TEST_DPI=$dpi run "$build/tests/dialogs_tests.exe" --gtest_filter='AboutBoxWine.*' --gtest_brief=1 2>&1)
  status=$?
  tr -d '\r' <<<"$out" | grep -E '^\[ *(PASSED|FAILED)' 
  [ "$status" -eq 0 ] || { echo "$out"; fail "the real-dialog tests at $dpi DPI"; }
  out=$(VELKO_TEST_DPI=$dpi bash "$root/tests/e2e/about_vbs_test.sh" "$arch" "$build")
  status=$?
  grep -E '^(screenshot|DPI)' <<<"$out"
  [ "$status" -eq 0 ] || { echo "$out"; fail "the VBScript host at $dpi DPI"; }
done
wineserver -k >/dev/null 2>&1
echo "about_dpi ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
