#!/usr/bin/env bash
# Runs every test program of a build directory directly, as one process per
# program, with --gtest_shuffle --gtest_repeat=2, so that state one test leaves
# behind for the next is found (ctest runs each case in a process of its own).
# Fails when any run fails.
#   scripts/run-tests-directly.sh [--no-e2e] BUILD_DIR
# --no-e2e leaves out the end-to-end programs (test_*e2e): their cases start
# their own panel and simulator processes, keep no state in the test program,
# and take minutes each run; ctest has run them already.
set -uo pipefail
skip_e2e=0
if [[ "${1:-}" == --no-e2e ]]; then
  skip_e2e=1
  shift
fi
if [[ $# -ne 1 || ! -d "$1" ]]; then
  echo "usage: $0 [--no-e2e] BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
mapfile -t programs < <(find "$build" -maxdepth 1 -type f -name 'test_*' -perm -u+x | sort)
if [[ $skip_e2e -eq 1 ]]; then
  mapfile -t programs < <(printf '%s\n' "${programs[@]}" | grep -v 'e2e$')
fi
if [[ ${#programs[@]} -eq 0 ]]; then
  echo "$build: no test programs found" >&2
  exit 2
fi

failed=()
options=(--gtest_shuffle --gtest_repeat=2)
for program in "${programs[@]}"; do
  name=$(basename "$program")
  log=$(mktemp)
  if (cd "$build" && timeout 900 "$program" "${options[@]}") >"$log" 2>&1; then
    echo "ok      $name"
  else
    echo "FAILED  $name ${options[*]}"
    grep -E '^\[  FAILED  \]|Failure|Segmentation|Sanitizer|Random seed' "$log" | sort -u | head -40
    tail -n 20 "$log"
    failed+=("$name")
  fi
  rm -f "$log"
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "${#failed[@]} run(s) failed:"
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
echo "all ${#programs[@]} test programs passed, directly and shuffled"
