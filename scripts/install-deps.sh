#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/debian-packages.txt that are missing.
# Runs apt-get only as root and only when something is missing.
#
#   scripts/install-deps.sh           the packages to build, test and run Panterm
#   scripts/install-deps.sh --deploy  also those to build and check the Debian package
#                                     (scripts/debian-packages-deploy.txt)
#   scripts/install-deps.sh --bench   also nginx and ab for scripts/bench-httpd.sh, perf, and cairo
#                                     and libcurl for the drawing and refresh benchmarks
#                                     (scripts/debian-packages-bench.txt)
#   scripts/install-deps.sh --tools   also clang-format, clang-tidy and clang for the format,
#                                     tidy and fuzz checks (scripts/debian-packages-tools.txt)
#   scripts/install-deps.sh --fresh   also debootstrap and git for the fresh-machine check
#                                     (scripts/check-fresh-machine.sh;
#                                     scripts/debian-packages-fresh.txt)
#   scripts/install-deps.sh --armhf   also the armhf cross toolchain, qemu-user and the armhf
#                                     development packages (scripts/debian-packages-armhf.txt);
#                                     adds the armhf architecture to dpkg first, which changes
#                                     the machine's package configuration
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=("$here/debian-packages.txt")
armhf=0
for arg in "$@"; do
  case "$arg" in
    --deploy) lists+=("$here/debian-packages-deploy.txt") ;;
    --bench) lists+=("$here/debian-packages-bench.txt") ;;
    --tools) lists+=("$here/debian-packages-tools.txt") ;;
    --fresh) lists+=("$here/debian-packages-fresh.txt") ;;
    --armhf) lists+=("$here/debian-packages-armhf.txt"); armhf=1 ;;
    *) echo "usage: $0 [--deploy] [--bench] [--tools] [--fresh] [--armhf]" >&2; exit 2 ;;
  esac
done

if [ "$armhf" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx armhf; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "The armhf packages need the armhf architecture: run this script as root, or: sudo dpkg --add-architecture armhf" >&2
    exit 1
  fi
  echo "Adding the armhf architecture to dpkg"
  dpkg --add-architecture armhf
fi

missing=()
for list in "${lists[@]}"; do
  while read -r pkg; do
    case "$pkg" in ''|'#'*) continue ;; esac
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done < "$list"
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Run this script as root, or install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# --no-remove: a foreign development package must never replace one of the host's.
apt-get install -y -q --no-install-recommends --no-remove "${missing[@]}"
