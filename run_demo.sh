#!/usr/bin/env bash
# Installs what is missing, builds the Release tree build/ and runs the demo.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
echo "Built into build/. The demo project is not part of this tree yet."
