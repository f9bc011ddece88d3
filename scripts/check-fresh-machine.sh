#!/usr/bin/env bash
# Runs the two commands of the README where nothing was installed by hand: in
# a minimal Debian 12 root (debootstrap --variant=minbase bookworm) with a
# clean clone of the current commit, as root in a chroot, ./run_tests.sh and
# ./run_demo.sh --seconds 20. Fails when either fails or the demo writes no
# demo-out/screen.png. Needs root, debootstrap and git on this machine
# (scripts/install-deps.sh --fresh) and network to Debian's packages.
#
#   scripts/check-fresh-machine.sh [--commit REV] [--then 'COMMAND']... [--keep]
#     --commit REV      checks that commit of this repository (default HEAD)
#     --then 'COMMAND'  afterwards runs COMMAND (bash) in the clone in the root,
#                       e.g. --then 'scripts/run-tests-directly.sh --no-e2e build-test'
#     --keep            leaves the root in its temporary directory (its path is printed)
#
# The mirror is the one of this machine's apt configuration. Between runs the
# debootstrapped root (as a tarball, rebuilt after 30 days) and apt's
# downloaded packages stay in $PANTERM_FRESH_CACHE (default
# /var/cache/panterm-fresh), so only the first run downloads them. Everything
# else happens in a temporary directory, removed at the end. The root's
# mounts live in a mount namespace of their own: they vanish with it, whatever
# happens, and are never seen by this machine.
set -euo pipefail
usage="usage: $0 [--commit REV] [--then 'COMMAND']... [--keep]"
then_commands=()
keep=0
rev=HEAD
while [ $# -gt 0 ]; do
  case "$1" in
    --then) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; then_commands+=("$2"); shift 2 ;;
    --keep) keep=1; shift ;;
    --commit) [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }; rev=$2; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

