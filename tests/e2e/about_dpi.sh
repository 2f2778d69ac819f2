#!/usr/bin/env bash
# The About box's positions and fonts at 144 DPI. Wine takes the DPI from the
# prefix value HKCU\Control Panel\Desktop\LogPixels when a process starts, so
# this runs in a fresh prefix of its own (<build>/wine-dpi) on a display of its own.
#   about_dpi.sh <x86|x64> <build dir>
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh"
velko_fresh_prefix "$build/wine-dpi" && export WINEPREFIX="$build/wine-dpi"
unset DISPLAY
velko_session
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
run() { LC_ALL=en_US.UTF-8 "$root/scripts/wine-run.sh" "$arch" "$@"; }
run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
run "$build/tests/about_e2e_tests.exe" --gtest_filter='*DesignPositions*' --gtest_brief=1
status=$?
wineserver -k >/dev/null 2>&1
exit $status
