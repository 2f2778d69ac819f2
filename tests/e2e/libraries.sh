#!/usr/bin/env bash
# The language libraries in bin: exactly the locales that locales.tsv lists, each
# resource-only (no entry point, no imports) and holding texts 2 (with "%1"),
# 12, 14, 44 and 45 (the link's default action), all but 12 translated unless
# the language is English.
#   libraries.sh <x86|x64> <build dir>
set -u
arch=$1; bin=$2/bin
root=$(cd "$(dirname "$0")/../.." && pwd)
tools=$([ "$arch" = x86 ] && echo i686 || echo x86_64)-w64-mingw32
failures=0
fail() { echo "FAIL: $*"; echo "$(date '+%F %T') $*" >>"${bin%/bin}/failures-libraries.log"; failures=$((failures + 1)); }

tr=$root/src/localization/translations
listed=$(grep -E '^[0-9]' "$tr/locales.tsv")
# The list is what its generator writes from the language files and the system's
# locale table (one table for both architectures); it fails where it cannot write.
t=$(mktemp -d) && cp "$tr"/*.po "$t" && list=("$root/scripts/wine-run.sh" x64 "$2/src/localization/list_locales.exe")
[ "$arch" = x86 ] || (cd "$t" && "${list[@]}" && cmp -s locales.tsv "$tr/locales.tsv" && rm locales.tsv && mkdir locales.tsv &&
  ! "${list[@]}" >/dev/null 2>&1) || fail "list_locales.exe does not write the committed locales.tsv, or fails silently"
rm -rf "$t"
[ "$(cut -f1 <<<"$listed" | sort -n)" = "$(ls "$bin" | sed -n 's/^VELKORes\([0-9]*\)\.DLL$/\1/p' | sort -n)" ] ||
  fail "the VELKORes<LCID>.DLL files in bin are not the locales of locales.tsv"
# One objdump for all of them: a process costs more than the check.
while read -r problem; do fail "$problem"; done < <($tools-objdump -p "$bin"/VELKORes*.DLL |
  awk '/file format/ {f = $1} /DLL Name:/ {print f " imports code"} /AddressOfEntryPoint/ && $2 !~ /^0+$/ {print f " has an entry point"}')
declare -A text
while IFS=$'\t' read -r lcid name language; do
  while IFS= read -r line; do
    [[ $line =~ ^\ \ ([0-9]+),\ (.*)$ ]] && text[$lcid.${BASH_REMATCH[1]}]=${BASH_REMATCH[2]}
  done < <($tools-windres -i "$bin/VELKORes$lcid.DLL" -O rc)
done <<<"$listed"
while IFS=$'\t' read -r lcid name language; do
  [[ ${text[$lcid.2]-} == *%1* ]] || fail "VELKORes$lcid.DLL ($name): text 2 has no %1"
  for id in 2 12 14 44 45; do
    [[ ${text[$lcid.$id]-} =~ ^L?\".+\"$ ]] || fail "VELKORes$lcid.DLL ($name): text $id is missing or empty"
    [ "$language" = en ] || [ "$id" = 12 ] || [ "${text[$lcid.$id]-}" != "${text[1033.$id]-}" ] ||
      fail "VELKORes$lcid.DLL ($name): text $id is English"
  done
done <<<"$listed"
echo "language libraries ($arch): $(wc -l <<<"$listed"), $failures failure(s)"
[ "$failures" -eq 0 ]
