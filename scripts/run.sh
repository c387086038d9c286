#!/bin/bash
# Installs what is missing, builds, prepares the simulated root under
# var/root and runs kelT57N on the simulated board in the foreground.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_BUILD_TESTS=OFF -DKEL_BUILD_BENCH=OFF >/dev/null
JOBS=$(nproc); [ "$JOBS" -gt 4 ] && JOBS=4
cmake --build build/run -j"$JOBS"
export KEL_BOARD=sim
export KEL_ROOT="$PWD/var/root"
mkdir -p "$KEL_ROOT"
exec build/run/bin/kelT57N "$@"
