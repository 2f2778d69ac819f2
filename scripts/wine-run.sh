#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix:
#   wine-run.sh <x86|x64> <program> [args...]
# <program> is a path to an .exe of the build or a Wine builtin (regsvr32, cscript,
# wscript, reg); builtins run as the 64-bit program for x64, the 32-bit one for x86.
# Exit code 77 (skipped) when the x86 runtime (wine32) is not installed.
set -u
arch=$1; shift
. "$(dirname "$0")/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then
  echo "SKIPPED: wine32 is not installed; x86 runtime tests cannot run here" >&2
  exit 77
fi
if [ "$arch" = x64 ] && [ ! -f "$1" ]; then
  velko_wine64 "$@"
  exit $?
fi
exec wine "$@"
