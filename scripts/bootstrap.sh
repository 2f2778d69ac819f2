#!/usr/bin/env bash
# Installs every Debian package that building, the demo and the tests need.
# Idempotent: quiet and quick when everything is present. Run as root (or with sudo).
set -u

log() { printf 'bootstrap: %s\n' "$*"; }
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Packages for the host architecture.
pkgs=(
  cmake ninja-build git python3
  g++ gcc
  googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  mingw-w64-tools
  wine wine64 libwine-dev
  xvfb x11-utils imagemagick xdotool
  fonts-wqy-microhei fonts-wine fonts-dejavu-core fonts-lohit-deva fonts-tlwg-loma-ttf python3-fonttools
  wixl msitools osslsigncode openssl
)

missing() {
  local out=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || out+=("$p")
  done
  printf '%s\n' "${out[@]}"
}

updated=0
apt_update() {
  [ "$updated" -eq 1 ] && return 0
  log "apt-get update"
  $SUDO apt-get update -qq >/dev/null 2>&1 || log "warning: apt-get update reported errors"
  updated=1
}

need=$(missing "${pkgs[@]}")
if [ -n "$need" ]; then
  apt_update
  log "installing: $(echo $need | tr '\n' ' ')"
  # shellcheck disable=SC2086
  if ! $SUDO apt-get install -y -qq --no-install-recommends $need >/tmp/velko-bootstrap.log 2>&1; then
    log "error: could not install some packages (see /tmp/velko-bootstrap.log)"
    tail -20 /tmp/velko-bootstrap.log
    exit 1
  fi
fi

# 32-bit Wine runs the x86 DLL, which is the one hosts load.
if [ -z "$(missing wine32:i386)" ]; then
  :
else
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    log "adding the i386 architecture"
    $SUDO dpkg --add-architecture i386
    updated=0
  fi
  apt_update
  log "installing wine32:i386"
  if ! $SUDO apt-get install -y -qq wine32:i386 >/tmp/velko-bootstrap-wine32.log 2>&1; then
    # The i386 index of the security suite often lags amd64; pin to the release
    # so both architectures get equal versions.
    log "plain install failed; retrying with the release pinned over the security suite"
    $SUDO tee /etc/apt/preferences.d/velko-wine32 >/dev/null <<'PIN'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100

Package: *
Pin: release n=bookworm
Pin-Priority: 1001
PIN
    if ! $SUDO apt-get install -y -qq --allow-downgrades wine32:i386 >>/tmp/velko-bootstrap-wine32.log 2>&1; then
      log "warning: wine32:i386 could not be installed; x86 runtime tests will be skipped (see /tmp/velko-bootstrap-wine32.log)"
    fi
  fi
fi

# Some kernels refuse every 32-bit program, whatever is installed. There (and
# with VELKO_WINE32=0, which takes that way on purpose) the x86 tests run inside
# an emulated x86-64 machine (scripts/x86-vm.sh): QEMU, and Debian's own kernel
# and busybox, fetched into build/vm.
if [ "${VELKO_WINE32:-}" = 0 ] || { [ -x /usr/lib/wine/wine ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
  need=$(missing qemu-system-x86 cpio)
  if [ -n "$need" ]; then
    apt_update
    log "x86 runs in an emulated machine here; installing it: $(echo $need | tr '\n' ' ')"
    # shellcheck disable=SC2086
    $SUDO apt-get install -y -qq --no-install-recommends $need >/tmp/velko-bootstrap-vm.log 2>&1 ||
      { log "error: could not install $need (see /tmp/velko-bootstrap-vm.log)"; exit 1; }
  fi
  bash "$(dirname "$0")/x86-vm.sh" --prepare || { log "error: could not fetch the emulated machine's kernel"; exit 1; }
fi

# The posix thread model is needed for std::mutex in gtest.
for t in i686 x86_64; do
  if [ -x "/usr/bin/$t-w64-mingw32-g++-posix" ]; then :; else log "warning: $t-w64-mingw32-g++-posix missing"; fi
done
exit 0
