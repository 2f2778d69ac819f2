#!/usr/bin/env bash
# Builds this commit's release packages a second time, in a fresh clone in another
# folder, and compares the SHA-256 of every packaged file with the first build's:
# each package (MSI, merge module, zip and the bills of materials of MSI and
# module), every file in the zip and every file the MSI installs, for x86 and x64.
#   bash scripts/reproduce.sh               # against build/mingw-<arch>/package/ here
#   bash scripts/reproduce.sh <folder>      # against the packages of a release there
# Without a folder the first build is this checkout's own (brought up to date first);
# with one, check out the release's commit first. Signed packages differ from
# unsigned ones by their signatures, so compare unsigned builds. Keeps the clone
# in $VELKO_REPRODUCE_DIR when that is set, else in a new folder under /tmp.
# Exits 0 when every file is the same.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
release=${1:+$(cd "$1" && pwd)}
t0=$(date +%s)
bash "$root/scripts/bootstrap.sh" || exit 1
commit=$(git -C "$root" rev-parse HEAD) || exit 1
[ -z "$(git -C "$root" status --porcelain --untracked-files=no)" ] ||
  echo "NOTE: this checkout has uncommitted changes; the second build has the commit ($commit) only"
work=${VELKO_REPRODUCE_DIR:-$(mktemp -d /tmp/velko-reproduce.XXXXXX)}
rm -rf "$work/velko" && mkdir -p "$work" || exit 1
logs=$work/logs; mkdir -p "$logs"

packages() {  # build the packages of both architectures in checkout $1
  local p
  for p in mingw-x64 mingw-x86; do
    (cd "$1" && cmake --preset $p >"$logs/configure-$p-$2.log" 2>&1 &&
      cmake --build --preset $p --target msi dist >"$logs/build-$p-$2.log" 2>&1) ||
      { echo "reproduce: building $p in $1 failed (see $logs/build-$p-$2.log)"; return 1; }
  done
}
if [ -z "$release" ]; then packages "$root" first || exit 1; fi
git clone -q --no-hardlinks "$root" "$work/velko" && git -C "$work/velko" checkout -q --detach "$commit" || exit 1
packages "$work/velko" second || exit 1

# "<sha256>  <name>" for each package in folder $1 and each file in them.
hashes() {
  local f x
  for f in "$1"/VELKO-*-"$2".msi "$1"/VELKO-*-"$2".msi.spdx.json "$1"/VELKO-*-"$2".msm "$1"/VELKO-*-"$2".msm.spdx.json \
           "$1"/VELKO-*-"$2".zip; do
    [ -f "$f" ] || continue
    echo "$(sha256sum <"$f" | cut -d' ' -f1)  $(basename "$f")"
    x=$(mktemp -d "$work/x.XXXXXX")
    case $f in
      *.zip) (cd "$x" && cmake -E tar xf "$f") ;;
      *.msi) msiextract -C "$x" "$f" >/dev/null ;;
      *) continue ;;
    esac
    (cd "$x" && find . -type f | LC_ALL=C sort | while read -r g; do
      echo "$(sha256sum <"$g" | cut -d' ' -f1)  $(basename "$f")/${g#./}"; done)
    rm -rf "$x"
  done
}
status=0
for arch in x86 x64; do
  first=${release:-$root/build/mingw-$arch/package}
  a=$(hashes "$first" $arch); b=$(hashes "$work/velko/build/mingw-$arch/package" $arch)
  if [ -z "$a" ]; then
    echo "== $arch: no packages in $first"; status=1; continue
  fi
  echo "== $arch: $(wc -l <<<"$a") files compared; the packages:"
  grep -v ' .*/' <<<"$b" | sed 's/^/   /'
  if [ "$a" = "$b" ]; then echo "   identical in $first and $work/velko"; else
    echo "   DIFFERENT (< first build, > second build):"; diff <(echo "$a") <(echo "$b") | grep '^[<>]'; status=1
  fi
done
echo "== $(( $(date +%s) - t0 )) s"
exit $status
