#!/usr/bin/env bash
# The demo: installs what is missing, builds the 32-bit DLL (preset mingw-x86),
# registers it in the project's private Wine prefix and shows the About box of a
# sample product from a VBScript host (examples/demo.vbs).   bash scripts/demo.sh
# With a locale (bash scripts/demo.sh ar_SA), the host runs in that locale and the
# box comes in its language.
#
# With a display, the box appears there and the demo ends when you close it.
# Without one (DISPLAY unset), the box opens on a virtual display; the demo saves
# a picture of it as build/demo-about-box.png, closes it and says where the
# picture is.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
say() { printf 'demo: %s\n' "$*"; }
headless=0
[ -n "${DISPLAY:-}" ] || headless=1
logs=build/logs
picture=build/demo-about-box.png
locale=${1:-}
[ -z "$locale" ] || picture=build/demo-about-box-${locale%%[.@]*}.png
# Wine takes the user locale from LC_ALL; the locale need not be generated.
case $locale in ""|*.*) ;; *@*) locale=${locale%@*}.UTF-8@${locale#*@} ;; *) locale=$locale.UTF-8 ;; esac
in_locale() { if [ -n "$locale" ]; then LC_ALL=$locale "$@"; else "$@"; fi; }

bash scripts/bootstrap.sh || { say "bootstrap failed"; exit 1; }
mkdir -p "$logs"
. scripts/wine-env.sh
velko_own_run  # every process it starts ends with it

# Hosts load the 32-bit DLL; without the 32-bit Wine loader the 64-bit one stands in.
arch=x86
if ! velko_wine32_present; then
  arch=x64
  say "wine32 is not installed: showing the 64-bit build instead"
fi
# The preset's private prefix; without a display an Xvfb that ends with the demo.
. scripts/wine-env.sh && velko_session  # sourced again: the prefix follows $arch
preset=mingw-$arch
say "building $preset (log: $logs/demo-build.log)"
if ! { cmake --preset "$preset" >"$logs/demo-configure.log" 2>&1 &&
       cmake --build --preset "$preset" --target VELKO velko_lang_libraries about_driver >"$logs/demo-build.log" 2>&1; }; then
  say "the build failed; last lines:"
  tail -n 25 "$logs/demo-configure.log" "$logs/demo-build.log"
  exit 1
fi
say "registering build/$preset/bin/VELKO.dll in the private Wine prefix"
scripts/register.sh "$arch" || { say "registration failed"; exit 1; }
# The registration goes again when the demo ends, whichever way.
finish() { scripts/register.sh -u "$arch" || say "unregistration failed"; exit "$1"; }

host=$(winepath -w "$root/examples/demo.vbs" 2>/dev/null)
if [ "$headless" -eq 0 ]; then
  say "showing the About box on $DISPLAY; close it with OK"
  in_locale scripts/wine-run.sh "$arch" cscript //nologo "$host" 2>/dev/null | tr -d '\r'
  finish "${PIPESTATUS[0]}"
fi

# Xvfb has no window manager: Wine draws the frame of the host's windows itself.
scripts/wine-run.sh "$arch" reg add 'HKCU\Software\Wine\AppDefaults\cscript.exe\X11 Driver' /v Managed /d N /f \
  >/dev/null 2>&1
say "no display: showing the About box on the virtual display $DISPLAY"
in_locale scripts/wine-run.sh "$arch" cscript //nologo "$host" >"$logs/demo-host.log" 2>/dev/null &
host_pid=$!
driver="build/$preset/tests/about_driver.exe"
geometry=$(in_locale scripts/wine-run.sh "$arch" "$driver" wait 2>/dev/null | tr -d '\r' | head -1)
status=0
if read -r x y w h <<<"$geometry" && [ -n "${h:-}" ]; then
  sleep 0.5  # the painted window reaches the X server
  if import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$picture"; then
    say "the About box is open; picture saved"
  else
    say "the About box is open, but the screenshot failed"
    status=1
  fi
  in_locale scripts/wine-run.sh "$arch" "$driver" close >"$logs/demo-driver.log" 2>/dev/null || status=1
  say "pressed OK; the box reported: $(grep -m1 '^caption:' "$logs/demo-driver.log" | tr -d '\r')"
else
  say "the About box did not appear"
  kill "$host_pid" 2>/dev/null
  status=1
fi
wait "$host_pid" || status=1
say "the host printed: $(tr -d '\r' <"$logs/demo-host.log")"
[ "$status" -eq 0 ] && say "picture of the About box: $root/$picture"
finish "$status"
