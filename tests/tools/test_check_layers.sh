#!/usr/bin/env bash
# The layer check passes on the tree and fails on a planted upward include.
set -euo pipefail
source_root="$1"
check="$source_root/scripts/check-layers.sh"
"$check" "$source_root" > /dev/null || { echo "the tree itself breaks the layers"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$source_root/src" "$work/src"
printf '#include "view/view_manager.h"\n' >> "$work/src/runtime/str_util.cpp"
if output=$("$check" "$work"); then
  echo "an include of view from runtime was not reported"
  exit 1
fi
grep -q "src/runtime/str_util.cpp:.*runtime includes from view" <<<"$output" || { echo "unexpected report: $output"; exit 1; }
echo "upward include reported: $output"
