#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: wine-run.sh <x86|x64> <program.exe> [args...]
# Exit code 77 (skipped) when the x86 runtime (wine32) is not installed.
set -u
arch=$1; shift
. "$(dirname "$0")/wine-env.sh"
if [ "$arch" = x86 ] && ! velko_wine32_present; then
  echo "SKIPPED: wine32 is not installed; x86 runtime tests cannot run here" >&2
  exit 77
fi
exec wine "$@"
