#!/usr/bin/env bash
# Cross-builds the whole project for 32-bit ARM panels (armhf) with Debian's
# cross toolchain into build-armhf/, and runs the unit tests under qemu-user.
# The window test (SdlBackend) and the end-to-end tests (tests/e2e) are left
# out. Prints how long the build and the tests took.
#
# The first run installs the cross toolchain, qemu-user and the armhf
# development packages (scripts/debian-packages-armhf.txt) and, for those,
# adds the armhf architecture to dpkg: a change to this machine's package
# configuration, made only when this script is run.
#
#   scripts/build-armhf.sh              build, then the unit tests
#   scripts/build-armhf.sh --package    also the armhf Debian package, checked by lintian
#   scripts/build-armhf.sh --no-tests   build only
#   scripts/build-armhf.sh --alignment  the tree build-armhf-align/ instead: a Debug build
#                                       in which every misaligned access ends the test
#                                       (qemu-arm itself tolerates them where a panel's
#                                       processor may fault)
#   scripts/build-armhf.sh -- ARGS      extra ctest arguments, e.g. -- -R Heap
set -euo pipefail
cd "$(dirname "$0")/.."

package=0
tests=1
alignment=0
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --package) package=1; shift ;;
    --no-tests) tests=0; shift ;;
    --alignment) alignment=1; shift ;;
    --) shift; ctest_args=("$@"); break ;;
    *) echo "usage: $0 [--package] [--no-tests] [--alignment] [-- CTEST_ARGS...]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh --armhf
[ "$package" = 0 ] || scripts/install-deps.sh --deploy

build=$PWD/build-armhf
config=(-DCMAKE_BUILD_TYPE=Release)
if [ "$alignment" = 1 ]; then
  [ "$package" = 0 ] || { echo "$0: --package takes the Release tree, not --alignment" >&2; exit 2; }
  build=$PWD/build-armhf-align
  # -marm: a Thumb function's address has its low bit set, which the sanitizer
  # would report as a misaligned reference wherever a function is passed on.
  flags="-marm -fsanitize=alignment -fno-sanitize-recover=alignment -static-libubsan"
  config=(-DCMAKE_BUILD_TYPE=Debug -DPANTERM_BENCH=OFF "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$flags")
fi
programs=(Panterm_MW teqc panterm-target)
# The programs run with the armhf multiarch C library (see cmake/toolchain-armhf.cmake).
unset QEMU_LD_PREFIX

# The tests start the programs of the build directory. Without binfmt_misc
# this machine cannot execute an ARM program, so for the tests each program
# gives way to a script that runs it under qemu-arm with its own argv[0] (the
# panel finds its settings through argv[0]); the programs come back after the
# tests, and before every build.
is_elf() { [ "$(head -c 4 "$1" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]; }
wrap_programs() {
  mkdir -p "$build/qemu-programs"
  for p in "${programs[@]}"; do
    is_elf "$build/$p" || continue
    mv "$build/$p" "$build/qemu-programs/$p"
    printf '#!/bin/sh\nexec qemu-arm -0 "$0" "%s" "$@"\n' "$build/qemu-programs/$p" >"$build/$p"
    chmod +x "$build/$p"
  done
}
unwrap_programs() {
  for p in "${programs[@]}"; do
    [ -f "$build/qemu-programs/$p" ] || continue
    is_elf "$build/$p" && { rm -f "$build/qemu-programs/$p"; continue; } # relinked since
    mv -f "$build/qemu-programs/$p" "$build/$p"
  done
}
unwrap_programs
trap unwrap_programs EXIT

started=$SECONDS
nice cmake -S . -B "$build" -G Ninja "${config[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-armhf.cmake" >/dev/null
nice cmake --build "$build"
build_seconds=$((SECONDS - started))
file -b "$build/Panterm_MW" 2>/dev/null || true

if [ "$package" = 1 ]; then
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  deb=$build/panterm_${version}_armhf.deb
  rm -f "$deb"
  (cd "$build" && nice cpack -G DEB >/dev/null)
  echo "Package: $deb"
  dpkg-deb -f "$deb" Architecture Depends
  lintian --fail-on error,warning "$deb"
fi

test_seconds=0
if [ "$tests" = 1 ]; then
  # Every suite of tests/e2e and the window test.
  skip=$( (grep -rhoE '^TEST(_F)?\([A-Za-z0-9_]+' tests/e2e; echo 'TEST(SdlBackend') | sed 's/.*(//' | sort -u | paste -sd'|')
  wrap_programs
  started=$SECONDS
  status=0
  (cd "$build" && nice ctest --output-on-failure --no-tests=error -j"$(nproc)" --timeout 900 \
    -E "^($skip)\\." "${ctest_args[@]}") || status=$?
  test_seconds=$((SECONDS - started))
fi

echo "armhf build: ${build_seconds} s, unit tests under qemu-arm: ${test_seconds} s"
exit "${status:-0}"
