#!/usr/bin/env bash
# Installs what is missing, builds the tree build-test/ with AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), and runs every test. The exit
# status is the result.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANTERM_SANITIZE=ON -DPANTERM_WERROR=ON
cmake --build build-test
cd build-test
ctest --output-on-failure -j"$(nproc)" --timeout 300
