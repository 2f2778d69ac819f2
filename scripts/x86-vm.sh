#!/usr/bin/env bash
# Runs a command inside an emulated x86-64 machine whose kernel runs 32-bit
# programs, for machines whose own kernel refuses them ("Exec format error"):
#   x86-vm.sh --prepare          fetch what the machine boots (bootstrap calls it)
#   x86-vm.sh --check            boot it once to see that it finds this checkout
#                                through a link under /tmp with a space in its path
#   x86-vm.sh --tests            run scripts/x86-guest.sh there (scripts/test.sh does both)
#   x86-vm.sh <command...>       run the command there with bash, in this checkout
# The guest is Debian's own amd64 kernel under QEMU's software emulation (TCG),
# with a busybox initramfs. It sees this machine's / read-only over virtio-9p,
# with a RAM overlay on top, so the installed wine32, the toolchain and the
# build tree are all there, at the paths they have here (a checkout under /tmp,
# behind a symlink or with spaces in its path included), and nothing the guest
# writes reaches this machine, except through one writable share, build/vm/io,
# which the guest sees at /velko-io: the command's output, its exit code, and
# whatever the command copies into $VELKO_VM_IO. The command runs as root in a
# clean environment (PATH, HOME, TERM, VELKO_VM_IO and VELKO_VM_SCRATCH only).
# $VELKO_VM_SCRATCH is a RAM disk for the Wine prefixes; of this machine's /tmp
# only its Wine server and X sockets are hidden, by name.
# Exit code: the command's; 125 when the machine did not come up.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)  # as the caller reaches it, symlinks kept
vm=$root/build/vm
log() { printf 'x86-vm: %s\n' "$*" >&2; }

prepare() {
  [ -f "$vm/ready" ] && return 0
  rm -rf "$vm/debs" "$vm/kernel" "$vm/busybox" && mkdir -p "$vm/debs" || return 1
  local image
  image=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  [ -n "$image" ] || { log "no linux-image-amd64 in the package index"; return 1; }
  (cd "$vm/debs" && apt-get download -q "$image" busybox-static >/dev/null 2>&1) ||
    { log "could not download $image and busybox-static"; return 1; }
  dpkg-deb -x "$vm"/debs/linux-image-*.deb "$vm/kernel" && dpkg-deb -x "$vm"/debs/busybox-static_*.deb "$vm/busybox" &&
    rm -rf "$vm/debs" && touch "$vm/ready"
}

# The kernel's modules that mount the shares and the overlay, each after the
# ones it depends on (their .modinfo names them; the package has no modules.dep).
modules() {
  local dir=$1 seen=" " m
  visit() {
    [[ $seen == *" $1 "* ]] && return; seen+="$1 "
    local file; file=$(find "$dir" -name "$1.ko" | head -n1)
    [ -n "$file" ] || { log "module $1 missing"; return 1; }
    for m in $(tr '\0' '\n' <"$file" | sed -n 's/^depends=//p' | tr , ' '); do visit "$m"; done
    echo "$file"
  }
  for m in virtio_pci 9pnet_virtio 9p overlay brd ext4 crc32c_generic; do visit $m; done
}

initramfs() {
  local tree=$vm/initramfs kdir f
  kdir=$(echo "$vm"/kernel/lib/modules/*)
  rm -rf "$tree" && mkdir -p "$tree"/{bin,lib,proc,sys,dev,lower,rw,new}
  cp "$vm/busybox/bin/busybox" "$tree/bin/"
  modules "$kdir" | while IFS= read -r f; do cp "$f" "$tree/lib/" && basename "$f" .ko; done >"$tree/modules"
  cat >"$tree/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc; mount -t sysfs sysfs /sys; mount -t devtmpfs devtmpfs /dev
ramdisk=$(sed -n 's/.*velko_ramdisk=\([0-9]*\).*/\1/p' /proc/cmdline)
for m in $(cat /modules); do
  case $m in brd) args="rd_nr=1 rd_size=$ramdisk" ;; *) args= ;; esac
  insmod /lib/$m.ko $args || echo "init: insmod $m failed"
