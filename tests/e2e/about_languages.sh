#!/usr/bin/env bash
# The About box in every shipped language: for the first locale of each language
# in locales.tsv (sort orders such as es-ES_tradnl aside, and 2074 sr-Latn-CS, which
# Wine cannot take as the user locale: sr-Latn shows as 6170), a VBScript host shows
# the box under that locale, its caption must be the language's text 2 (so the
# locale's own library was loaded), in German the link's default action, read
# through MSAA from another process, its text 45, and a screenshot labelled with the LCID goes
# onto the contact sheet build/about-languages-<arch>.png. The registration goes again at the end.
#   about_languages.sh <x86|x64> <build dir>
set -u
arch=$1; build=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/wine-env.sh" && velko_session
if [ "$arch" = x86 ] && ! velko_wine32_present; then echo "SKIPPED: wine32 missing"; exit 77; fi
failures=0
fail() { echo "FAIL: $*"; echo "$(date '+%F %T') $*" >>"$build/failures-about_languages.log"; failures=$((failures + 1)); }
# Each program ends within 150 s times the time factor: a host whose box never
# came (the driver gives up after a minute each time) is ended, so that the
# failure is reported rather than run into the time limit.
run() { env LC_ALL="$posix" timeout $((150 * ${VELKO_TIME_FACTOR:-1})) "$root/scripts/wine-run.sh" "$arch" "$@" 2>>"$shots/stderr"; }
"$root/scripts/register.sh" "$arch" || { echo "FAIL: registration"; exit 1; }
tr=$root/src/localization/translations
shots=$(mktemp -d)
host=$(winepath -w "$root/examples/demo.vbs" 2>/dev/null)
while IFS=$'\t' read -r lcid name language; do
  IFS=- read -r lang script region <<<"$name"
  [ -n "$region" ] || { region=$script; script=; }
  posix=${lang}_$region.UTF-8${script:+@latin}  # sr-Latn-RS is sr_RS.UTF-8@latin
  : >"$shots/stderr"
  run cscript //nologo "$host" >"$shots/host.out" &
  if read -r x y w h < <(run "$build/tests/about_driver.exe" wait) && [ -n "${h:-}" ]; then
    sleep 0.1  # the painted window reaches the X server
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$lcid $name.png" ||
      fail "$name ($lcid): no screenshot"
  else fail "$name ($lcid): no box came; running: $(pgrep -af 'cscript|about_driver|wineserver|explorer' | paste -sd,);" \
    "the host said: $(tr -d '\r' <"$shots/host.out" | paste -sd' '); errors: $(tail -n 8 "$shots/stderr" | paste -sd' ')"; fi
  # One language's screen reader is enough: the driver's MSAA round trip costs seconds.
  action=; [ "$language" = de ] && action=action
  shown=$(run "$build/tests/about_driver.exe" close $action | tr -d '\r')
  caption=$(sed -n 's/^caption: //p' <<<"$shown")
  text=$(grep -A2 '^msgctxt "2"' "$tr/$language.po" | sed -n 's/^msgstr "\(.*\)"$/\1/p')
  [ "$caption" = "${text//%1/Contoso Draw}" ] || fail "$name ($lcid): the caption is '$caption', not its text 2 '$text'"
  # A screen reader hears the link's default action in the box's language.
  text=$(grep -A2 '^msgctxt "45"' "$tr/$language.po" | sed -n 's/^msgstr "\(.*\)"$/\1/p')
  [ -z "$action" ] || grep -qxF "url1 action: $text" <<<"$shown" ||
    fail "$name ($lcid): $(grep 'url1 action' <<<"$shown"), not '$text'"
  # Arabic and Hebrew boxes are mirrored: OK stands 4320 twips (288 px) from the right.
  direction=left-to-right; [[ $language == @(ar|he) ]] && direction=right-to-left
  grep -qx "layout: $direction, cmdOK 288 px in" <<<"$shown" || fail "$name ($lcid): $(grep layout <<<"$shown")"
  wait
done < <(awk -F'\t' '/^[0-9]/ && $2 !~ /_/ && $1 != 2074 && !seen[$3]++' "$tr/locales.tsv")
sheet=$root/build/about-languages-$arch.png
montage -font DejaVu-Sans -label '%t' "$shots"/*.png -tile 6x -geometry +4+4 "$sheet" && echo "contact sheet: $sheet" ||
  fail "no contact sheet"
rm -rf "$shots"
"$root/scripts/register.sh" -u "$arch" || fail "unregistration"
echo "about_languages ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
