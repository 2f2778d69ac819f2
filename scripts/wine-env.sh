# Sourced by the scripts that run Windows programs. Sourcing sets Wine's
# variables and defines functions, and starts nothing: WINEPREFIX is the private
# prefix of a preset, build/mingw-<arch>/wine for the $arch (x86 or x64) of the
# sourcing script (x64 without one), unless WINEPREFIX names another.
# velko_session then makes what a script needs, in one call: when DISPLAY is
# unset, an X display of its own (Xvfb on a display number it finds free), which
# ends with the (sub)shell that called it, however that ends (an interactive
# shell keeps it until velko_end_session); the prefix, booted once; its window
# manager setting and fonts; and the display held, for a test that asks with
# VELKO_HOLD_DISPLAY=1. Safe to source many times and from parallel processes.

VELKO_ROOT=${VELKO_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# A prefix this file chose follows the preset when a later script sources it again.
if [ -z "${WINEPREFIX:-}" ] || [ "$WINEPREFIX" = "${VELKO_PRESET_PREFIX:-}" ]; then
  export VELKO_PRESET_PREFIX=$VELKO_ROOT/build/mingw-${arch:-x64}/wine
  export WINEPREFIX=$VELKO_PRESET_PREFIX
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winemenubuilder.exe="}
export WINEARCH=win64

# Whether 32-bit Windows programs can run: wine32 installed and a kernel that
# runs 32-bit programs at all (some have no 32-bit support).
if [ -z "${VELKO_WINE32:-}" ]; then
  VELKO_WINE32=0
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && VELKO_WINE32=1
  export VELKO_WINE32
fi
velko_wine32_present() { [ "$VELKO_WINE32" = 1 ]; }

# Debian's wine command prefers the 32-bit loader whenever wine32 is installed,
# which then fails for everything where 32-bit programs cannot run. A shim first
# on PATH sends every start (wineboot and the other tools too) to the 64-bit loader.
if [ "$VELKO_WINE32" = 0 ] && [ -x /usr/lib/wine/wine ]; then
  velko_shim=$VELKO_ROOT/build/wine-shim
  if [ ! -x "$velko_shim/wine-stable" ]; then
    mkdir -p "$velko_shim"
    # BASHPID, not $$: a subshell that sources this beside its parent has the parent's $$.
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$velko_shim/.wine.$BASHPID"
    chmod +x "$velko_shim/.wine.$BASHPID"
    cp "$velko_shim/.wine.$BASHPID" "$velko_shim/.wine-stable.$BASHPID"
    mv -f "$velko_shim/.wine.$BASHPID" "$velko_shim/wine"
    mv -f "$velko_shim/.wine-stable.$BASHPID" "$velko_shim/wine-stable"
  fi
  case ":$PATH:" in *":$velko_shim:"*) ;; *) export PATH="$velko_shim:$PATH" ;; esac
fi
# The 64-bit loader, for builtins (regsvr32, cscript) that must see 64-bit registrations.
velko_wine64() { if [ -x /usr/lib/wine/wine64 ]; then /usr/lib/wine/wine64 "$@"; else wine64 "$@"; fi; }

# Runs a command once process $1 has ended, however it ended (a time limit's
# SIGKILL of its whole process group included), from a watcher outside that group.
velko_when_gone() {
  setsid -f bash -c 'tail --pid="$1" -f /dev/null 2>/dev/null; shift; "$@"' velko-watcher "$@" </dev/null >/dev/null 2>&1
}

