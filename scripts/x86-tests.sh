#!/usr/bin/env bash
# The x86 half of the tests as it runs inside the emulated machine
# (scripts/x86-vm.sh), where every Wine process start costs seconds: the Wine
# prefixes live in RAM, the pristine one is booted once and the working one is
# its copy, one Wine server serves the run, and ctest runs the x86 entries one
# at a time (9p grants every file lock, so two at once may start two servers).
# ctest's output is this script's; the failure logs and the contact sheet go
# back through $VELKO_VM_IO.   Usage: x86-vm.sh bash scripts/x86-tests.sh [ctest args]
set -u
t0=$(date +%s)
export WINEPREFIX=/tmp/velko/wine VELKO_PRISTINE=/tmp/velko/wine-pristine
mkdir -p /tmp/velko
VELKO_ENV_FUNCTIONS_ONLY=1 . scripts/wine-env.sh
WINEPREFIX=$VELKO_PRISTINE velko_prefix && cp -a "$VELKO_PRISTINE" "$WINEPREFIX" || { echo "x86: no Wine prefix"; exit 1; }
. scripts/wine-env.sh
echo "x86: Wine prefix and display ready in $(( $(date +%s) - t0 )) s"
wineserver -p
ctest --preset mingw-x86 -j1 "$@"
rc=$?
wineserver -k
cp build/mingw-x86/failures-*.log build/about-languages-x86.png "$VELKO_VM_IO/" 2>/dev/null
exit $rc
