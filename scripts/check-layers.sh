#!/usr/bin/env bash
# Fails when a source folder includes a header of a folder above it. The order
# of the layers, bottom first, is the one docs/architecture.md shows.
#   scripts/check-layers.sh [ROOT]   checks ROOT/src (default: this checkout)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
layers=(nanox runtime transport draw data comm view input objects alarms_trends httpd app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

status=0
for dir in src/*/; do
  folder=$(basename "$dir")
  if [[ -z "${rank[$folder]+x}" ]]; then
    echo "src/$folder: folder without a layer; add it to scripts/check-layers.sh and docs/architecture.md"
    status=1
    continue
  fi
  while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
    [[ -z "${rank[$target]+x}" || "$target" == "$folder" ]] && continue
    if (( rank[$target] > rank[$folder] )); then
      echo "$file:$line: $folder includes from $target, a layer above it"
      status=1
    fi
  done < <(grep -Hn -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$dir"*.h "$dir"*.cpp 2>/dev/null || true)
done
exit $status