# Makes the calling script own a run: every process it starts from now on carries
# the run's mark in its environment (VELKO_RUN), also those that leave their
# parent (Wine servers, Xvfb), and all of them end when the script ends, normally,
# on Ctrl+C or on a kill (velko_end_run).
velko_own_run() {
  export VELKO_RUN="$$.$(date +%s%N)"
  trap 'echo "stopped; ending what the run started" >&2; velko_end_run; exit 130' INT
  trap 'velko_end_run; exit 143' TERM
  trap velko_end_run EXIT
}
velko_end_run() {
  trap - INT TERM EXIT
  local round pids p
  # Again until none is left: a process may start another while it is looked for.
  for round in 1 2 3 4 5 6 7 8; do
    pids=()
    for p in /proc/[0-9]*; do
      p=${p#/proc/}
      [ "$p" != $$ ] && [ "$p" != "$BASHPID" ] && grep -qzx "VELKO_RUN=$VELKO_RUN" "/proc/$p/environ" 2>/dev/null && pids+=("$p")
    done
    [ ${#pids[@]} -gt 0 ] || return 0
    kill -"$([ "$round" -le 2 ] && echo TERM || echo KILL)" "${pids[@]}" 2>/dev/null
    for _ in $(seq 1 30); do kill -0 "${pids[@]}" 2>/dev/null || break; sleep 0.1; done
  done
}

# One Wine server for $WINEPREFIX while the calling (sub)shell runs, ended with it.
velko_server() {
  wineserver -p </dev/null >/dev/null 2>&1
  velko_when_gone "$BASHPID" env WINEPREFIX="$WINEPREFIX" wineserver -k
}

velko_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  local number; number=$(mktemp)
  # Xvfb picks a free display number itself and writes it once it takes clients; it
  # is started outside this shell, so that a script's plain wait does not wait for it.
  (Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 & echo $! >"$number.pid")
  for _ in $(seq 1 100); do [ -s "$number" ] && break; sleep 0.1; done
  [ -s "$number" ] || echo "wine-env: Xvfb did not start; windows will fail" >&2
  export DISPLAY=:$(head -n1 "$number") VELKO_XVFB_PID=$(cat "$number.pid")
  export VELKO_DISPLAY_LOCK=$number.lock
  rm -f "$number" "$number.pid"
  velko_when_gone "$BASHPID" kill "$VELKO_XVFB_PID"
}

# Ends the display velko_display started, and removes the lock made for it.
velko_end_session() {
  [ -n "${VELKO_XVFB_PID:-}" ] || return 0
  kill "$VELKO_XVFB_PID" 2>/dev/null
  for _ in $(seq 1 50); do kill -0 "$VELKO_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
  rm -f "$VELKO_DISPLAY_LOCK"
  unset VELKO_XVFB_PID VELKO_DISPLAY_LOCK DISPLAY
}

velko_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.velko-ready" ]; then
      echo "wine: creating the private prefix $WINEPREFIX" >&2
      wineboot -i >/dev/null 2>&1
      # A program that crashes ends at once with a failing exit code, instead
      # of waiting in Wine's crash debugger until a time limit ends it.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
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
  [ -n "${VELKO_XVFB_PID:-}" ] && want=N
  marker="$WINEPREFIX/.velko-managed-$want"
  [ -f "$marker" ] && return 0
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f >/dev/null 2>&1 &&
    rm -f "$WINEPREFIX"/.velko-managed-* && touch "$marker"
}

# Fonts, for the prefix only (the product ships none). Debian's Wine 8 looks for
# its own fonts under "<datadir>\../fonts", which it cannot open, so it never
# loads Marlett, the caption buttons' glyphs (the close box shows an "r"); linked
# into the prefix's Fonts folder, which Wine reads, they are back. Wine's Tahoma
# stays out: it lacks Greek and Vietnamese, and Wine rewrites Tahoma's font links
# whenever the code page changes. Tahoma (the dialogs' face, and through
# "MS Shell Dlg" the title bar's) is instead "DejaVu Loma": DejaVu Sans (Latin,
# Greek, Cyrillic, Arabic, Hebrew) with the Thai glyphs of Loma merged in by
# dialog_face.py, made once per checkout in build/fonts. Wine 8 draws a linked
# face's glyphs for Devanagari and CJK, but shapes Thai with the selected font's
# own glyphs only. The face is linked, as Windows links its faces, to Lohit
# (Devanagari) and WenQuanYi Micro Hei (CJK). The faces that Wine makes
# "MS Shell Dlg" in other code pages take the same fonts.
velko_faces=$VELKO_ROOT/build/fonts
velko_dialog_faces() {
  mkdir -p "$velko_faces"
  (
    flock 8
    for style in '' -Bold; do
      [ -f "$velko_faces/DejaVuLoma$style.ttf" ] || /usr/bin/python3 "$VELKO_ROOT/scripts/dialog_face.py" \
        "/usr/share/fonts/truetype/dejavu/DejaVuSans$style.ttf" "/usr/share/fonts/truetype/tlwg/Loma$style.ttf" \
        'DejaVu Loma' "$velko_faces/DejaVuLoma$style.ttf" >/dev/null 2>&1
    done
  ) 8>"$velko_faces.lock"
}
velko_fonts() {
  [ -f "$WINEPREFIX/.velko-fonts-2" ] && return 0
  local faces=$velko_faces f links
  velko_dialog_faces
  # REG_MULTI_SZ as the hex(7) of a registry file: UTF-16LE, each string ended by a NUL.
  links=$(printf '%s\0' DejaVuLoma.ttf,'DejaVu Loma' Lohit-Devanagari.ttf,'Lohit Devanagari' \
    wqy-microhei.ttc,'WenQuanYi Micro Hei' '' | iconv -t UTF-16LE | od -An -v -tx1 | xargs | tr ' ' ,)
  (
    flock 9
    for f in /usr/share/wine/fonts/* "$faces"/*.ttf; do
      [[ $f == */tahoma* ]] || ln -sf "$f" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    {
      printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n'
      for f in Tahoma 'Microsoft Sans Serif'; do printf '"%s"="DejaVu Loma"\n' "$f"; done
      for f in 'MS UI Gothic' Gulim SimSun PMingLiU; do printf '"%s"="WenQuanYi Micro Hei"\n' "$f"; done
      printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
      printf '"DejaVu Loma"=hex(7):%s\n"DejaVu Loma Bold"=hex(7):%s\n' "$links" "$links"
    } | iconv -t UTF-16 >"$WINEPREFIX/drive_c/velko-fonts.reg"
    velko_wine64 reg import 'C:\velko-fonts.reg' && touch "$WINEPREFIX/.velko-fonts-2"
    rm -f "$WINEPREFIX/drive_c/velko-fonts.reg"
  ) 9>"$WINEPREFIX.lock" >/dev/null 2>&1
}

