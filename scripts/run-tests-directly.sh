#!/usr/bin/env bash
# Runs every test program of a build directory directly, as one process per
# program, with --gtest_shuffle --gtest_repeat=2, so that state one test leaves
# behind for the next is found (ctest runs each case in a process of its own).
# As many programs run at once as there are processors. Fails when any run
# fails.
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

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# One program, shuffled and repeated; its lines, and the whole output when it
# failed, go to its own file, shown in order at the end.
run_one() {
  local program=$1 name
  name=$(basename "$program")
  if (cd "$build" && timeout 900 "$program" --gtest_shuffle --gtest_repeat=2) >"$logs/$name.out" 2>&1; then
    echo "ok      $name" >"$logs/$name.result"
  else
    {
      echo "FAILED  $name --gtest_shuffle --gtest_repeat=2"
      grep -E '^\[  FAILED  \]|Failure|Segmentation|Sanitizer|Random seed' "$logs/$name.out" | sort -u | head -40
      tail -n 20 "$logs/$name.out"
    } >"$logs/$name.result"
  fi
}

jobs=$(nproc)
for program in "${programs[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n; done
  run_one "$program" &
done
wait

failed=()
for program in "${programs[@]}"; do
  name=$(basename "$program")
  cat "$logs/$name.result"
  grep -q '^FAILED' "$logs/$name.result" && failed+=("$name")
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "${#failed[@]} run(s) failed:"
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
echo "all ${#programs[@]} test programs passed, directly and shuffled"
