#!/usr/bin/env bash
# Builds the test programs whose suites run code on more than one thread (the
# ctest label "threads": the log, the RAM disk, the value store and its lock)
# with ThreadSanitizer into build-tsan/, and runs those tests. Fails on any
# data race or other report of the sanitizer. Prints how long it took.
#   scripts/run-tsan.sh              build and run
#   scripts/run-tsan.sh -- ARGS      extra ctest arguments, e.g. -- -R Log
set -euo pipefail
cd "$(dirname "$0")/.."
ctest_args=()
if [[ $# -gt 0 ]]; then
  [[ "$1" == -- ]] || { echo "usage: $0 [-- CTEST_ARGS...]" >&2; exit 2; }
  shift
  ctest_args=("$@")
fi

scripts/install-deps.sh
started=$SECONDS
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANTERM_TSAN=ON -DPANTERM_BENCH=OFF >/dev/null
cmake --build build-tsan --target panterm_thread_tests
build_seconds=$((SECONDS - started))

# halt_on_error: the first report fails its test; second_deadlock_stack: both
# stacks of a lock-order inversion.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
started=$SECONDS
status=0
(cd build-tsan && ctest --output-on-failure --no-tests=error -L threads -j"$(nproc)" --timeout 300 \
  "${ctest_args[@]}") || status=$?
echo "ThreadSanitizer: build ${build_seconds} s, tests $((SECONDS - started)) s"
exit "$status"
