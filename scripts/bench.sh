#!/usr/bin/env bash
# Builds and runs the benchmark table for both architectures under Wine:
#   bash scripts/bench.sh [row filter]
# Each row is our operation against its yardstick, measured in the same run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
export VELKO_HEAP_CHECK=0  # the checker's bookkeeping is not the product's time
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
for arch in x86 x64; do
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
  rounds=$(scripts/wine-run.sh "$arch" cscript "$(winepath -w bench/create.vbs)" | tr -d '\r')
  median() { grep "^$1 $2 " <<<"$rounds" | awk '{print $3}' | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
  for which in kept alone; do
    ours=$(median "$which" ours); theirs=$(median "$which" dictionary)
    label="one object kept"; [ "$which" = alone ] && label="no other object"
    awk -v a="$ours" -v b="$theirs" -v l="$label" 'BEGIN {
      r = a / b; printf "%-58s %12.3f %12.3f %7.3f %6.2f%s\n", "VBScript CreateObject+release vs Dictionary (" l ")", a, b, r, 1.2, (r > 1.2 ? "  over goal" : "") }'
  done
  objdump=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
  echo "VELKO.dll ($arch): $(stat -c %s build/$p/bin/VELKO.dll) bytes stripped; imports:" \
    $($objdump -p build/$p/bin/VELKO.dll | awk '/DLL Name:/ {print $3}')
done
