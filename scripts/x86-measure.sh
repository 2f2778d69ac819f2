#!/usr/bin/env bash
# By hand, in the emulated x86 machine: the lifetimes test's counts over many
# x86 load/show/unload cycles, then the x86 benchmark table.
#   bash scripts/x86-vm.sh 'VELKO_CYCLES=2010 bash scripts/x86-measure.sh'
# VELKO_CYCLES=2010 measures 1,000 cycles after 10 warm-up ones (a second round
# runs only when the first is not flat); the counts land in $VELKO_VM_IO/soak.xml.
set -u
export WINEPREFIX=$VELKO_VM_SCRATCH/velko/wine arch=x86
mkdir -p "$VELKO_VM_SCRATCH/velko"
. scripts/wine-env.sh
velko_prefix >/dev/null 2>&1 || { echo "x86-measure: no Wine prefix"; exit 1; }
velko_session
wineserver -p
t0=$(date +%s)
VELKO_CYCLES=${VELKO_CYCLES:-2010} scripts/wine-run.sh x86 build/mingw-x86/tests/soak_tests.exe \
  --gtest_filter='Lifetimes.Load*' --gtest_output="xml:$(winepath -w "$VELKO_VM_IO/soak.xml")" | tail -n 3
echo "lifetimes: $(( $(date +%s) - t0 )) s; $(grep -o 'counts" value="[^"]*"' "$VELKO_VM_IO/soak.xml")"
VELKO_BENCH_ARCHS=x86 VELKO_FRESH_RUNS=${VELKO_FRESH_RUNS:-5} bash scripts/bench.sh  # which ends the Wine server
