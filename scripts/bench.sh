#!/usr/bin/env bash
# Builds and runs the benchmark table for both architectures under Wine:
#   bash scripts/bench.sh [row filter]     (VELKO_BENCH_ARCHS=x86: one architecture)
# Each row is our operation against its yardstick, measured in the same run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
. scripts/wine-env.sh && velko_session
export VELKO_HEAP_CHECK=0  # the checker's bookkeeping is not the product's time
# Whether a row's name holds the filter (all rows without one).
wanted() { case "$1" in *"${filter}"*) return 0 ;; esac; return 1; }
filter=${1:-}
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
trap 'wineserver -k; velko_end_session' EXIT  # the server and display this started
for arch in ${VELKO_BENCH_ARCHS:-x86 x64}; do
  if [ "$arch" = x86 ] && ! velko_wine32_present; then
    echo "== x86: skipped, 32-bit programs cannot run here"
    continue
  fi
  p=mingw-$arch
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" >/dev/null
  # The benchmark sees its own folder as the component folder.
  cp build/$p/bin/*.DLL build/$p/bench/
  scripts/register.sh "$arch"
  echo "== $arch"
  scripts/wine-run.sh "$arch" "build/$p/bench/velko_bench.exe" "${1:-}" | tr -d '\r'
  # VBScript: medians of the per-round times the script prints.
  rounds=
  wanted "VBScript CreateObject" && rounds=$(scripts/wine-run.sh "$arch" cscript "$(winepath -w bench/create.vbs)" | tr -d '\r')
  median() { grep "^$1 $2 " <<<"$rounds" | awk '{print $3}' | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
  for which in kept alone; do
    wanted "VBScript CreateObject" || continue
    ours=$(median "$which" ours); theirs=$(median "$which" dictionary)
    label="one object kept"; [ "$which" = alone ] && label="no other object"
    awk -v a="$ours" -v b="$theirs" -v l="$label" 'BEGIN {
      r = a / b; printf "%-58s %12.3f %12.3f %7.3f %6.2f%s\n", "VBScript CreateObject+release vs Dictionary (" l ")", a, b, r, 1.2, (r > 1.2 ? "  over goal" : "") }'
  done
  # The first box of a fresh process: one process per sample, alternated, after
  # one unmeasured start of each side (the files are then in the system's cache).
  fresh_runs=${VELKO_FRESH_RUNS:-11}
  for variant in "" _cc6; do
    wanted "First box in a fresh process" || continue
    exe=build/$p/bench/velko_fresh_box$variant.exe
    scripts/wine-run.sh "$arch" "$exe" about >/dev/null
    scripts/wine-run.sh "$arch" "$exe" messagebox >/dev/null
    ours=(); theirs=()
    for i in $(seq 1 "$fresh_runs"); do
      if [ $((i % 2)) = 1 ]; then sides="about messagebox"; else sides="messagebox about"; fi
      for side in $sides; do
        ms=$(scripts/wine-run.sh "$arch" "$exe" "$side" | tr -d '\r' | awk '{print $2}')
        if [ "$side" = about ]; then ours+=("$ms"); else theirs+=("$ms"); fi
      done
    done
    fmedian() { printf '%s\n' "$@" | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
    label="no host manifest"; goal=1.2
    [ "$variant" = _cc6 ] && label="cc6 host manifest" && goal=1.0
    awk -v a="$(fmedian "${ours[@]}")" -v b="$(fmedian "${theirs[@]}")" -v l="$label" -v g=$goal -v n="$fresh_runs" 'BEGIN {
      r = a / b; printf "%-58s %12.3f %12.3f %7.3f %6.2f%s\n", "First box in a fresh process vs MessageBoxW (" l ", ms)", a, b, r, g, (r > g ? "  over goal" : "") }'
  done
  objdump=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
  echo "VELKO.dll ($arch): $(stat -c %s build/$p/bin/VELKO.dll) bytes stripped; imports:" \
    $($objdump -p build/$p/bin/VELKO.dll | awk '/DLL Name:/ {print $3}')
done
