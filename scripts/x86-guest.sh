#!/usr/bin/env bash
# The x86 half of the tests as it runs inside the emulated machine
# (scripts/x86-vm.sh), where every Wine process start costs seconds: the Wine
# prefixes live in RAM, the pristine one is booted once and the others are
# overlays on it, one Wine server serves the run, and ctest runs the x86 entries one
# at a time (9p grants every file lock, so two at once may start two servers).
# ctest's output is this script's; the failure logs go
# back through $VELKO_VM_IO.   Usage: x86-vm.sh bash scripts/x86-guest.sh [ctest args]
set -u
t0=$(date +%s)
scratch=$VELKO_VM_SCRATCH/velko
export WINEPREFIX=$scratch/wine VELKO_PRISTINE=$scratch/wine-pristine
mkdir -p "$scratch"
. scripts/wine-env.sh
# Booting a prefix takes minutes here. With VELKO_VM_KEEP_PREFIX=1 (by hand, when
# running this again and again) the booted one is kept in build/vm/io for the
# next run; a new Wine is a new prefix.
cache="$VELKO_VM_IO/wine-pristine-$(wine --version).tar"
if [ -f "$cache" ]; then tar -xf "$cache" -C "$scratch"
else WINEPREFIX=$VELKO_PRISTINE velko_prefix || exit 1
  [ "${VELKO_VM_KEEP_PREFIX:-}" != 1 ] || { rm -f "$VELKO_VM_IO"/wine-pristine-*.tar &&
    tar -cf "$cache.part" -C "$scratch" wine-pristine && mv "$cache.part" "$cache"; }
fi
# Fifty load/show/unload cycles, not a hundred: each one costs seconds here.
export VELKO_CYCLES=${VELKO_CYCLES:-50}
export VELKO_PREFIX_LAYERS=$scratch/layers
velko_fresh_prefix "$WINEPREFIX" || { echo "x86: no Wine prefix"; exit 1; }
velko_session
echo "x86: Wine prefix and display ready in $(( $(date +%s) - t0 )) s"
# scripts/test.sh starts this machine while it builds, and says when both builds
# are done; a run that never says so has ended without stopping this machine.
if [ "${VELKO_WAIT_FOR_BUILD:-}" = 1 ]; then
  limit=$(( ${VELKO_BUILD_SECONDS:-5400} * ${VELKO_TIME_FACTOR:-1} ))
  until [ -f "$VELKO_VM_IO/built" ]; do
    [ $(( $(date +%s) - t0 )) -lt "$limit" ] || { echo "x86: not tested, no build was ready after $limit s"; exit 1; }
    sleep 2
  done
  [ -z "$(cat "$VELKO_VM_IO/built")" ] || { echo "x86: not tested, the build of $(cat "$VELKO_VM_IO/built") failed"; exit 1; }
  echo "x86: builds ready after $(( $(date +%s) - t0 )) s"
fi
wineserver -p
# VELKO_EMULATED=1: the box in three locales, not in every language (each Wine
# process start costs seconds here); no x64 package beside the x86 one.
VELKO_EMULATED=1 ctest --preset mingw-x86 -j1 --output-junit "$VELKO_VM_IO/junit.xml" "$@"
rc=$?
wineserver -k
cp build/mingw-x86/failures-*.log "$VELKO_VM_IO/" 2>/dev/null
exit $rc
