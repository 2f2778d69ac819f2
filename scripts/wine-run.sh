#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix:
#   wine-run.sh <x86|x64> <program> [args...]
# <program> is a path to an .exe of the build or a Wine builtin (regsvr32, cscript,
# wscript, reg); builtins run as the 64-bit program for x64, the 32-bit one for x86.
# Exit code 77 (skipped) when the x86 runtime (wine32) cannot run here.
#
# Wine's heap checker watches every program (VELKO_HEAP_CHECK=0 turns it off): a
# heap report (a block freed twice, or one that is not the heap's), whether Wine
# gives it as an error or a warning, fails the run even when the program itself
# succeeded (tests/support/heap_canary.cc proves it).
set -u
arch=$1; shift
. "$(dirname "$0")/wine-env.sh" && velko_session
if [ "$arch" = x86 ] && ! velko_wine32_present; then
  echo "SKIPPED: 32-bit Windows programs cannot run here (wine32 missing or no 32-bit kernel support)" >&2
  exit 77
fi
loader=(wine)
if [ ! -f "$1" ]; then
  [ "$arch" = x64 ] && loader=(velko_wine64)
  # A builtin is started by its path in the prefix: by its name alone, Wine starts
  # it through start.exe, whose ShellExecuteEx now and then fails on a busy
  # machine ("Internal error"), and costs a process start more.
  [[ $1 == *[/\\:]* ]] || set -- "C:\\windows\\$([ "$arch" = x64 ] && echo system32 || echo syswow64)\\${1%.exe}.exe" "${@:2}"
fi
[ "${VELKO_HEAP_CHECK:-1}" = 0 ] || WINEDEBUG="$WINEDEBUG,err+heap,warn+heap"

# The program's output goes through files, not pipes: a Wine server or desktop
# process that the program starts inherits them and lives on, and would keep a
# caller's pipe (a command substitution, a tee) open until it ends.
wineserver -p5 </dev/null >/dev/null 2>&1
out=$(mktemp); err=$(mktemp)
"${loader[@]}" "$@" >"$out" 2>"$err"
rc=$?
cat "$out"; cat "$err" >&2
# A crash fails the run whatever exit code Wine's debugger leaves (now and then 0).
if grep -q '^wine: Unhandled' "$err" && [ "$rc" -eq 0 ]; then
  echo "FAILED: the program crashed" >&2; rc=1
fi
if grep -qE '^[0-9a-f]+:(err|warn):heap:' "$err"; then
  echo "FAILED: Wine's heap checker reported the lines above" >&2
  [ "$rc" -eq 0 ] && rc=1
fi
rm -f "$out" "$err"
exit "$rc"
