#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix:
#   wine-run.sh <x86|x64> <program> [args...]
# <program> is a path to an .exe of the build or a Wine builtin (regsvr32, cscript,
# wscript, reg); builtins run as the 64-bit program for x64, the 32-bit one for x86.
# Exit code 77 (skipped) when the x86 runtime (wine32) cannot run here.
#
# Wine's heap checker watches every program (VELKO_HEAP_CHECK=0 turns it off): a
# heap warning (a block freed twice, or one that is not the heap's) fails the run
# even when the program itself succeeded.
set -u
arch=$1; shift
. "$(dirname "$0")/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then
  echo "SKIPPED: 32-bit Windows programs cannot run here (wine32 missing or no 32-bit kernel support)" >&2
  exit 77
fi
loader=(wine)
[ "$arch" = x64 ] && [ ! -f "$1" ] && loader=(velko_wine64)
[ "${VELKO_HEAP_CHECK:-1}" = 0 ] && { "${loader[@]}" "$@"; exit $?; }

# A server started by the program itself would keep the checker's pipe open.
wineserver -p5 </dev/null >/dev/null 2>&1
heap_log=$(mktemp)
{ WINEDEBUG="$WINEDEBUG,warn+heap" "${loader[@]}" "$@" 2>&1 1>&3 3>&- | tee "$heap_log" >&2 3>&-
  rc=${PIPESTATUS[0]}; } 3>&1
if grep -q ':warn:heap:' "$heap_log"; then
  echo "FAILED: Wine's heap checker reported the warnings above" >&2
  [ "$rc" -eq 0 ] && rc=1
fi
rm -f "$heap_log"
exit "$rc"