say() { echo "fresh-machine: $*"; }
fail() { echo "fresh-machine: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "runs as root only (debootstrap, chroot and mounts need it)"
for tool in debootstrap git unshare chroot; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing: run scripts/install-deps.sh --fresh"
done
repo=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$repo" rev-parse --verify "$rev^{commit}") || fail "$rev is no commit"
[ "$rev" != HEAD ] || [ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
  say "note: changes not committed are not checked; the root gets commit $commit"

# The host's Debian entries for bookworm, as one-line sources: from deb822
# files (/etc/apt/sources.list.d/*.sources) and from one-line lists.
host_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && uris != "" && suites ~ /bookworm/) {
          opt = signed != "" ? "[signed-by=" signed "] " : ""
          n = split(uris, u, " "); m = split(suites, s, " ")
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print "deb " opt u[i] " " s[j] " " comps
        }
        types = uris = suites = comps = signed = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      { key = tolower($1); sub(/^[^:]*:[ \t]*/, "") }
      key == "types:" { types = $0 } key == "uris:" { uris = $0 } key == "suites:" { suites = $0 }
      key == "components:" { comps = $0 } key == "signed-by:" { signed = $0 }
      END { flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E '^[[:space:]]*deb[[:space:]].*[[:space:]]bookworm' "$f" || true
  done
}
sources=$(host_sources)
# The mirror of the release itself: the entry whose suite is "bookworm".
mirror=$(awk '{ for (i = 2; i < NF; i++) if ($i !~ /^\[/ && $(i + 1) == "bookworm") { print $i; exit } }' <<<"$sources")
[ -n "$mirror" ] || fail "no Debian bookworm entry in /etc/apt/sources.list or /etc/apt/sources.list.d/*.sources"

cache=${PANTERM_FRESH_CACHE:-/var/cache/panterm-fresh}
mkdir -p "$cache/archives/partial"
tarball=$cache/bookworm-minbase-$(dpkg --print-architecture).tar.gz
work=$(mktemp -d "${TMPDIR:-/tmp}/panterm-fresh.XXXXXX")
root=$work/root
# Removes the temporary directory, but never while anything is mounted below it.
cleanup() {
  local pid
  # Processes left in the root (a daemon the tests started): ours, ended by their ids.
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    [ "$(readlink "/proc/$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "$pid" 2>/dev/null || true
  done
  if grep -qF " $work/" /proc/self/mountinfo; then
    echo "fresh-machine: something is still mounted below $work; left in place" >&2
  elif [ "$keep" = 1 ]; then
    say "the root is kept in $root"
  else
    rm -rf --one-file-system "$work"
  fi
}
trap cleanup EXIT

started=$SECONDS

make_root() {
  exec 9>"$cache/lock"
  flock 9
  if [ -f "$tarball" ] && [ -z "$(find "$tarball" -mtime +30)" ]; then
    mkdir "$root"
    tar -xpzf "$tarball" --numeric-owner -C "$root"
    say "root unpacked from $tarball"
  else
    say "debootstrap --variant=minbase bookworm from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
      { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
    tar -cpzf "$tarball.tmp" --numeric-owner -C "$root" .
    mv "$tarball.tmp" "$tarball"
  fi
  flock -u 9
}

# What every installed system has and a bare debootstrap root lacks: the
# host's Debian sources (with updates and security), a hosts file with
# localhost, a resolver; and, as in Debian's container images, no service
# started by a package installed in the root.
set_up_root() {
  rm -f "$root/etc/apt/sources.list"
  printf '%s\n' "$sources" >"$root/etc/apt/sources.list"
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
  cat /etc/resolv.conf >"$root/etc/resolv.conf"
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  git clone --quiet --no-checkout "$repo" "$root/root/panterm"
  git -C "$root/root/panterm" checkout --quiet --detach "$commit"
  git -C "$root/root/panterm" remote remove origin
}

make_root
set_up_root
say "root ready: $((SECONDS - started)) s"
say "commit $commit in $root/root/panterm"

# Inside a mount namespace of its own: mounts the root's file systems, runs the
# commands in the chroot as root with a bare environment, unmounts.
inner=$(
  cat <<'EOF'
set -uo pipefail
root=$1 cache=$2
shift 2
trap 'umount -R -l "$root/proc" "$root/sys" "$root/dev" "$root/var/cache/apt/archives" 2>/dev/null' EXIT
mount --make-rprivate /
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
# The README's two commands run both, whatever the first gave; the later ones
# only after them.
status=0 n=0
for command in "$@"; do
  n=$((n + 1))
  [ "$status" -eq 0 ] || [ "$n" -le 2 ] || break
  name=${command%%$'\t'*} command=${command#*$'\t'}
  echo "=== fresh-machine: $name"
  started=$SECONDS result=0
  env -i HOME=/root TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    chroot "$root" /bin/bash -c "cd /root/panterm && $command" || result=$?
  echo "fresh-machine: $name: $((SECONDS - started)) s$([ "$result" -eq 0 ] || echo ", FAILED")"
  [ "$result" -eq 0 ] || status=$result
done
# apt's cache keeps only what can still be downloaded.
env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin chroot "$root" apt-get -q autoclean >/dev/null 2>&1 || true
exit "$status"
EOF
)
# Each command: its name, a tab, the command line.
commands=($'./run_tests.sh\t./run_tests.sh'
  $'./run_demo.sh --seconds 20\t./run_demo.sh --seconds 20 && { test -s demo-out/screen.png || { echo "the demo wrote no demo-out/screen.png" >&2; false; }; }')
for command in "${then_commands[@]}"; do
  commands+=("$command"$'\t'"$command")
done
status=0
unshare --mount --propagation private bash -c "$inner" inner "$root" "$cache" "${commands[@]}" || status=$?
say "total $((SECONDS - started)) s"
[ "$status" -eq 0 ] || fail "FAILED on a fresh Debian 12 root (commit $commit)"
say "passed on a fresh Debian 12 root (commit $commit)"
