#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# each for SECONDS (default 60) on a copy of its seed corpus (fuzz/corpus/NAME,
# or an empty one) in a temporary directory, JOBS targets at a time (default
# 1). Fails when a target crashes, leaks, times out, runs out of memory or
# does not build; the input that did it is kept as
# fuzz-artifacts/TARGET-crash-* (or leak-, timeout-, oom-). What the targets
# write stays in the temporary directory, removed at the end. Each target's
# line gives its runs, coverage (edges and features) and corpus size.
#   scripts/run-fuzz.sh [--jobs N] [--only TARGET[,TARGET...]] [SECONDS]
#   scripts/run-fuzz.sh --ci    the CI run: every target 10 s, two at a time
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: $0 [--ci] [--jobs N] [--only TARGET[,TARGET...]] [SECONDS]"
seconds=60
jobs=1
only=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --ci) seconds=10 jobs=2; shift ;;
    --jobs)
      [[ $# -ge 2 && "$2" =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
      jobs=$2; shift 2 ;;
    --only)
      [[ $# -ge 2 ]] || { echo "$usage" >&2; exit 2; }
      only=$2; shift 2 ;;
    *)
      [[ "$1" =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }
      seconds=$1; shift ;;
  esac
done

scripts/install-deps.sh --tools
build=$PWD/build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DPANTERM_FUZZ=ON -DPANTERM_TESTS=OFF -DPANTERM_BENCH=OFF >/dev/null
mapfile -t targets < <(sed -nE 's/^panterm_fuzz\(([A-Za-z0-9_]+) .*/\1/p' fuzz/CMakeLists.txt)
[[ ${#targets[@]} -gt 0 ]] || { echo "run-fuzz: no fuzz targets in fuzz/CMakeLists.txt" >&2; exit 2; }
if [[ -n "$only" ]]; then
  IFS=, read -r -a wanted <<<"$only"
  for t in "${wanted[@]}"; do
    printf '%s\n' "${targets[@]}" | grep -qx "$t" || { echo "run-fuzz: no target $t" >&2; exit 2; }
  done
  targets=("${wanted[@]}")
fi
cmake --build "$build" --target "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/panterm-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts=$PWD/fuzz-artifacts
mkdir -p "$artifacts"

# Runs one target; its summary line (or the end of its log) goes to
# $work/TARGET.result, and $work/TARGET.failed marks a finding.
run_one() {
  local target=$1 corpus=$work/$1 name=${1#fuzz_}
  mkdir -p "$corpus" "$work/$target.tmp"
  # fuzz_NAME_PART takes its seeds from fuzz/corpus/NAME_PART or fuzz/corpus/NAME.
  for seeds in "fuzz/corpus/$name" "fuzz/corpus/${name%%_*}"; do
    if [[ -d "$seeds" ]]; then cp -r "$seeds"/. "$corpus"/; break; fi
  done
  # The targets change into a temporary directory of their own (under TMPDIR),
  # so every path they are given is absolute.
  local log=$work/$target.log started=$SECONDS
  if TMPDIR=$work/$target.tmp "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target-" "$corpus" >"$log" 2>&1; then
    local runs cov
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -n 1)
    printf 'ok      %-20s %4d s  %9s runs  %s\n' "$target" $((SECONDS - started)) "${runs:-?}" "$cov" \
      >"$work/$target.result"
  else
    { tail -n 40 "$log"; echo "FAILED  $target"; } >"$work/$target.result"
    touch "$work/$target.failed"
  fi
}

echo "== ${#targets[@]} fuzz targets, ${seconds} s each, $jobs at a time"
running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [[ $running -ge $jobs ]]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
failed=()
for target in "${targets[@]}"; do
  cat "$work/$target.result"
  [[ -e "$work/$target.failed" ]] && failed+=("$target")
done
rmdir "$artifacts" 2>/dev/null || true
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "${#failed[@]} fuzz target(s) failed: ${failed[*]} (inputs in fuzz-artifacts/)"
  exit 1
fi
echo "all ${#targets[@]} fuzz targets ran ${seconds} s without a finding"