done
opts=trans=virtio,version=9p2000.L,msize=262144
mount -t 9p -o $opts,ro,cache=loose host /lower &&
  mount -t tmpfs -o size=95% rw /rw && mkdir /rw/upper /rw/work &&
  mount -t overlay overlay -o lowerdir=/lower,upperdir=/rw/upper,workdir=/rw/work /new &&
  mkdir -p /new/velko-io /new/velko-scratch && mount -t 9p -o $opts io /new/velko-io ||
  { echo "init: mounting the shares failed"; poweroff -f; }
for d in proc sys dev; do mount --move /$d /new/$d; done
mkdir -p /new/dev/pts /new/dev/shm
mount -t devpts devpts /new/dev/pts; mount -t tmpfs shm /new/dev/shm
ln -sfn /proc/self/fd /new/dev/fd
# The scratch space, where the Wine prefixes go, is ext4 on a RAM disk: tmpfs
# keeps no user extended attributes before Linux 6.6, and Wine keeps DOS
# attributes in them; an overlay's upper layer cannot be an overlay either.
chroot /new /sbin/mkfs.ext4 -q -F -O ^has_journal,^metadata_csum /dev/ram0 && mount -t ext4 /new/dev/ram0 /new/velko-scratch ||
  { echo "init: no RAM disk for the scratch space"; poweroff -f; }
# This machine's Wine servers and X displays must not answer the guest's programs;
# the rest of /tmp stays, a checkout there too. Removed in the overlay only.
rm -rf /new/tmp/.wine-* /new/tmp/.X11-unix /new/tmp/.X*-lock
mount -t tmpfs run /new/run
echo up >/new/velko-io/up || { echo "init: the io share is not writable"; poweroff -f; }
chroot /new /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb \
  VELKO_VM_IO=/velko-io VELKO_VM_SCRATCH=/velko-scratch /bin/bash /velko-io/command.sh >/new/velko-io/output 2>&1
echo $? >/new/velko-io/rc.part && mv /new/velko-io/rc.part /new/velko-io/rc
sync; umount /new/velko-io
poweroff -f
INIT
  chmod +x "$tree/init"
  (cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$vm/initramfs.gz"
}

# QEMU's options take a comma as a separator and ",," as a comma.
qemu_path() { printf %s "${1//,/,,}"; }

