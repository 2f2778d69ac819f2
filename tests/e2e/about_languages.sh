#!/usr/bin/env bash
# The About box in every shipped language, shown by a VBScript host under the
# locale: the first locale of each language in locales.tsv (sort orders such as
# es-ES_tradnl aside, and 2074 sr-Latn-CS, which Wine cannot take as the user
# locale: sr-Latn shows as 6170); Austrian German, Hong Kong and Singapore
# Chinese, which have libraries of their own beside their language's first;
# and Icelandic, which has none and falls back to English. For each:
# - Ctrl+C copies the box with that locale's library and dialog font;
# - the caption is the language's text 2 (so its own library was loaded);
# - Arabic and Hebrew boxes are mirrored; in German a screen reader in another
#   process hears the link's default action as text 45;
# - the host gets False, as VBScript writes it in that locale's console code page;
# - in the locales of a table below, the real box's font, with its character set
#   (which Ctrl+C does not copy), is AboutBoxFont's;
# - a screenshot labelled with the LCID goes onto the contact sheet
#   build/about-languages-<arch>.png.
# In the emulated x86 machine, where each Wine process costs seconds, a Latin, a
# CJK and the fallback locale. The registration goes again at the end.
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
version=$(sed -n 's/^#define VELKO_VERSION_COMMAS //p' "$build/src/component/gen/velko_version.h" | tr , .)
rule=---------------------------
# The dialog font by LCID; and False as VBScript writes it, with the console's
# code page where it is not UTF-8 (elsewhere any word is taken).
declare -A font=([1041]="ＭＳ Ｐゴシック, 9" [1042]="굴림, 9" [1028]="新細明體, 9" [2052]="宋体, 9")
declare -A false=([en-US]=False [ja-JP]=False [ko-KR]="거짓|CP949" [zh-TW]="假|BIG5" [zh-CN]="假|GBK" [de-DE]=Falsch
                  [de-AT]=Falsch [zh-HK]=False [zh-SG]=False [is-IS]=False)
locales=$(awk -F'\t' '/^[0-9]/ && (($2 !~ /_/ && $1 != 2074 && !seen[$3]++) || $2 ~ /^(de-AT|zh-HK|zh-SG)$/)' "$tr/locales.tsv"
  printf '1039\tis-IS\ten\n')
[ "${VELKO_EMULATED:-}" != 1 ] || locales=$(awk -F'\t' '$2 ~ /^(en-US|ko-KR|is-IS)$/' <<<"$locales")
while IFS=$'\t' read -r lcid name language; do
  IFS=- read -r lang script region <<<"$name"
  [ -n "$region" ] || { region=$script; script=; }
  posix=${lang}_$region.UTF-8${script:+@latin}  # sr-Latn-RS is sr_RS.UTF-8@latin
  library=$lcid; [ "$name" = is-IS ] && library=1033
  : >"$shots/stderr"
  run cscript //nologo "$host" >"$shots/host.out" &
  if read -r x y w h < <(run "$build/tests/about_driver.exe" wait) && [ -n "${h:-}" ]; then
    sleep 0.1  # the painted window reaches the X server
    import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$shots/$lcid $name.png" ||
      fail "$name ($lcid): no screenshot"
  else fail "$name ($lcid): no box came; running: $(pgrep -af 'cscript|about_driver|wineserver|explorer' | paste -sd,);" \
    "the host said: $(tr -d '\r' <"$shots/host.out" | paste -sd' '); errors: $(tail -n 8 "$shots/stderr" | paste -sd' ')"; fi
  # The caption (line 2) is checked below, from the box itself.
  copied=$(run "$build/tests/about_driver.exe" copy | tr -d '\r' | sed -e 2d -e 's/^Computer: ..*$/Computer: (name)/')
  [ "$copied" = "$rule
$rule
Contoso Draw 4.2.1
Copyright (c) 2026 Contoso Ltd.
Contoso support and downloads <https://contoso.example/support>
$rule
File: VELKO.dll
File version: $version
Architecture: $arch
Language library: VELKORes$library.DLL
User locale: $lcid
Dialog font: ${font[$lcid]:-Tahoma, 8} pt
DPI: 96
Computer: (name)
$rule" ] || fail "$name ($lcid): Ctrl+C copied: $(paste -sd'|' <<<"$copied")"
  # One language's screen reader is enough: the driver's MSAA round trip costs seconds.
  action=; [ "$name" = de-DE ] && action=action
  shown=$(run "$build/tests/about_driver.exe" close $action | tr -d '\r')
  caption=$(sed -n 's/^caption: //p' <<<"$shown")
  text=$(grep -A2 '^msgctxt "2"' "$tr/$language.po" | sed -n 's/^msgstr "\(.*\)"$/\1/p')
  [ "$caption" = "${text//%1/Contoso Draw}" ] || fail "$name ($lcid): the caption is '$caption', not its text 2 '$text'"
  text=$(grep -A2 '^msgctxt "45"' "$tr/$language.po" | sed -n 's/^msgstr "\(.*\)"$/\1/p')
  [ -z "$action" ] || grep -qxF "url1 action: $text" <<<"$shown" ||
    fail "$name ($lcid): $(grep 'url1 action' <<<"$shown"), not '$text'"
  # OK stands 4320 twips (288 px) from the edge the box starts at.
  direction=left-to-right; [[ $language == @(ar|he) ]] && direction=right-to-left
  grep -qx "layout: $direction, cmdOK 288 px in" <<<"$shown" || fail "$name ($lcid): $(grep layout <<<"$shown")"
  wait
  IFS='|' read -r word codepage <<<"${false[$name]:-}"
  any=; [ -n "$word" ] || any='?*'
  out=$(tr -d '\r' <"$shots/host.out")
  [[ $out == "ShowAboutBox returned $(iconv -f UTF-8 -t "${codepage:-UTF-8}" <<<"$word")"$any && $out != *$'\n'* ]] ||
    fail "$name ($lcid): the host wrote '$out'; errors: $(tail -n 6 "$shots/stderr" | paste -sd' ')"
  [ -z "$word" ] || run "$build/tests/about_e2e_tests.exe" --gtest_filter='AboutBoxFont.*' --gtest_brief=1 ||
    fail "$name ($lcid): the box's font"
done <<<"$locales"
sheet=$root/build/about-languages-$arch.png
montage -font DejaVu-Sans -label '%t' "$shots"/*.png -tile 6x -geometry +4+4 "$sheet" && echo "contact sheet: $sheet" ||
  fail "no contact sheet"
rm -rf "$shots"
"$root/scripts/register.sh" -u "$arch" || fail "unregistration"
echo "about_languages ($arch): $failures failure(s)"
[ "$failures" -eq 0 ]
