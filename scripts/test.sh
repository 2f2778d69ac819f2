#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the three presets (native with
# ASan/UBSan, Windows x64 and x86) and runs each preset's ctest, the Windows ones
# under Wine in the private prefix build/wine.   Usage: bash scripts/test.sh
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
presets=(native mingw-x64 mingw-x86)
logs=build/logs
t0=$(date +%s)

bash scripts/bootstrap.sh || { echo "test: bootstrap failed"; exit 1; }
mkdir -p "$logs"

build_failed=()
for p in "${presets[@]}"; do
  echo "== build $p"
  if ! { cmake --preset "$p" -DVELKO_WERROR=ON >"$logs/configure-$p.log" 2>&1 &&
         cmake --build --preset "$p" >"$logs/build-$p.log" 2>&1; }; then
    echo "test: build of $p failed; last lines:"
    tail -n 25 "$logs/configure-$p.log" "$logs/build-$p.log"
    build_failed+=("$p")
  fi
done
echo "== built in $(( $(date +%s) - t0 )) s"

# One Wine server for the whole run: each cold start costs seconds.
. scripts/wine-env.sh
wineserver -p >/dev/null 2>&1
if ! velko_wine32_present; then
  echo "NOTE: wine32 is not installed: x86 runtime tests are skipped (the x86 build still ran)."
fi

passed=0; failed=0; skipped=0; cases=0; case_failures=0
for p in "${presets[@]}"; do
  [[ " ${build_failed[*]} " == *" $p "* ]] && { failed=$((failed + 1)); continue; }
  echo "== test $p"
  xml="$root/build/$p/gtest-xml"
  rm -rf "$xml"; mkdir -p "$xml"
  if [ "$p" = native ]; then out="xml:$xml/"; else out="xml:$(winepath -w "$xml")\\"; fi
  GTEST_OUTPUT="$out" ctest --preset "$p" 2>&1 | tee "$logs/ctest-$p.log" | grep -E "Test +#|tests passed|SKIPPED|FAIL"
  p_pass=$(grep -cE "Test +#[0-9]+: .* Passed" "$logs/ctest-$p.log")
  p_skip=$(grep -cE "Test +#[0-9]+: .*\*\*\*Skipped" "$logs/ctest-$p.log")
  p_fail=$(grep -cE "Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception|Not Run)" "$logs/ctest-$p.log")
  passed=$((passed + p_pass)); skipped=$((skipped + p_skip)); failed=$((failed + p_fail))
  for f in "$xml"/*.xml; do
    [ -f "$f" ] || continue
    n=$(grep -m1 -o '<testsuites tests="[0-9]*" failures="[0-9]*"' "$f" | grep -o '[0-9]*' | head -2 | tr '\n' ' ')
    set -- $n
    cases=$((cases + ${1:-0})); case_failures=$((case_failures + ${2:-0}))
  done
done
wineserver -k >/dev/null 2>&1

echo "== $cases test cases in the GoogleTest programs, $case_failures failed; $(( $(date +%s) - t0 )) s in all"
echo "total: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