# The processor time process $1 has used, its threads' included, in seconds.
cpu_seconds() { local stat; read -r stat 2>/dev/null <"/proc/$1/stat" || { echo 0; return; }
  set -- ${stat##*) }; echo $(( (${12} + ${13}) / $(getconf CLK_TCK) )); }

# One boot: 0 when the command ran (its code is in io/rc), 1 when the machine
# did not come up. The watchdog counts the processor time QEMU used, not the
# time on the clock: on a busy host a niced QEMU may wait minutes for a core, and
# a boot takes about ten seconds of it (VELKO_VM_BOOT_SECONDS, scaled by
# VELKO_TIME_FACTOR, and at most an hour on the clock).
boot() {
  local io=$vm/io started= limit=$(( ${VELKO_VM_BOOT_SECONDS:-120} * ${VELKO_TIME_FACTOR:-1} )) t0=$SECONDS
  rm -f "$io/up" "$io/rc" "$io/output" "$vm/console.log"
  # Niced while the native tests beside it run (they wait on windows and timers,
  # the emulated ones have long limits); once scripts/test.sh says they are done
  # (io/alone), at the priority of any other job: niced beside a busy job, QEMU
  # got a tenth of a core, too little for any limit.
  # no_timer_check: on a busy host the emulated timer can look broken to the
  # kernel's check at boot, which then panics ("IO-APIC + timer doesn't work!").
  nice -n 10 qemu-system-x86_64 -accel tcg,thread=multi -cpu max,smap=off -smp "$(nproc)" -m 12G \
    -display none -no-reboot -monitor none -serial "file:$(qemu_path "$vm/console.log")" \
    -kernel "$(echo "$vm"/kernel/boot/vmlinuz-*)" -initrd "$vm/initramfs.gz" \
    -append "console=ttyS0 quiet panic=-1 no_timer_check velko_ramdisk=$((6 * 1024 * 1024))" \
    -virtfs "local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap" \
    -virtfs "local,path=$(qemu_path "$io"),mount_tag=io,security_model=none" </dev/null &
  qemu=$!
  while [ "$(cpu_seconds "$qemu")" -lt "$limit" ] && [ $((SECONDS - t0)) -lt 3600 ]; do
    [ -f "$io/up" ] && started=1 && break
    kill -0 "$qemu" 2>/dev/null || break
    sleep 1
  done
  if [ -z "$started" ]; then
    local used; used=$(cpu_seconds "$qemu")
    kill "$qemu" 2>/dev/null; wait "$qemu" 2>/dev/null; qemu=
    log "the machine did not come up in $((SECONDS - t0)) s ($used s of processor time); its console said:"
    tail -n 15 "$vm/console.log" >&2
    return 1
  fi
  # The command's output as it comes, until the machine powers off.
  tail -n +1 -s 2 --pid="$qemu" -F "$io/output" 2>/dev/null &
  local tail_pid=$!
  while kill -0 "$qemu" 2>/dev/null; do
    [ -f "$io/alone" ] && rm -f "$io/alone" && renice -n 0 -p $(ls "/proc/$qemu/task") >/dev/null 2>&1
    sleep 2
  done
  wait "$qemu"; qemu=; sleep 1; kill "$tail_pid" 2>/dev/null; wait "$tail_pid" 2>/dev/null
  return 0
}

if [ "${1:-}" = --prepare ]; then prepare; exit; fi
# --check: that the machine sees a checkout wherever it lives; here it reaches
# this one through a folder under /tmp, with a space in its name, that links to it.
if [ "${1:-}" = --check ]; then
  link=$(mktemp -d /tmp/velko-checkout.XXXXXX) && ln -s "$root" "$link/the checkout" &&
    bash "$link/the checkout/scripts/x86-vm.sh" "$(printf 'test "$(pwd)" = %q && test -f scripts/x86-vm.sh &&
      echo seen >"$VELKO_VM_IO/checkout"' "$link/the checkout")" && grep -qx seen "$vm/io/checkout"
  rc=$?; rm -rf "$link" "$vm/io/checkout"
  [ $rc -eq 0 ] && echo "x86: the emulated machine sees a checkout under /tmp" ||
    echo "x86: FAILED: the emulated machine does not see a checkout under /tmp, behind a link, with a space in its path"
  exit $rc
fi
# --tests: the x86 half of scripts/test.sh, which writes build/vm/io/built (the
# names of the builds that failed, or nothing) when the builds are done.
if [ "${1:-}" = --tests ]; then
  . "$root/scripts/wine-env.sh" && velko_dialog_faces  # Python is slow in there
  rm -f "$vm"/io/failures-*.log "$vm"/io/junit.xml
  bash "$0" VELKO_VM_KEEP_PREFIX="${VELKO_VM_KEEP_PREFIX:-}" VELKO_TIME_FACTOR="${VELKO_TIME_FACTOR:-1}" \
    VELKO_WAIT_FOR_BUILD=1 bash scripts/x86-guest.sh & child=$!
  trap 'kill "$child" 2>/dev/null; wait "$child"; exit 143' INT TERM
  wait "$child"; rc=$?
  mv -f "$vm"/io/failures-*.log "$root/build/mingw-x86/" 2>/dev/null
  mv -f "$vm"/io/junit.xml "$root/build/mingw-x86/junit.xml" 2>/dev/null
  exit $rc
fi
[ $# -gt 0 ] || { echo "usage: x86-vm.sh --prepare | --check | --tests | <command...>" >&2; exit 2; }
prepare || exit 125
command -v qemu-system-x86_64 >/dev/null || { log "qemu-system-x86_64 missing (bash scripts/bootstrap.sh)"; exit 125; }
mkdir -p "$vm/io" && initramfs || exit 125
printf 'cd %q\n%s\n' "$root" "$*" >"$vm/io/command.sh"
qemu=
trap '[ -z "$qemu" ] || kill "$qemu" 2>/dev/null' EXIT
trap 'exit 130' INT; trap 'exit 143' TERM
# A boot that fails (it hangs before the first command now and then) is tried
# again, up to three times.
for try in 1 2 3 4; do
  boot && break
  [ "$try" -lt 4 ] || { log "the machine did not come up in $try tries"; exit 125; }
  log "boot $try failed; trying again"
done
[ -f "$vm/io/rc" ] || { log "the machine stopped before the command ended"; tail -n 15 "$vm/console.log" >&2; exit 125; }
exit "$(cat "$vm/io/rc")"
