#!/usr/bin/env bash
# Registers (or with -u unregisters) build/mingw-<arch>/bin/VELKO.dll in the
# private Wine prefix with the real regsvr32:  register.sh [-u] <x86|x64>
set -eu
unreg=""
[ "${1:-}" = "-u" ] && { unreg="/u"; shift; }
arch=$1
root=$(cd "$(dirname "$0")/.." && pwd)
dll="$root/build/mingw-$arch/bin/VELKO.dll"
[ -f "$dll" ] || { echo "register.sh: $dll is not built" >&2; exit 1; }
. "$root/scripts/wine-env.sh" && velko_session
win=$(winepath -w "$dll" 2>/dev/null)
"$root/scripts/wine-run.sh" "$arch" regsvr32 /s $unreg "$win"
