# Sourced by the scripts that run Windows programs: sets up the project's private
# Wine prefix (build/wine) and an X display (Xvfb :87, or VELKO_XVFB_DISPLAY,
# when DISPLAY is unset). Safe to source many times and from parallel processes.

VELKO_ROOT=${VELKO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$VELKO_ROOT/build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}
export WINEARCH=win64

# The 32-bit loader must also run: a kernel without 32-bit support refuses it.
velko_wine32_present() {
  local loader
  for loader in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
    [ -x "$loader" ] && "$loader" --version >/dev/null 2>&1 && return 0
  done
  return 1
}
# The 64-bit loader, for builtins (regsvr32, cscript) that must see 64-bit registrations.
velko_wine64() { if [ -x /usr/lib/wine/wine64 ]; then /usr/lib/wine/wine64 "$@"; else wine64 "$@"; fi; }

velko_display() {
  if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=${VELKO_XVFB_DISPLAY:-:87}
    local n=${DISPLAY#:}
    # A server is there only when it answers: a socket or lock file left by an
    # Xvfb that was ended (a previous session, CI's clean-up) is not one.
    if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
      (
        flock 8
        if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
          rm -f "/tmp/.X11-unix/X$n" "/tmp/.X$n-lock"
          (Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &)
          for _ in $(seq 1 100); do xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break; sleep 0.1; done
        fi
      ) 8>"/tmp/.velko-xvfb$n.lock"
    fi
  fi
}

velko_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.velko-ready" ]; then
      echo "wine: creating the private prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.velko-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Xvfb runs no window manager: Wine then draws the frames itself (Managed=N),
# which also spares the two seconds it otherwise waits for a manager whenever a
# framed window closes. With a real display the desktop's manager is used.
velko_window_manager() {
  local want=Y marker
  [ "$DISPLAY" = "${VELKO_XVFB_DISPLAY:-:87}" ] && want=N
  marker="$WINEPREFIX/.velko-managed-$want"
  [ -f "$marker" ] && return 0
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f >/dev/null 2>&1 &&
    rm -f "$WINEPREFIX"/.velko-managed-* && touch "$marker"
}

velko_display
velko_prefix
velko_window_manager
