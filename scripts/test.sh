#!/bin/bash
# Installs what is missing, builds and runs every test twice: in a debug
# build and in a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS=$(nproc)
[ "$JOBS" -gt 4 ] && JOBS=4

# -g1 keeps the line tables that sanitizer reports and backtraces need, and
# leaves out the variable descriptions, a quarter of the compile time.
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKEL_BUILD_BENCH=OFF "$@" >/dev/null
  cmake --build "$dir" -j"$JOBS"
  # Many tests wait on the simulated board's timers or on a started program
  # more than they compute, so twice as many run at once as there are jobs.
  (cd "$dir" && ctest --output-on-failure -j"$((JOBS * 2))" --timeout 300)
}

echo "== debug build"
run_suite build/test
echo "== panel screenshots: build/test/tests/ui/shell/artifacts/*.png"
echo "== sanitizer build"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build/sanitize -DKEL_SANITIZE=ON