# A fresh prefix at $1, in seconds where booting one takes tens: a copy of one
# that was booted (wineboot -i, once) and never run.
velko_pristine=${VELKO_PRISTINE:-$VELKO_ROOT/build/wine-pristine}
# In the emulated x86 machine (VELKO_PREFIX_LAYERS=<folder>, run as root) a copy
# of 1.3 GB takes a minute: there the fresh prefix is an overlay on the pristine
# one, its changes kept in that folder.
velko_fresh_prefix() {
  WINEPREFIX=$velko_pristine velko_prefix || return
  if [ -z "${VELKO_PREFIX_LAYERS:-}" ]; then rm -rf "$1" && cp -a "$velko_pristine" "$1"; return; fi
  local layer; layer=$VELKO_PREFIX_LAYERS/$(printf %s "$1" | md5sum | cut -c1-12)
  { ! mountpoint -q "$1" || umount "$1"; } && rm -rf "$1" "$layer" && mkdir -p "$1" "$layer/upper" "$layer/work" &&
    mount -t overlay overlay -o "lowerdir=$velko_pristine,upperdir=$layer/upper,workdir=$layer/work" "$1"
}

# Programs that show windows take the display in turn (ctest runs the others
# beside them): a box of another test would take the focus from keyboard input
# or cover a screenshot. A test says so with VELKO_HOLD_DISPLAY=1 and holds the
# display until it ends; package_test.sh holds it around its box only. The lock
# is kept by a flock that is not the holder's child (wait would wait for it) and
# ends with the holder or on release, so no Wine process started meanwhile
# inherits it and keeps it.
velko_hold_display() {
  local ready; ready=$(mktemp -u); mkfifo "$ready"
  (flock -o "${VELKO_DISPLAY_LOCK:-/tmp/.velko-display${DISPLAY#:}.lock}" sh -c \
    "echo \$PPID >'$ready'; while kill -0 $$ \$PPID 2>/dev/null; do sleep 0.2; done" </dev/null >/dev/null 2>&1 &)
  read -r VELKO_DISPLAY_HOLDER <"$ready"; rm -f "$ready"
  export VELKO_HOLD_DISPLAY=held
}
velko_release_display() { kill "$VELKO_DISPLAY_HOLDER"; export VELKO_HOLD_DISPLAY=; }

velko_session() {
  velko_display
  velko_prefix
  velko_window_manager
  velko_fonts
  [ "${VELKO_HOLD_DISPLAY:-}" != 1 ] || velko_hold_display
}
