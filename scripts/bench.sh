#!/usr/bin/env bash
# Builds and runs the benchmark table for both architectures under Wine:
#   bash scripts/bench.sh [row filter]
# Each row is our operation against its yardstick, measured in the same run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
. scripts/wine-env.sh
wineserver -p >/dev/null 2>&1
for arch in x86 x64; do
  p=mingw-$arch
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" >/dev/null
  # The benchmark sees its own folder as the component folder.
  cp build/$p/bin/*.DLL build/$p/bench/
  scripts/register.sh "$arch"
  echo "== $arch"
  scripts/wine-run.sh "$arch" "build/$p/bench/velko_bench.exe" "${1:-}" | tr -d '\r'
  objdump=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32-objdump
  echo "VELKO.dll ($arch): $(stat -c %s build/$p/bin/VELKO.dll) bytes stripped; imports:" \
    $($objdump -p build/$p/bin/VELKO.dll | awk '/DLL Name:/ {print $3}')
done
