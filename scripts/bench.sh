#!/usr/bin/env bash
# Builds and runs the benchmark table for both architectures under Wine:
#   bash scripts/bench.sh [row filter]
# Each row is our operation against its yardstick, measured in the same run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
wineserver -p >/dev/null 2>&1 || true  # already running is fine
for arch in x86 x64; do
  p=mingw-$arch
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" >/dev/null
  # The benchmark sees its own folder as the component folder.
  cp build/$p/bin/*.DLL build/$p/bench/
  scripts/register.sh "$arch"
  echo "== $arch"
  scripts/wine-run.sh "$arch" "build/$p/bench/velko_bench.exe" "${1:-}" | tr -d '\r'
  # VBScript: medians of the per-round times the script prints.
  scripts/wine-run.sh "$arch" cscript "$(winepath -w bench/create.vbs)" | tr -d '\r' | awk '
    { t[$1 " " $2, ++n[$1 " " $2]] = $3 }
    function median(k,   i, j, v, m) { m = n[k]; for (i = 1; i <= m; i++) v[i] = t[k, i]
      for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (v[j] < v[i]) { x = v[i]; v[i] = v[j]; v[j] = x }
      return v[int((m + 1) / 2)] }
    END { for (c = 1; c <= 2; c++) { k = c == 1 ? "kept" : "alone"
      a = median(k " ours"); b = median(k " dictionary")
      printf "%-58s %12.3f %12.3f %7.3f %6.2f%s\n", "VBScript CreateObject+release vs Dictionary (" (k == "kept" ? "one object kept" : "no other object") ")", a, b, a / b, 1.2, a / b > 1.2 ? "  over goal" : "" } }'
  objdump=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
  echo "VELKO.dll ($arch): $(stat -c %s build/$p/bin/VELKO.dll) bytes stripped; imports:" \
    $($objdump -p build/$p/bin/VELKO.dll | awk '/DLL Name:/ {print $3}')
done
