#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the mingw-x64 and mingw-x86
# presets and runs each one's ctest under Wine in the private prefix build/wine,
# with Wine's heap checker on.   Usage: bash scripts/test.sh
# Where this kernel refuses 32-bit programs, the x86 tests run inside an emulated
# x86-64 machine (scripts/x86-vm.sh, scripts/x86-guest.sh) beside the x64 ones.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=build/logs
t0=$(date +%s)

bash scripts/bootstrap.sh || { echo "test: bootstrap failed"; exit 1; }
mkdir -p "$logs"
# The prefixes (the shared one, and the pristine one the package tests copy) are made while the builds run.
(. scripts/wine-env.sh && WINEPREFIX=$velko_pristine velko_prefix) >"$logs/prefixes.log" 2>&1 & prefixes=$!
VELKO_ENV_FUNCTIONS_ONLY=1 . scripts/wine-env.sh
presets=(mingw-x64 mingw-x86)
if velko_wine32_present; then x86_way="natively, under this machine's 32-bit Wine"
else  # it boots and makes its prefix while the builds run, then waits for build/vm/io/built
  x86_way="inside the emulated x86-64 machine (QEMU), as this kernel refuses 32-bit programs"
  rm -f build/vm/io/built; bash scripts/x86-vm.sh --tests >"$logs/ctest-mingw-x86.log" 2>&1 & x86_machine=$!
fi

# Both builds at once: the second mostly waits for the first's compiles anyway.
build() {
  local p=$1; shift
  cmake --preset "$p" -DVELKO_WERROR=ON "$@" >"$logs/configure-$p.log" 2>&1 &&
    cmake --build --preset "$p" >"$logs/build-$p.log" 2>&1
}
build mingw-x64 & x64_build=$!
build mingw-x86 -DVELKO_TIMEOUT_FACTOR="$([ -n "${x86_machine:-}" ] && echo 3 || echo 1)" & x86_build=$!  # emulation is slow
build_failed=()
wait "$x64_build" || build_failed+=(mingw-x64)
wait "$x86_build" || build_failed+=(mingw-x86)
for p in "${build_failed[@]}"; do
  echo "test: build of $p failed; last lines:"
  tail -n 25 "$logs/configure-$p.log" "$logs/build-$p.log"
done
echo "== built in $(( $(date +%s) - t0 )) s"
[ -z "${x86_machine:-}" ] || echo "${build_failed[*]}" >build/vm/io/built

wait "$prefixes"; . scripts/wine-env.sh
# One Wine server for the whole run: each cold start costs seconds. Both presets'
# tests run at once, and ctest -j runs each one's side by side, but for those that
# show windows, which take the display in turn (velko_hold_display).
wineserver -p </dev/null >/dev/null 2>&1
passed=0; failed=${#build_failed[@]}; skipped=0; ran=()
for p in "${presets[@]}"; do
  [[ " ${build_failed[*]} " == *" $p "* ]] && continue
  ran+=("$p")
  [ "$p" = mingw-x86 ] && [ -n "${x86_machine:-}" ] && continue  # under way in the emulated machine
  ctest --preset "$p" -j4 >"$logs/ctest-$p.log" 2>&1 &
done
wait
for p in "${ran[@]}"; do
  echo "== test $p"; [ "$p" = mingw-x86 ] && echo "x86 ran $x86_way"
  grep -E "Test +#|tests passed|SKIPPED|FAIL" "$logs/ctest-$p.log"
  grep -qE "Test +#[0-9]+: " "$logs/ctest-$p.log" || { echo "no test of $p ran; its log ends:"; tail -n 15 "$logs/ctest-$p.log"; failed=$((failed + 1)); }
  passed=$((passed + $(grep -cE "Test +#[0-9]+: .* Passed" "$logs/ctest-$p.log")))
  skipped=$((skipped + $(grep -cE "Test +#[0-9]+: .*\*\*\*Skipped" "$logs/ctest-$p.log")))
  failed=$((failed + $(grep -cE "Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception|Not Run)" "$logs/ctest-$p.log")))
done
wineserver -k >/dev/null 2>&1

echo "== $(( $(date +%s) - t0 )) s in all"
echo "total: $passed passed, $failed failed, $skipped skipped"
# Every entry can run here, x86 included: a skipped one did not test anything.
[ "$failed" -eq 0 ] && [ "$skipped" -eq 0 ] && [ "$passed" -gt 0 ]
