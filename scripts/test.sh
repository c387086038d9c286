#!/bin/bash
# Installs what is missing, builds and runs every test. Non-zero exit on any
# failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS=$(nproc)
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DKEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/test -j"$JOBS"
cd build/test
ctest --output-on-failure -j"$JOBS" --timeout 300
