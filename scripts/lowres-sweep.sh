#!/usr/bin/env bash
# The low-resource sweeps in full, with their figures: for each built preset
# (mingw-x64, mingw-x86), every allocation and system call of the box's host
# cycle failed once in a process of its own (lowres_box_tests), then every call
# of the registry settings, INI access and system helpers (lowres_system_tests).
# Prints per kind the calls in one cycle and the runs that broke the host, and
# each sweep's time. Build first (cmake --build --preset <preset>).
#   scripts/lowres-sweep.sh [x64|x86 ...]   (both by default)
set -u
cd "$(dirname "$0")/.."
status=0
for arch in "${@:-x64 x86}"; do
  for arch in $arch; do
    for test in lowres_box_tests:BoxCycle lowres_system_tests:Settings; do
      filter=${test#*:} test=${test%:*}
      program=build/mingw-$arch/tests/$test.exe
      [ -f "$program" ] || { echo "$program: not built"; status=1; continue; }
      echo "== $arch $test"
      start=$(date +%s)
      bash scripts/wine-run.sh "$arch" "$program" --gtest_brief=1 "--gtest_filter=*$filter*" || status=1
      echo "== $arch $test: $(( $(date +%s) - start )) s"
    done
  done
done
exit $status
