#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the mingw-x64 and mingw-x86
# presets and runs each one's ctest under Wine in the private prefix build/wine,
# with Wine's heap checker on.   Usage: bash scripts/test.sh
# Where this kernel refuses 32-bit programs (or with VELKO_WINE32=0), the x86
# tests run inside an emulated x86-64 machine (scripts/x86-vm.sh,
# scripts/x86-guest.sh) beside the x64 ones.
# It ends every process it started (Wine servers, X displays, the emulated
# machine), also when it is stopped with Ctrl+C or killed.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/logs
t0=$(date +%s)

bash scripts/bootstrap.sh || { echo "test: bootstrap failed"; exit 1; }
. scripts/wine-env.sh
velko_own_run
mkdir -p "$logs"
rm -f "$root"/build/mingw-*/junit.xml
# The prefixes (the shared one, and the pristine one the package tests copy) are made while the builds run.
(velko_session && WINEPREFIX=$velko_pristine velko_prefix) >"$logs/prefixes.log" 2>&1 & prefixes=$!
presets=(mingw-x64 mingw-x86)
x86_factor=1
if velko_wine32_present; then x86_way="natively, under this machine's 32-bit Wine"
else  # it boots and makes its prefix while the builds run, then waits for build/vm/io/built
  x86_way="inside the emulated x86-64 machine (QEMU), as this kernel refuses 32-bit programs"
  x86_factor=6  # a Wine process starts 7-9 times slower there, and its code runs 6-7 times slower
  rm -f build/vm/io/built build/vm/io/alone
  # First, cheaply, that the machine sees a checkout wherever it lives.
  (export VELKO_TIME_FACTOR=$x86_factor; bash scripts/x86-vm.sh --check && bash scripts/x86-vm.sh --tests) \
    >"$logs/ctest-mingw-x86.log" 2>&1 & x86_machine=$!
fi

# Both builds at once: the second mostly waits for the first's compiles anyway.
build() {
  local p=$1; shift
  cmake --preset "$p" -DVELKO_WERROR=ON "$@" >"$logs/configure-$p.log" 2>&1 &&
    cmake --build --preset "$p" >"$logs/build-$p.log" 2>&1
}
build mingw-x64 -DVELKO_TIMEOUT_FACTOR=1 & x64_build=$!
build mingw-x86 -DVELKO_TIMEOUT_FACTOR=$x86_factor & x86_build=$!
build_failed=()
wait "$x64_build" || build_failed+=(mingw-x64)
wait "$x86_build" || build_failed+=(mingw-x86)
for p in "${build_failed[@]}"; do
  echo "test: build of $p failed; last lines:"
  tail -n 25 "$logs/configure-$p.log" "$logs/build-$p.log"
done
echo "== built in $(( $(date +%s) - t0 )) s"
[ -z "${x86_machine:-}" ] || echo "${build_failed[*]}" >build/vm/io/built

wait "$prefixes"; velko_session
# One Wine server for the whole run: each cold start costs seconds. Both presets'
# tests run at once, and ctest -j runs each one's side by side, but for those that
# show windows, which take the display in turn (velko_hold_display).
velko_server
ran=() native=()
for p in "${presets[@]}"; do
  [[ " ${build_failed[*]} " == *" $p "* ]] && continue
  ran+=("$p")
  [ "$p" = mingw-x86 ] && [ -n "${x86_machine:-}" ] && continue  # under way in the emulated machine
  ctest --preset "$p" -j4 --output-junit "$root/build/$p/junit.xml" >"$logs/ctest-$p.log" 2>&1 & native+=($!)
done
wait "${native[@]}"
[ -z "${x86_machine:-}" ] || touch build/vm/io/alone  # the emulated machine runs at full priority from now on
wait
failed=${#build_failed[@]}; passed=0; skipped=0
for p in "${ran[@]}"; do
  echo "== test $p"; [ "$p" = mingw-x86 ] && echo "x86 ran $x86_way"
  grep -E "^x86: |Test +#|tests passed|FAIL" "$logs/ctest-$p.log"
  # ctest's own record of each entry: passed, failed (a time limit too), or skipped (exit code 77).
  read -r p_passed p_failed p_skipped p_all < <(python3 -c 'import sys, xml.etree.ElementTree as ET
c = [(t.get("status"), ET.tostring(t, "unicode")) for t in ET.parse(sys.argv[1]).iter("testcase")]
r, s = sum(st == "run" for st, _ in c), sum("SKIP_RETURN_CODE" in x for _, x in c); print(r, len(c) - r - s, s, len(c))' \
    "build/$p/junit.xml" 2>/dev/null || echo 0 0 0 0)
  [ "$p_all" -gt 0 ] || { echo "no test of $p ran; its log ends:"; tail -n 15 "$logs/ctest-$p.log"; p_failed=1; }
  passed=$((passed + p_passed)); failed=$((failed + p_failed)); skipped=$((skipped + p_skipped))
done

echo "== $(( $(date +%s) - t0 )) s in all"
echo "total: $passed passed, $failed failed, $skipped skipped"
# Every entry can run here, x86 included: a skipped one did not test anything.
[ "$failed" -eq 0 ] && [ "$skipped" -eq 0 ] && [ "$passed" -gt 0 ]
