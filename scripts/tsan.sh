#!/bin/bash
# Builds the threaded test suites (parameter store, links, FPGA manager) with
# ThreadSanitizer and runs them. Kept apart from scripts/test.sh: a third
# full build does not fit the CI time budget. Non-zero exit on any failure
# or data race report. An argument narrows the tests (ctest -R regex).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=$(nproc)
[ "$JOBS" -gt 4 ] && JOBS=4
DIR=build/tsan
cmake -S . -B "$DIR" -DCMAKE_BUILD_TYPE=Debug -DKEL_BUILD_BENCH=OFF -DKEL_TSAN=ON >/dev/null
cmake --build "$DIR" -j"$JOBS" --target test_params test_protocol test_ledout
# Qt's own library is not instrumented: its QMutex slow path (futex) is
# invisible to the sanitizer, hence the suppressions for Qt frames.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp"
# Only these three suites are built; the others show up as *_NOT_BUILT,
# the X server run of the whole program (*.xvfb) names a binary not built,
# and the check of the test properties looks for tests of the whole program.
(cd "$DIR" && ctest --output-on-failure -j"$JOBS" --timeout 600 -E "_NOT_BUILT|[.]xvfb$|^BuildFiles[.]" -R "${1:-.}")
