#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# each for SECONDS (default 60), one after the other, on a copy of its seed
# corpus (fuzz/corpus/NAME, or an empty one) in a temporary directory. Fails
# when a target crashes, leaks, times out or does not build; the input that
# did it is kept as fuzz-artifacts/TARGET-crash-* (or leak-, timeout-, oom-).
# What the targets write stays in the temporary directory, removed at the end.
#   scripts/run-fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }

scripts/install-deps.sh --tools
build=$PWD/build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DPANTERM_FUZZ=ON -DPANTERM_TESTS=OFF -DPANTERM_BENCH=OFF >/dev/null
mapfile -t targets < <(sed -nE 's/^panterm_fuzz\(([A-Za-z0-9_]+) .*/\1/p' fuzz/CMakeLists.txt)
[[ ${#targets[@]} -gt 0 ]] || { echo "run-fuzz: no fuzz targets in fuzz/CMakeLists.txt" >&2; exit 2; }
cmake --build "$build" --target "${targets[@]}"

work=$(mktemp -d "${TMPDIR:-/tmp}/panterm-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
artifacts=$PWD/fuzz-artifacts
mkdir -p "$artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus=$work/$target
  mkdir -p "$corpus"
  # fuzz_NAME_PART takes its seeds from fuzz/corpus/NAME_PART or fuzz/corpus/NAME.
  name=${target#fuzz_}
  for seeds in "fuzz/corpus/$name" "fuzz/corpus/${name%%_*}"; do
    if [[ -d "$seeds" ]]; then cp -r "$seeds"/. "$corpus"/; break; fi
  done
  echo "== $target: ${seconds} s"
  # The targets change into a temporary directory of their own (under TMPDIR),
  # so every path they are given is absolute.
  if TMPDIR=$work "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$corpus" >"$work/$target.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done ' "$work/$target.log" || true
    echo "ok      $target"
  else
    tail -n 40 "$work/$target.log"
    echo "FAILED  $target"
    failed+=("$target")
  fi
done
rmdir "$artifacts" 2>/dev/null || true
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "${#failed[@]} fuzz target(s) failed: ${failed[*]} (inputs in fuzz-artifacts/)"
  exit 1
fi
echo "all ${#targets[@]} fuzz targets ran ${seconds} s without a finding"
