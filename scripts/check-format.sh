#!/usr/bin/env bash
# Checks that every C++ file (*.h, *.cpp) of src, tests, tools, bench, fuzz and
# demo is laid out as .clang-format says, with clang-format 14 (Debian 12's;
# other versions lay out some lines differently). Fails with the list of files
# that differ.
#   scripts/check-format.sh         check
#   scripts/check-format.sh --fix   rewrite the files that differ in place
#   scripts/check-format.sh FILE... check (or with --fix, rewrite) only these files
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
if [[ "${1:-}" == --fix ]]; then fix=1; shift; fi
case "${1:-}" in -*) echo "usage: $0 [--fix] [FILE...]" >&2; exit 2 ;; esac

tool=""
for candidate in clang-format-14 clang-format; do
  if command -v "$candidate" >/dev/null 2>&1 && "$candidate" --version | grep -q 'version 14\.'; then
    tool=$candidate
    break
  fi
done
if [[ -z "$tool" ]]; then
  echo "check-format: clang-format 14 is missing: run scripts/install-deps.sh --tools (as root)" >&2
  exit 2
fi

if [[ $# -gt 0 ]]; then
  files=("$@")
elif git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  # Tracked and new (not ignored) files: what a commit would contain.
  mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
    'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'tools/*.h' 'tools/*.cpp' \
    'bench/*.h' 'bench/*.cpp' 'fuzz/*.h' 'fuzz/*.cpp' 'demo/*.h' 'demo/*.cpp' | sort -u)
else
  mapfile -t files < <(find src tests tools bench fuzz demo -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
fi
existing=()
for f in "${files[@]}"; do [[ -f "$f" ]] && existing+=("$f"); done
if [[ ${#existing[@]} -eq 0 ]]; then
  echo "check-format: no files to check" >&2
  exit 2
fi

# One clang-format per batch of files, each file checked in memory (--dry-run);
# a file that differs is reported once, as
# "FILE:LINE:COLUMN: error: code should be clang-formatted".
report=$(printf '%s\0' "${existing[@]}" |
  xargs -0 -n 100 "$tool" --style=file --dry-run -Werror --ferror-limit=1 2>&1) || true
differing=$(sed -nE 's/^(.+):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
# Any other error (an unreadable file, a broken .clang-format) ends the check.
failures=$(grep -E '(^|: )error: |^Error ' <<<"$report" | grep -v 'code should be clang-formatted' | sort -u || true)
if [[ -n "$failures" ]]; then
  echo "check-format: $tool failed:" >&2
  head -20 <<<"$failures" >&2
  exit 2
fi

if [[ -z "$differing" ]]; then
  echo "check-format: ${#existing[@]} file(s) laid out as .clang-format says"
  exit 0
fi
count=$(wc -l <<<"$differing")
if [[ "$fix" == 1 ]]; then
  mapfile -t list <<<"$differing"
  "$tool" -i --style=file "${list[@]}"
  echo "check-format: rewrote $count file(s):"
  sed 's/^/  /' <<<"$differing"
  exit 0
fi
echo "check-format: $count file(s) are not laid out as .clang-format says:"
sed 's/^/  /' <<<"$differing"
echo "Fix them with: scripts/check-format.sh --fix   (then review and commit the change)"
exit 1
