#!/usr/bin/env bash
# Runs clang-tidy 14 with the checks of .clang-tidy (bugprone-*, performance-*)
# over the sources of src/ and tools/ and their headers, two at a time, with
# the compile commands of a build tree. Fails on any finding. Tests,
# benchmarks, fuzz targets and the third-party decoder (src/nanox/nx_stb.cpp)
# are not checked.
#   scripts/check-tidy.sh [BUILD_DIR]   default build-test/ (run_tests.sh's tree);
#                                       a tree that is missing is configured, not built
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[[ $# -le 1 && "${1:-}" != -* ]] || { echo "usage: $0 [BUILD_DIR]" >&2; exit 2; }
build=${1:-build-test}

for tool in clang-tidy-14 run-clang-tidy-14; do
  command -v "$tool" >/dev/null 2>&1 ||
    { echo "check-tidy: $tool is missing: run scripts/install-deps.sh --tools (as root)" >&2; exit 2; }
done
if [[ ! -f "$build/compile_commands.json" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
fi

started=$SECONDS
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
# Files: the compile commands' sources under src/ and tools/ but nx_stb.cpp.
# Headers: those of src/ and tools/, each reported once.
nice run-clang-tidy-14 -clang-tidy-binary "$(command -v clang-tidy-14)" -p "$build" -j 2 -quiet \
  -header-filter="^$root/(src|tools)/" "^$root/(src|tools)/.*(?<!nx_stb)\.cpp\$" >"$log" 2>&1 || status=$?
# Without colours, one line per finding.
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): ' | sort -u || true)
count=0
[[ -z "$findings" ]] || count=$(wc -l <<<"$findings")
if [[ "$status" -ne 0 || "$count" -ne 0 ]]; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -vE '^([^ ]*clang-tidy-14 |[0-9]+ warnings? generated|Suppressed [0-9]+ warnings|Use -header-filter|Running clang-tidy)' || true
  echo "check-tidy: $count finding(s) in $((SECONDS - started)) s; each names its check in brackets."
  echo "Fix the code, or where a finding is wrong, say why on the line: // NOLINT(check-name): reason"
  exit 1
fi
files=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -cE '^[^ ]*clang-tidy-14 ' || true)
echo "check-tidy: ${files} files of src/ and tools/ without a finding ($((SECONDS - started)) s)"
